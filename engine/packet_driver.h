// The packet-capture driver as the engine sees it: raw Ethernet send and receive on one
// adapter, each received frame preceded by a capture header (see frames.h). The operations
// mirror the classic packet-driver calls so that the engine logic above them stays the same
// whichever implementation (libpcap, the in-memory emulated segment, a test fake) is used.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace brisfell {

// An open adapter. Each driver derives its own.
class AdapterHandle {
 public:
  virtual ~AdapterHandle() = default;
};

// A packet object: describes a caller's buffer and, after a receive, how much of it was filled.
struct Packet {
  uint8_t* buffer = nullptr;
  uint32_t length = 0;
  uint32_t bytesReceived = 0;
};

inline void InitPacket(Packet& p, uint8_t* buffer, uint32_t length) {
  p.buffer = buffer;
  p.length = length;
  p.bytesReceived = 0;
}

struct OsVersion {
  bool family9x = false;  // the old consumer family; only matters for the name-list format
  unsigned major = 6;
};

namespace driver {
constexpr uint32_t kOidStationAddress = 0x01010102;  // 802.3 current address, 6 bytes
constexpr uint32_t kLinkTypeEthernet = 0;
constexpr uint32_t kHwFilterAllLocal = 0x80;
constexpr uint32_t kKernelBuffer = 512000;
constexpr uint32_t kReceiveBuffer = 256000;
constexpr uint32_t kNameListBuffer8 = 8192;
constexpr uint32_t kNameListBuffer16 = 16384;
}  // namespace driver

class PacketDriver {
 public:
  virtual ~PacketDriver() = default;

  // Version text; the engine reads a digit at character 0 (major) and 2 (minor).
  virtual std::string GetVersion() = 0;
  // Operating-system version query (used with the driver version to pick the name-list format).
  virtual OsVersion GetOsVersion() { return {}; }
  // Fills `buffer` (capacity `size` bytes) with the name list followed by the descriptions:
  // names each ended by a terminator (a zero byte, or a zero 16-bit unit in the 16-bit
  // format), an empty name ending the list, then one 8-bit NUL-terminated description per name.
  // `wide` tells which format the engine expects. False on failure.
  virtual bool GetAdapterNames(uint8_t* buffer, uint32_t size, bool wide) = 0;

  // `name` is the adapter's name slot exactly as enumerated (8-bit or UTF-16, NUL-terminated).
  // Null on failure.
  virtual std::unique_ptr<AdapterHandle> OpenAdapter(const uint8_t* name, bool wide) = 0;
  virtual void CloseAdapter(std::unique_ptr<AdapterHandle> adapter) = 0;

  virtual bool GetNetType(AdapterHandle& adapter, uint32_t& linkType) = 0;
  // Query of an object identifier; fills `length` bytes of `data`.
  virtual bool Request(AdapterHandle& adapter, uint32_t oid, uint8_t* data, uint32_t length) = 0;
  virtual bool SetHwFilter(AdapterHandle& adapter, uint32_t filter) = 0;
  virtual bool SetBuff(AdapterHandle& adapter, uint32_t bytes) = 0;
  virtual bool SetReadTimeout(AdapterHandle& adapter, int milliseconds) = 0;
  // The same to the microsecond (a register read waits for less than a millisecond when the
  // wire is fast); a driver that cannot wait so finely rounds up to whole milliseconds.
  virtual bool SetReadTimeoutUs(AdapterHandle& adapter, int64_t microseconds) {
    return SetReadTimeout(adapter, static_cast<int>((microseconds + 999) / 1000));
  }

  // Null when no packet object can be had.
  virtual std::unique_ptr<Packet> AllocatePacket() { return std::make_unique<Packet>(); }
  virtual void FreePacket(std::unique_ptr<Packet> packet) { packet.reset(); }

  virtual bool SetNumWrites(AdapterHandle& adapter, int count) = 0;
  // Sends packet.buffer[0..length) once, synchronously.
  virtual bool SendPacket(AdapterHandle& adapter, Packet& packet) = 0;
  // Waits at most the read time-out; true with zero or more captured frames (bytesReceived
  // holds the count of bytes filled), false on error.
  virtual bool ReceivePacket(AdapterHandle& adapter, Packet& packet) = 0;

  // Drops every frame already waiting to be received, without blocking. A register read
  // calls it before sending its request so that a late answer to an earlier request can
  // never be taken for the new one.
  virtual void DiscardPending(AdapterHandle& adapter) = 0;

  // Why the last failed operation failed, in words an operator can act on ("" if unknown).
  virtual std::string LastError() const { return {}; }
};

}  // namespace brisfell
