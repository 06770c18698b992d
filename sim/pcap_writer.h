// Classic pcap files (the format every capture tool reads): link type Ethernet, microsecond
// time stamps. Used for the emulated segment's recording and for --pcap over any driver.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace brisfell::sim {

namespace pcap {
constexpr uint32_t kMagic = 0xA1B2C3D4;
constexpr uint16_t kVersionMajor = 2;
constexpr uint16_t kVersionMinor = 4;
constexpr uint32_t kSnapLength = 65535;
constexpr uint32_t kLinkTypeEthernet = 1;
}  // namespace pcap

class PcapWriter {
 public:
  PcapWriter() = default;
  ~PcapWriter();
  PcapWriter(const PcapWriter&) = delete;
  PcapWriter& operator=(const PcapWriter&) = delete;

  // Creates (or truncates) the file and writes the file header. False with LastError() set.
  bool Open(const std::string& path);
  bool IsOpen() const { return file_ != nullptr; }
  // One frame; frames longer than the snap length are cut, keeping their original length.
  bool Write(const uint8_t* frame, size_t length, int64_t timestampUs);
  bool Flush();
  // Flushes and closes; false when any write since Open failed.
  bool Close();
  const std::string& LastError() const { return error_; }

 private:
  bool Fail(const std::string& what);

  std::FILE* file_ = nullptr;
  std::string path_;
  std::string error_;
  bool failed_ = false;
};

struct PcapRecord {
  int64_t timestampUs = 0;
  uint32_t originalLength = 0;
  std::vector<uint8_t> bytes;
};

// Reads back a classic pcap file of either byte order (for tests and tools); nothing when the
// file is missing, is not classic pcap, or is cut short inside a record.
std::optional<std::vector<PcapRecord>> ReadPcapFile(const std::string& path, uint32_t* linkType = nullptr);

}  // namespace brisfell::sim
