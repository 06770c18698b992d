#include "engine/frames.h"

#include <cstring>

#include "engine/byte_order.h"

namespace brisfell {
namespace {

Frame Header(const Mac& destination, const Mac& source, uint8_t opcode, const KeyBytes& key) {
  Frame f{};
  std::memcpy(f.data(), destination.data(), 6);
  std::memcpy(f.data() + 6, source.data(), 6);
  f[12] = rrcp::kEtherTypeHigh;
  f[13] = rrcp::kEtherTypeLow;
  f[14] = rrcp::kProtocol;
  f[15] = opcode;
  f[16] = key[0];
  f[17] = key[1];
  return f;
}

void Put16(Frame& f, size_t at, uint16_t v) { StoreLe16(f.data() + at, v); }
void Put32(Frame& f, size_t at, uint32_t v) { StoreLe32(f.data() + at, v); }
uint16_t Get16(const uint8_t* p) { return LoadLe16(p); }
uint32_t Get32(const uint8_t* p) { return LoadLe32(p); }

bool IsRrcp(const uint8_t* data, uint8_t opcode) {
  return data[12] == rrcp::kEtherTypeHigh && data[13] == rrcp::kEtherTypeLow &&
         data[14] == rrcp::kProtocol && data[15] == opcode;
}

}  // namespace

Frame BuildDirectedHello(const Mac& station, const Mac& destination, const KeyBytes& key) {
  Frame f = Header(destination, station, rrcp::kOpHello, key);
  f[18] = 0xFF;
  f[19] = 0xFF;
  return f;
}

Frame BuildBroadcastHello(const Mac& station) {
  return BuildDirectedHello(station, kBroadcastMac, kDefaultKeyBytes);
}

Frame BuildGet(const Mac& station, const Mac& destination, const KeyBytes& key, uint16_t reg) {
  Frame f = Header(destination, station, rrcp::kOpGet, key);
  Put16(f, 18, reg);
  return f;
}

Frame BuildSet(const Mac& station, const Mac& destination, const KeyBytes& key, uint16_t reg,
               uint32_t value) {
  Frame f = Header(destination, station, rrcp::kOpSet, key);
  Put16(f, 18, reg);
  Put32(f, 20, value);
  return f;
}

Frame BuildHelloReply(const Mac& destination, const HelloReply& reply) {
  Frame f = Header(destination, reply.source, rrcp::kOpHelloReply, reply.key);
  f[18] = reply.downLinkPort;
  f[19] = reply.upLinkPort;
  std::memcpy(f.data() + 20, reply.upLinkMac.data(), 6);
  Put16(f, 26, reply.chipId);
  Put32(f, 28, reply.vendorId);
  return f;
}

Frame BuildGetReply(const Mac& destination, const Mac& source, const KeyBytes& key, uint16_t reg,
                    uint32_t value) {
  Frame f = Header(destination, source, rrcp::kOpGetReply, key);
  Put16(f, 18, reg);
  Put32(f, 20, value);
  return f;
}

void AppendCaptured(std::vector<uint8_t>& batch, const uint8_t* frame, size_t length,
                    int64_t timestampUs) {
  const size_t start = batch.size();
  batch.resize(start + capture::kAlignedHeader, 0);
  uint8_t* h = batch.data() + start;
  const auto seconds = static_cast<uint32_t>(timestampUs / 1'000'000);
  const auto micros = static_cast<uint32_t>(timestampUs % 1'000'000);
  std::memcpy(h, &seconds, 4);
  std::memcpy(h + 4, &micros, 4);
  const auto len = static_cast<uint32_t>(length);
  std::memcpy(h + capture::kCapLenOffset, &len, 4);
  std::memcpy(h + capture::kWireLenOffset, &len, 4);
  const auto hdr = static_cast<uint16_t>(capture::kAlignedHeader);
  std::memcpy(h + capture::kHdrLenOffset, &hdr, 2);
  batch.insert(batch.end(), frame, frame + length);
  while (batch.size() % 4 != 0) batch.push_back(0);
}

void WalkBatch(const uint8_t* buffer, size_t n,
               const std::function<bool(const uint8_t* data, size_t capturedLength)>& visit) {
  size_t offset = 0;
  while (offset < n && n - offset >= capture::kHeaderSize) {
    const uint8_t* h = buffer + offset;
    const uint32_t captured = Get32(h + capture::kCapLenOffset);
    const uint16_t headerLength = Get16(h + capture::kHdrLenOffset);
    if (headerLength < capture::kHeaderSize) return;  // would not advance past its own header
    const size_t dataStart = offset + headerLength;
    if (dataStart > n || captured > n - dataStart) return;  // data would run past the batch
    if (!visit(buffer + dataStart, captured)) return;
    const size_t next = (dataStart + captured + 3) & ~static_cast<size_t>(3);
    if (next <= offset) return;
    offset = next;
  }
}

std::optional<HelloReply> ParseHelloReply(const uint8_t* data, size_t length) {
  if (length < rrcp::kHelloReplyMinLength || !IsRrcp(data, rrcp::kOpHelloReply)) return std::nullopt;
  HelloReply r;
  std::memcpy(r.source.data(), data + 6, 6);
  r.key = {data[16], data[17]};
  r.downLinkPort = data[18];
  r.upLinkPort = data[19];
  std::memcpy(r.upLinkMac.data(), data + 20, 6);
  r.chipId = Get16(data + 26);
  r.vendorId = Get32(data + 28);
  return r;
}

std::optional<uint32_t> ParseGetReply(const uint8_t* data, size_t length, uint16_t reg,
                                      const Mac& from) {
  if (length < rrcp::kGetReplyMinLength || !IsRrcp(data, rrcp::kOpGetReply)) return std::nullopt;
  if (Get16(data + 18) != reg) return std::nullopt;
  if (std::memcmp(data + 6, from.data(), 6) != 0) return std::nullopt;
  return Get32(data + 20);
}

std::optional<GetReply> ParseAnyGetReply(const uint8_t* data, size_t length) {
  if (length < rrcp::kGetReplyMinLength || !IsRrcp(data, rrcp::kOpGetReply)) return std::nullopt;
  GetReply r;
  std::memcpy(r.source.data(), data + 6, 6);
  r.reg = Get16(data + 18);
  r.value = Get32(data + 20);
  return r;
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
