#include "pages/system/config_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/byte_order.h"
#include "engine/registers.h"
#include "engine/safe_file.h"
#include "pages/features/feature_forms.h"
#include "pages/vlan/vlan_control_form.h"

namespace brisfell {
namespace {

constexpr size_t kMacOffset = 16;
constexpr size_t kDataOffsetField = 24;
constexpr size_t kDataLengthField = 28;
constexpr size_t kChecksumField = 32;

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
    StoreLe32(out.data() + at, row.reg);
    StoreLe32(out.data() + at + 4, row.value);
    StoreLe32(out.data() + at + 8, row.mask);
    StoreLe32(out.data() + at + 12, row.factoryDefault);
    at += kConfigEntrySize;
  }
  StoreLe32(out.data() + kDataOffsetField, kConfigDataOffset);
  StoreLe32(out.data() + kDataLengthField, static_cast<uint32_t>(dataLength));
  StoreLe32(out.data() + kChecksumField, ByteSum(out.data() + kConfigDataOffset, dataLength));
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
  h.dataOffset = LoadLe32(head + kDataOffsetField);
  h.dataLength = LoadLe32(head + kDataLengthField);
  h.checksum = LoadLe32(head + kChecksumField);
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
    file.entries.push_back({LoadLe32(data + at), LoadLe32(data + at + 4), LoadLe32(data + at + 8), LoadLe32(data + at + 12)});
  p.file = std::move(file);
  return p;
}

ConfigParse ParseConfigFile(const uint8_t* data, size_t size) {
  ConfigParse head = ParseConfigHeader(data, size, size);
  if (!head.file) return head;
  const ConfigHeader& h = head.file->header;
  return ParseConfigData(h, data + h.dataOffset, h.dataLength);
}

namespace {

// Up to `size` bytes at `offset`; fewer only at the end of the file. -1 on a read error.
ssize_t ReadAt(int fd, uint64_t offset, uint8_t* out, size_t size) {
  size_t got = 0;
  while (got < size) {
    const ssize_t n = ::pread(fd, out + got, size - got, static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(got);
}

}  // namespace

std::optional<ConfigParse> ReadConfigFile(const std::string& path, std::string& error) {
  // Never a FIFO, device or link: they would block, never end, or lead elsewhere.
  const int fd = OpenRegularFile(path, false, error);
  if (fd < 0) return std::nullopt;
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  auto failed = [&] {
    error = path + ": " + std::strerror(errno);
    return std::nullopt;
  };
  struct stat st {};
  if (::fstat(fd, &st) != 0) return failed();
  // Only the header and the data area are read, wherever the header puts the data.
  const uint64_t fileSize = static_cast<uint64_t>(st.st_size);
  uint8_t head[kConfigHeaderSize] = {};
  const ssize_t headSize = ReadAt(fd, 0, head, sizeof head);
  if (headSize < 0) return failed();
  ConfigParse parse = ParseConfigHeader(head, static_cast<size_t>(headSize), fileSize);
  if (!parse.file) return parse;
  const ConfigHeader h = parse.file->header;
  std::vector<uint8_t> data(h.dataLength);
  const ssize_t got = ReadAt(fd, h.dataOffset, data.data(), data.size());
  if (got < 0) return failed();
  return ParseConfigData(h, data.data(), static_cast<size_t>(got));
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
