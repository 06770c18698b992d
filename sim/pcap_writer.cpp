#include "sim/pcap_writer.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace brisfell::sim {
namespace {

void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v & 0xFF));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

PcapWriter::~PcapWriter() {
  if (file_) std::fclose(file_);
}

bool PcapWriter::Fail(const std::string& what) {
  failed_ = true;
  error_ = what + " \"" + path_ + "\": " + std::strerror(errno);
  return false;
}

bool PcapWriter::Open(const std::string& path) {
  if (file_) Close();
  path_ = path;
  failed_ = false;
  error_.clear();
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) return Fail("cannot create");
  // Little-endian throughout: readers tell the byte order from the magic number.
  std::vector<uint8_t> header;
  Put32(header, pcap::kMagic);
  Put16(header, pcap::kVersionMajor);
  Put16(header, pcap::kVersionMinor);
  Put32(header, 0);  // time zone offset
  Put32(header, 0);  // time stamp accuracy
  Put32(header, pcap::kSnapLength);
  Put32(header, pcap::kLinkTypeEthernet);
  if (std::fwrite(header.data(), 1, header.size(), file_) != header.size()) return Fail("cannot write");
  return true;
}

bool PcapWriter::Write(const uint8_t* frame, size_t length, int64_t timestampUs) {
  if (!file_) {
    error_ = "no pcap file is open";
    return false;
  }
  if (timestampUs < 0) timestampUs = 0;
  const auto captured = static_cast<uint32_t>(length > pcap::kSnapLength ? pcap::kSnapLength : length);
  std::vector<uint8_t> record;
  record.reserve(16 + captured);
  Put32(record, static_cast<uint32_t>(timestampUs / 1'000'000));
  Put32(record, static_cast<uint32_t>(timestampUs % 1'000'000));
  Put32(record, captured);
  Put32(record, static_cast<uint32_t>(length));
  record.insert(record.end(), frame, frame + captured);
  if (std::fwrite(record.data(), 1, record.size(), file_) != record.size()) return Fail("cannot write");
  return true;
}

bool PcapWriter::Flush() {
  if (!file_) return false;
  if (std::fflush(file_) != 0) return Fail("cannot write");
  return !failed_;
}

bool PcapWriter::Close() {
  if (!file_) return !failed_;
  bool ok = std::fflush(file_) == 0;
  ok = std::fclose(file_) == 0 && ok;
  file_ = nullptr;
  if (!ok) return Fail("cannot write");
  return !failed_;
}

std::optional<std::vector<PcapRecord>> ReadPcapFile(const std::string& path, uint32_t* linkType) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  const std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (data.size() < 24) return std::nullopt;
  auto le32 = [&](size_t at) {
    return static_cast<uint32_t>(data[at]) | static_cast<uint32_t>(data[at + 1]) << 8 |
           static_cast<uint32_t>(data[at + 2]) << 16 | static_cast<uint32_t>(data[at + 3]) << 24;
  };
  bool swapped = false;
  if (le32(0) == pcap::kMagic) {
    swapped = false;
  } else if (le32(0) == 0xD4C3B2A1) {
    swapped = true;
  } else {
    return std::nullopt;
  }
  auto u32 = [&](size_t at) {
    const uint32_t v = le32(at);
    return swapped ? __builtin_bswap32(v) : v;
  };
  if (linkType) *linkType = u32(20);
  std::vector<PcapRecord> records;
  size_t at = 24;
  while (at < data.size()) {
    if (data.size() - at < 16) return std::nullopt;
    PcapRecord r;
    r.timestampUs = static_cast<int64_t>(u32(at)) * 1'000'000 + u32(at + 4);
    const uint32_t captured = u32(at + 8);
    r.originalLength = u32(at + 12);
    at += 16;
    if (captured > data.size() - at) return std::nullopt;
    r.bytes.assign(data.begin() + static_cast<std::ptrdiff_t>(at), data.begin() + static_cast<std::ptrdiff_t>(at + captured));
    at += captured;
    records.push_back(std::move(r));
  }
  return records;
}

}  // namespace brisfell::sim
