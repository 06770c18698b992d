#include "engine/frames.h"

#include <cstring>

#include "engine/byte_order.h"

namespace brisfell {
namespace {

Mac MacAt(const uint8_t* p) {
  Mac m{};
  std::memcpy(m.data(), p, m.size());
  return m;
}

bool IsRrcp(const uint8_t* data, size_t length) {
  return length > rrcp::offset::kOpcode && data[rrcp::offset::kEtherType] == rrcp::kEtherTypeHigh &&
         data[rrcp::offset::kEtherType + 1] == rrcp::kEtherTypeLow && data[rrcp::offset::kProtocol] == rrcp::kProtocol;
}

const char* KindName(uint8_t opcode) {
  switch (opcode) {
    case rrcp::kOpHello: return "hello";
    case rrcp::kOpHelloReply: return "hello-reply";
    case rrcp::kOpGet: return "get";
    case rrcp::kOpGetReply: return "get-reply";
    case rrcp::kOpSet: return "set";
    default: return nullptr;
  }
}

}  // namespace

size_t FieldsLength(uint8_t opcode) {
  switch (opcode) {
    case rrcp::kOpGet: return rrcp::offset::kRegister + 2;
    case rrcp::kOpSet:
    case rrcp::kOpGetReply: return rrcp::kGetReplyMinLength;
    case rrcp::kOpHelloReply: return rrcp::kHelloReplyMinLength;
    default: return rrcp::offset::kHeaderEnd;
  }
}

Frame EncodeFrame(const RrcpFrame& in) {
  namespace at = rrcp::offset;
  Frame f{};
  std::memcpy(f.data() + at::kDestination, in.destination.data(), 6);
  std::memcpy(f.data() + at::kSource, in.source.data(), 6);
  f[at::kEtherType] = rrcp::kEtherTypeHigh;
  f[at::kEtherType + 1] = rrcp::kEtherTypeLow;
  f[at::kProtocol] = rrcp::kProtocol;
  f[at::kOpcode] = in.opcode;
  std::memcpy(f.data() + at::kKey, in.key.data(), 2);
  switch (in.opcode) {
    case rrcp::kOpHello:
      f[at::kHelloFixed] = 0xFF;
      f[at::kHelloFixed + 1] = 0xFF;
      break;
    case rrcp::kOpGet: StoreLe16(f.data() + at::kRegister, in.reg); break;
    case rrcp::kOpSet:
    case rrcp::kOpGetReply:
      StoreLe16(f.data() + at::kRegister, in.reg);
      StoreLe32(f.data() + at::kValue, in.value);
      break;
    case rrcp::kOpHelloReply:
      f[at::kDownLinkPort] = in.downLinkPort;
      f[at::kUpLinkPort] = in.upLinkPort;
      std::memcpy(f.data() + at::kUpLinkMac, in.upLinkMac.data(), 6);
      StoreLe16(f.data() + at::kChipId, in.chipId);
      StoreLe32(f.data() + at::kVendorId, in.vendorId);
      break;
    default: break;
  }
  return f;
}

std::optional<RrcpFrame> DecodeFrame(const uint8_t* data, size_t length) {
  namespace at = rrcp::offset;
  if (!data || !IsRrcp(data, length)) return std::nullopt;
  RrcpFrame f;
  f.opcode = data[at::kOpcode];
  if (length < FieldsLength(f.opcode)) return std::nullopt;
  f.destination = MacAt(data + at::kDestination);
  f.source = MacAt(data + at::kSource);
  f.key = {data[at::kKey], data[at::kKey + 1]};
  switch (f.opcode) {
    case rrcp::kOpGet: f.reg = LoadLe16(data + at::kRegister); break;
    case rrcp::kOpSet:
    case rrcp::kOpGetReply:
      f.reg = LoadLe16(data + at::kRegister);
      f.value = LoadLe32(data + at::kValue);
      break;
    case rrcp::kOpHelloReply:
      f.downLinkPort = data[at::kDownLinkPort];
      f.upLinkPort = data[at::kUpLinkPort];
      f.upLinkMac = MacAt(data + at::kUpLinkMac);
      f.chipId = LoadLe16(data + at::kChipId);
      f.vendorId = LoadLe32(data + at::kVendorId);
      break;
    default: break;
  }
  return f;
}

std::string DescribeFrame(const uint8_t* data, size_t length) {
  const auto f = DecodeFrame(data, length);
  if (!f) {
    if (data && IsRrcp(data, length))
      return Format("RRCP opcode 0x%02X cut short (%zu bytes)", data[rrcp::offset::kOpcode], length);
    return Format("not RRCP (%zu bytes)", length);
  }
  const char* kind = KindName(f->opcode);
  std::string line = kind ? kind : Format("opcode 0x%02X", f->opcode);
  line += " " + FormatMac(f->source) + " > " + FormatMac(f->destination) + Format(" key 0x%04X", KeyValue(f->key));
  if (f->opcode == rrcp::kOpGet || f->opcode == rrcp::kOpGetReply || f->opcode == rrcp::kOpSet)
    line += Format(" reg 0x%04X", f->reg);
  if (f->opcode == rrcp::kOpGetReply || f->opcode == rrcp::kOpSet) line += Format(" value 0x%08X", f->value);
  if (f->opcode == rrcp::kOpHelloReply)
    line += Format(" down %u up %u via %s chip 0x%04X vendor 0x%08X", f->downLinkPort, f->upLinkPort,
                   FormatMac(f->upLinkMac).c_str(), f->chipId, f->vendorId);
  return line;
}

Frame BuildDirectedHello(const Mac& station, const Mac& destination, const KeyBytes& key) {
  return EncodeFrame({.destination = destination, .source = station, .opcode = rrcp::kOpHello, .key = key});
}

Frame BuildBroadcastHello(const Mac& station) {
  return BuildDirectedHello(station, kBroadcastMac, kDefaultKeyBytes);
}

Frame BuildGet(const Mac& station, const Mac& destination, const KeyBytes& key, uint16_t reg) {
  return EncodeFrame({.destination = destination, .source = station, .opcode = rrcp::kOpGet, .key = key, .reg = reg});
}

Frame BuildSet(const Mac& station, const Mac& destination, const KeyBytes& key, uint16_t reg,
               uint32_t value) {
  return EncodeFrame(
      {.destination = destination, .source = station, .opcode = rrcp::kOpSet, .key = key, .reg = reg, .value = value});
}

Frame BuildHelloReply(const Mac& destination, const HelloReply& reply) {
  return EncodeFrame({.destination = destination,
                      .source = reply.source,
                      .opcode = rrcp::kOpHelloReply,
                      .key = reply.key,
                      .downLinkPort = reply.downLinkPort,
                      .upLinkPort = reply.upLinkPort,
                      .upLinkMac = reply.upLinkMac,
                      .chipId = reply.chipId,
                      .vendorId = reply.vendorId});
}

Frame BuildGetReply(const Mac& destination, const Mac& source, const KeyBytes& key, uint16_t reg,
                    uint32_t value) {
  return EncodeFrame({.destination = destination,
                      .source = source,
                      .opcode = rrcp::kOpGetReply,
                      .key = key,
                      .reg = reg,
                      .value = value});
}

void AppendCaptured(std::vector<uint8_t>& batch, const uint8_t* frame, size_t length,
                    int64_t timestampUs) {
  const size_t start = batch.size();
  batch.resize(start + CapturedRecordSize(length), 0);
  uint8_t* h = batch.data() + start;
  StoreLe32(h, static_cast<uint32_t>(timestampUs / 1'000'000));
  StoreLe32(h + 4, static_cast<uint32_t>(timestampUs % 1'000'000));
  StoreLe32(h + capture::kCapLenOffset, static_cast<uint32_t>(length));
  StoreLe32(h + capture::kWireLenOffset, static_cast<uint32_t>(length));
  StoreLe16(h + capture::kHdrLenOffset, static_cast<uint16_t>(capture::kAlignedHeader));
  if (length > 0) std::memcpy(h + capture::kAlignedHeader, frame, length);
}

void WalkCapture(const uint8_t* buffer, size_t n, const std::function<bool(const CapturedFrame& frame)>& visit) {
  size_t offset = 0;
  while (offset < n && n - offset >= capture::kHeaderSize) {
    const uint8_t* h = buffer + offset;
    const uint32_t captured = LoadLe32(h + capture::kCapLenOffset);
    const uint16_t headerLength = LoadLe16(h + capture::kHdrLenOffset);
    if (headerLength < capture::kHeaderSize) return;  // would not advance past its own header
    const size_t dataStart = offset + headerLength;
    if (dataStart > n || captured > n - dataStart) return;  // data would run past the batch
    const int64_t stamp = static_cast<int64_t>(LoadLe32(h)) * 1'000'000 + LoadLe32(h + 4);
    if (!visit({buffer + dataStart, captured, stamp})) return;
    const size_t next = (dataStart + captured + 3) & ~static_cast<size_t>(3);
    if (next <= offset) return;
    offset = next;
  }
}

void WalkBatch(const uint8_t* buffer, size_t n,
               const std::function<bool(const uint8_t* data, size_t capturedLength)>& visit) {
  WalkCapture(buffer, n, [&](const CapturedFrame& f) { return visit(f.data, f.capturedLength); });
}

std::optional<HelloReply> ParseHelloReply(const uint8_t* data, size_t length) {
  const auto f = DecodeFrame(data, length);
  if (!f || f->opcode != rrcp::kOpHelloReply) return std::nullopt;
  return HelloReply{f->source, f->key, f->downLinkPort, f->upLinkPort, f->upLinkMac, f->chipId, f->vendorId};
}

std::optional<uint32_t> ParseGetReply(const uint8_t* data, size_t length, uint16_t reg,
                                      const Mac& from) {
  const auto f = DecodeFrame(data, length);
  if (!f || f->opcode != rrcp::kOpGetReply || f->reg != reg || f->source != from) return std::nullopt;
  return f->value;
}

std::optional<uint32_t> FindGetReply(const uint8_t* buffer, size_t n, uint16_t reg, const Mac& from) {
  std::optional<uint32_t> found;
  WalkBatch(buffer, n, [&](const uint8_t* data, size_t length) {
    found = ParseGetReply(data, length, reg, from);
    return !found.has_value();
  });
  return found;
}

}  // namespace brisfell
