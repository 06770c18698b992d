#include "sim/pcap_writer.h"

#include "engine/byte_order.h"

namespace brisfell::sim {
namespace {

constexpr size_t kFileHeaderSize = 24;
constexpr size_t kRecordHeaderSize = 16;
constexpr size_t kWriteChunk = 64 * 1024;
constexpr size_t kMaxPcapFileBytes = size_t{1} << 30;

}  // namespace

PcapWriter::~PcapWriter() { Close(); }

bool PcapWriter::Fail(const std::string& error) {
  failed_ = true;
  error_ = error;
  return false;
}

bool PcapWriter::WritePending() {
  if (pending_.empty()) return !failed_;
  std::string error;
  const bool ok = file_.Write(pending_.data(), pending_.size(), error);
  pending_.clear();
  return ok ? !failed_ : Fail(error);
}

bool PcapWriter::Open(const std::string& path) {
  if (IsOpen()) Close();
  failed_ = false;
  error_.clear();
  pending_.clear();
  std::string error;
  if (!file_.Begin(path, FileAccess::Private, error)) return Fail(error);
  // Little-endian throughout: readers tell the byte order from the magic number.
  AppendLe32(pending_, pcap::kMagic);
  AppendLe16(pending_, pcap::kVersionMajor);
  AppendLe16(pending_, pcap::kVersionMinor);
  AppendLe32(pending_, 0);  // time zone offset
  AppendLe32(pending_, 0);  // time stamp accuracy
  AppendLe32(pending_, pcap::kSnapLength);
  AppendLe32(pending_, pcap::kLinkTypeEthernet);
  if (!WritePending()) return false;
  if (!file_.Publish(error)) return Fail(error);
  return true;
}

bool PcapWriter::Write(const uint8_t* frame, size_t length, int64_t timestampUs) {
  if (!IsOpen()) {
    error_ = "no pcap file is open";
    return false;
  }
  if (timestampUs < 0) timestampUs = 0;
  const auto captured = static_cast<uint32_t>(length > pcap::kSnapLength ? pcap::kSnapLength : length);
  AppendLe32(pending_, static_cast<uint32_t>(timestampUs / 1'000'000));
  AppendLe32(pending_, static_cast<uint32_t>(timestampUs % 1'000'000));
  AppendLe32(pending_, captured);
  AppendLe32(pending_, static_cast<uint32_t>(length));
  pending_.insert(pending_.end(), frame, frame + captured);
  return pending_.size() < kWriteChunk ? !failed_ : WritePending();
}

bool PcapWriter::Flush() {
  if (!IsOpen()) return false;
  return WritePending();
}

bool PcapWriter::Close() {
  if (!IsOpen()) return !failed_;
  const bool written = WritePending();
  std::string error;
  if (!file_.Close(error) && written) return Fail(error);
  return !failed_;
}

std::optional<std::vector<PcapRecord>> ReadPcapFile(const std::string& path, uint32_t* linkType) {
  std::vector<uint8_t> data;
  std::string error;
  if (!ReadRegularFile(path, kMaxPcapFileBytes, data, error)) return std::nullopt;
  if (data.size() < kFileHeaderSize) return std::nullopt;
  bool swapped = false;
  if (LoadLe32(data.data()) == pcap::kMagic) {
    swapped = false;
  } else if (LoadBe32(data.data()) == pcap::kMagic) {
    swapped = true;
  } else {
    return std::nullopt;
  }
  auto u32 = [&](size_t at) { return swapped ? LoadBe32(data.data() + at) : LoadLe32(data.data() + at); };
  if (linkType) *linkType = u32(20);
  std::vector<PcapRecord> records;
  size_t at = kFileHeaderSize;
  while (at < data.size()) {
    if (data.size() - at < kRecordHeaderSize) return std::nullopt;
    PcapRecord r;
    r.timestampUs = static_cast<int64_t>(u32(at)) * 1'000'000 + u32(at + 4);
    const uint32_t captured = u32(at + 8);
    r.originalLength = u32(at + 12);
    at += kRecordHeaderSize;
    if (captured > data.size() - at) return std::nullopt;
    r.bytes.assign(data.begin() + static_cast<std::ptrdiff_t>(at), data.begin() + static_cast<std::ptrdiff_t>(at + captured));
    at += captured;
    records.push_back(std::move(r));
  }
  return records;
}

}  // namespace brisfell::sim
