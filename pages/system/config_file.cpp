#include "pages/system/config_file.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "engine/registers.h"
#include "pages/features/feature_forms.h"
#include "pages/vlan/vlan_control_form.h"

namespace brisfell {
namespace {

constexpr size_t kMacOffset = 16;
constexpr size_t kDataOffsetField = 24;
constexpr size_t kDataLengthField = 28;
constexpr size_t kChecksumField = 32;

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

ConfigParse Refused(std::string problem) {
  ConfigParse p;
  p.problem = std::move(problem);
  return p;
}

}  // namespace

uint32_t ByteSum(const uint8_t* data, size_t size) {
  uint32_t sum = 0;
  for (size_t i = 0; i < size; ++i) sum += data[i];
  return sum;
}

std::vector<uint8_t> EncodeConfigFile(const Mac& mac, const std::vector<ConfigEntry>& rows) {
  const size_t dataLength = rows.size() * kConfigEntrySize;
  std::vector<uint8_t> out(kConfigDataOffset + dataLength, 0);
  std::memcpy(out.data(), kConfigFileMagic, std::strlen(kConfigFileMagic));
  std::memcpy(out.data() + kMacOffset, mac.data(), mac.size());
  size_t at = kConfigDataOffset;
  for (const auto& row : rows) {
    Put32(out, at, row.reg);
    Put32(out, at + 4, row.value);
    Put32(out, at + 8, row.mask);
    Put32(out, at + 12, row.factoryDefault);
    at += kConfigEntrySize;
  }
  Put32(out, kDataOffsetField, kConfigDataOffset);
  Put32(out, kDataLengthField, static_cast<uint32_t>(dataLength));
  Put32(out, kChecksumField, ByteSum(out.data() + kConfigDataOffset, dataLength));
  return out;
}

ConfigParse ParseConfigHeader(const uint8_t* head, size_t headSize, uint64_t fileSize) {
  if (headSize < kConfigHeaderSize || fileSize < kConfigHeaderSize)
    return Refused(Format("the file is shorter than the %zu-byte header", kConfigHeaderSize));
  // The text up to the first zero byte must be the magic: 15 characters and then the zero.
  const size_t magicLength = std::strlen(kConfigFileMagic);
  if (std::memcmp(head, kConfigFileMagic, magicLength) != 0 || head[magicLength] != 0)
    return Refused(Format("it does not start with \"%s\"", kConfigFileMagic));
  ConfigHeader h;
  std::memcpy(h.mac.data(), head + kMacOffset, h.mac.size());
  h.dataOffset = Get32(head + kDataOffsetField);
  h.dataLength = Get32(head + kDataLengthField);
  h.checksum = Get32(head + kChecksumField);
  if (h.dataLength > kConfigMaxDataLength)
    return Refused(Format("its data length %u is over %u", h.dataLength, kConfigMaxDataLength));
  if (h.dataLength % kConfigEntrySize != 0)
    return Refused(Format("its data length %u is not a multiple of %zu", h.dataLength, kConfigEntrySize));
  // The data may sit anywhere, but it must be inside the file.
  if (static_cast<uint64_t>(h.dataOffset) + h.dataLength > fileSize)
    return Refused(Format("its data (offset %u, %u bytes) runs past the end of the file (%llu bytes)", h.dataOffset,
                          h.dataLength, static_cast<unsigned long long>(fileSize)));
  ConfigParse p;
  p.file = ConfigFile{h, {}};
  return p;
}

ConfigParse ParseConfigData(const ConfigHeader& header, const uint8_t* data, size_t size) {
  if (size != header.dataLength)
    return Refused(Format("only %zu of its %u data bytes could be read", size, header.dataLength));
  ConfigParse p;
  p.dataSum = ByteSum(data, size);
  if (p.dataSum != header.checksum) {
    p.problem = Format("its checksum 0x%08X does not match the data's byte sum 0x%08X", header.checksum, p.dataSum);
    return p;
  }
  ConfigFile file{header, {}};
  file.entries.reserve(size / kConfigEntrySize);
  for (size_t at = 0; at + kConfigEntrySize <= size; at += kConfigEntrySize)
    file.entries.push_back({Get32(data + at), Get32(data + at + 4), Get32(data + at + 8), Get32(data + at + 12)});
  p.file = std::move(file);
  return p;
}

ConfigParse ParseConfigFile(const uint8_t* data, size_t size) {
  ConfigParse head = ParseConfigHeader(data, size, size);
  if (!head.file) return head;
  const ConfigHeader& h = head.file->header;
  return ParseConfigData(h, data + h.dataOffset, h.dataLength);
}

std::optional<ConfigParse> ReadConfigFile(const std::string& path) {
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!f) return std::nullopt;
  // Only the header and the data area are read, wherever the header puts the data.
  if (std::fseek(f.get(), 0, SEEK_END) != 0) return std::nullopt;
  const long end = std::ftell(f.get());
  if (end < 0 || std::fseek(f.get(), 0, SEEK_SET) != 0) return std::nullopt;
  const uint64_t fileSize = static_cast<uint64_t>(end);
  uint8_t head[kConfigHeaderSize] = {};
  const size_t headSize = std::fread(head, 1, sizeof head, f.get());
  if (headSize < sizeof head && std::ferror(f.get())) return std::nullopt;
  ConfigParse parse = ParseConfigHeader(head, headSize, fileSize);
  if (!parse.file) return parse;
  const ConfigHeader h = parse.file->header;
  std::vector<uint8_t> data(h.dataLength);
  if (std::fseek(f.get(), static_cast<long>(h.dataOffset), SEEK_SET) != 0) return std::nullopt;
  const size_t got = std::fread(data.data(), 1, data.size(), f.get());
  if (got < data.size() && std::ferror(f.get())) return std::nullopt;
  return ParseConfigData(h, data.data(), got);
}

