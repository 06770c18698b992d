// RRCP frames: builders for what the console sends, the walker over received batches and
// the filters that pick hello replies and get replies out of them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/types.h"

namespace brisfell {

constexpr size_t kFrameSize = 60;
using Frame = std::array<uint8_t, kFrameSize>;

namespace rrcp {
constexpr uint8_t kEtherTypeHigh = 0x88;
constexpr uint8_t kEtherTypeLow = 0x99;
constexpr uint8_t kProtocol = 0x01;
constexpr uint8_t kOpHello = 0x00;
constexpr uint8_t kOpHelloReply = 0x80;
constexpr uint8_t kOpGet = 0x01;
constexpr uint8_t kOpGetReply = 0x81;
constexpr uint8_t kOpSet = 0x02;
constexpr size_t kHelloReplyMinLength = 32;
constexpr size_t kGetReplyMinLength = 24;
}  // namespace rrcp

constexpr Mac kBroadcastMac = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// Where each field sits, from the first byte of the destination address. The authentication
// key travels high byte first; every other number is little-endian.
namespace rrcp::offset {
constexpr size_t kDestination = 0;
constexpr size_t kSource = 6;
constexpr size_t kEtherType = 12;  // two bytes, 0x88 0x99
constexpr size_t kProtocol = 14;
constexpr size_t kOpcode = 15;
constexpr size_t kKey = 16;
constexpr size_t kHeaderEnd = 18;  // a frame of any kind carries at least this much
// Hello: a fixed 0xFF 0xFF.
constexpr size_t kHelloFixed = 18;
// Get, set, get reply.
constexpr size_t kRegister = 18;
constexpr size_t kValue = 20;
// Hello reply.
constexpr size_t kDownLinkPort = 18;
constexpr size_t kUpLinkPort = 19;
constexpr size_t kUpLinkMac = 20;
constexpr size_t kChipId = 26;
constexpr size_t kVendorId = 28;
}  // namespace rrcp::offset

// One RRCP frame of any kind, field by field. Which fields a kind carries: every kind the
// addresses, the opcode and the key; get, set and get reply the register; set and get reply
// the value; hello reply the place of the switch and its identity.
struct RrcpFrame {
  Mac destination{};
  Mac source{};
  uint8_t opcode = rrcp::kOpHello;
  KeyBytes key{};
  uint16_t reg = 0;
  uint32_t value = 0;
  uint8_t downLinkPort = 0;
  uint8_t upLinkPort = 0;
  Mac upLinkMac{};
  uint16_t chipId = 0;
  uint32_t vendorId = 0;
  bool operator==(const RrcpFrame&) const = default;
};

// The bytes a frame of this kind needs to carry its fields (a hello's fixed bytes are not
// read): 20 for a get, 24 for a set or get reply, 32 for a hello reply, 18 otherwise.
size_t FieldsLength(uint8_t opcode);

// The 60-byte frame, padding zero.
Frame EncodeFrame(const RrcpFrame& frame);
// The frame's fields when bytes 12..14 say RRCP and the frame is long enough for the fields
// of its kind; nothing otherwise (another protocol, a frame cut short).
std::optional<RrcpFrame> DecodeFrame(const uint8_t* data, size_t length);
// One line for logs: kind, source > destination, then the fields of that kind.
std::string DescribeFrame(const uint8_t* data, size_t length);

Frame BuildDirectedHello(const Mac& station, const Mac& destination, const KeyBytes& key);
Frame BuildBroadcastHello(const Mac& station);
Frame BuildGet(const Mac& station, const Mac& destination, const KeyBytes& key, uint16_t reg);
Frame BuildSet(const Mac& station, const Mac& destination, const KeyBytes& key, uint16_t reg,
               uint32_t value);

// Frames the switches send (used by the emulator and by tests).
struct HelloReply {
  Mac source{};
  KeyBytes key{};
  uint8_t downLinkPort = 0;
  uint8_t upLinkPort = 0;
  Mac upLinkMac{};
  uint16_t chipId = 0;
  uint32_t vendorId = 0;
};
Frame BuildHelloReply(const Mac& destination, const HelloReply& reply);
Frame BuildGetReply(const Mac& destination, const Mac& source, const KeyBytes& key, uint16_t reg,
                    uint32_t value);

// Capture header in front of every frame of a received batch.
namespace capture {
constexpr size_t kHeaderSize = 18;      // fields up to and including the header length
constexpr size_t kAlignedHeader = 20;   // what drivers write: the header padded to 4 bytes
constexpr size_t kCapLenOffset = 8;
constexpr size_t kWireLenOffset = 12;
constexpr size_t kHdrLenOffset = 16;
}  // namespace capture

// Appends one captured frame (header + data + padding to a multiple of 4) to a batch.
void AppendCaptured(std::vector<uint8_t>& batch, const uint8_t* frame, size_t length,
                    int64_t timestampUs);
// The bytes AppendCaptured adds for a frame of `length` bytes.
constexpr size_t CapturedRecordSize(size_t length) { return (capture::kAlignedHeader + length + 3) & ~size_t{3}; }

// One frame of a received batch, with the time stamp of its capture header.
struct CapturedFrame {
  const uint8_t* data = nullptr;
  size_t capturedLength = 0;
  int64_t timestampUs = 0;
};

// Visits each captured frame of a batch of `n` bytes in order. The visitor returns false to
// end the walk early. The walk never reads past `n`: a header that does not fit, a header
// length shorter than the header, or frame data running past the end ends it.
void WalkCapture(const uint8_t* buffer, size_t n, const std::function<bool(const CapturedFrame& frame)>& visit);
void WalkBatch(const uint8_t* buffer, size_t n,
               const std::function<bool(const uint8_t* data, size_t capturedLength)>& visit);

// Hello-reply filter: bytes 12..15 are 88 99 01 80 and the frame is long enough.
std::optional<HelloReply> ParseHelloReply(const uint8_t* data, size_t length);

// Get-reply filter: bytes 12..15 are 88 99 01 81, the register field equals `reg` and the
// reply comes from `from` (a reply from another switch is never taken).
std::optional<uint32_t> ParseGetReply(const uint8_t* data, size_t length, uint16_t reg,
                                      const Mac& from);

// Walks a batch for the first matching get reply.
std::optional<uint32_t> FindGetReply(const uint8_t* buffer, size_t n, uint16_t reg, const Mac& from);

}  // namespace brisfell
