// Classic pcap files (the format every capture tool reads): link type Ethernet, microsecond
// time stamps. Used for the emulated segment's recording and for --pcap over any driver.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/safe_file.h"

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

  // Writes the file header to a new owner-only file (the frames carry authentication keys)
  // that takes the place of `path` at once and grows as frames come (a link, FIFO, device or
  // folder at `path` is refused and left as it is). False with LastError() set.
  bool Open(const std::string& path);
  bool IsOpen() const { return file_.IsOpen(); }
  // One frame; frames longer than the snap length are cut, keeping their original length.
  bool Write(const uint8_t* frame, size_t length, int64_t timestampUs);
  bool Flush();
  // Flushes and closes; false when any write since Open failed.
  bool Close();
  const std::string& LastError() const { return error_; }

 private:
  bool Fail(const std::string& error);
  bool WritePending();

  FileReplacement file_;
  std::vector<uint8_t> pending_;  // records not yet handed to the file
  std::string error_;
  bool failed_ = false;
};

struct PcapRecord {
  int64_t timestampUs = 0;
  uint32_t originalLength = 0;
  std::vector<uint8_t> bytes;
};

// Reads back a classic pcap file of either byte order (for tests and tools); nothing when the
// file is missing or not a regular file, is not classic pcap, or is cut short inside a record.
std::optional<std::vector<PcapRecord>> ReadPcapFile(const std::string& path, uint32_t* linkType = nullptr);

}  // namespace brisfell::sim