std::string ConfigRegisterMeaning(uint16_t reg) {
  // Registers of 13 (or 4) in a row, one for each two (or eight) chip ports.
  auto in = [reg](uint16_t first, int count) { return reg >= first && reg < first + count; };
  auto pair = [reg](const char* name, uint16_t first) {
    const int port = 2 * (reg - first);
    return Format("%s, chip ports %d and %d", name, port, port + 1);
  };
  if (reg == kRegGlobalControl) return "global control, loop detection";
  if (reg == kRegUnauthorisedLow) return "management-unauthorised ports, chip ports 0-15";
  if (reg == kRegUnauthorisedHigh) return "management-unauthorised ports, chip ports 16-25";
  if (in(kRegPortBandwidth, kPortPairRegisters)) return pair("PortBandwidth", kRegPortBandwidth);
  if (in(0x0219, 6) || in(0x0300, 3) || in(kRegVlanTable + 96, 2)) return "shown by no page";
  if (reg == kRegTrunkEnable) return "TrunkEnable";
  if (reg == kRegIgmpControl) return "IGMP snooping enable";
  if (reg == kRegVlanControl) return "VlanControl";
  if (in(kRegPortVlanIndex, kPortPairRegisters)) return pair("PortVlanIndex", kRegPortVlanIndex);
  if (in(kRegPortTagControl, 4)) {
    const int first = 8 * (reg - kRegPortTagControl);
    return Format("PortTagControl, chip ports %d-%d", first, first + 7);
  }
  if (in(kRegVlanTable, 96)) {
    static const char* kParts[3] = {"members, chip ports 0-15", "members, chip ports 16-25", "VLAN ID"};
    return Format("VlanTable entry %d, %s", (reg - kRegVlanTable) / 3, kParts[(reg - kRegVlanTable) % 3]);
  }
  if (reg == kRegQosControl) return "QoS control";
  if (reg == kRegHighPriorityLow) return "forced high-priority ports, chip ports 0-15";
  if (reg == kRegHighPriorityHigh) return "forced high-priority ports, chip ports 16-25";
  if (reg == kRegPortControl) return "global control, back pressure and storm filtering";
  if (reg == kRegPortDisable) return "PortDisable, chip ports 0-15";
  if (reg == kRegPortDisable + 1) return "PortDisable, chip ports 16-25";
  if (in(kRegPortAdvertise, kPortPairRegisters)) return pair("PortAdvertise", kRegPortAdvertise);
  if (in(kRegMibSelect, kMibSelectRegisters)) return pair("MibSelect", kRegMibSelect);
  return "";
}

std::vector<std::string> ConfigRegisterFields(uint16_t reg) {
  std::vector<std::string> out;
  for (const FormTable* formTable : {&GlobalConfigForm(), &QosForm(), &IgmpForm(), &VlanControlForm()}) {
    for (const FormField& f : formTable->fields) {
      if (f.MaskIn(reg, kMaxChipPorts) == 0) continue;
      std::string label = f.label;
      const size_t first = label.find_first_not_of(' ');
      label = first == std::string::npos ? "" : label.substr(first);
      if (!label.empty() && label.back() == ':') label.pop_back();
      if (!label.empty()) out.push_back(label);
    }
  }
  return out;
}

}  // namespace brisfell
