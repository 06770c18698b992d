// One network interface opened for RRCP through libpcap: immediate delivery, only EtherType
// 0x8899 (filtered in the kernel, so a busy segment costs nothing), only frames that arrive
// (never the ones this handle sends), non-blocking. Used by the console's packet driver and by
// the emulator when it answers on a real interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/types.h"

struct pcap;

namespace brisfell::pcapdrv {

constexpr int kSnapLength = 1600;  // whole Ethernet frames; RRCP frames are 60 to 64 bytes
constexpr int kDltEthernet = 1;    // DLT_EN10MB

struct CapturedFrame {
  const uint8_t* data = nullptr;
  uint32_t capturedLength = 0;
  uint32_t wireLength = 0;
  int64_t timestampUs = 0;  // wall-clock time the frame was captured
};

class PcapPort {
 public:
  PcapPort() = default;
  ~PcapPort();
  PcapPort(const PcapPort&) = delete;
  PcapPort& operator=(const PcapPort&) = delete;

  // Opens and activates `interfaceName` with a kernel buffer of `bufferBytes`. False with
  // Error() saying why in words an operator can act on.
  bool Open(const std::string& interfaceName, uint32_t bufferBytes);
  void Close();
  bool IsOpen() const { return pcap_ != nullptr; }
  const std::string& InterfaceName() const { return name_; }
  int Fd() const { return fd_; }
  // The libpcap link type (kDltEthernet for Ethernet).
  int LinkType() const { return linkType_; }
  // The interface's current Ethernet address.
  std::optional<Mac> HardwareAddress();

  // Sends one frame, synchronously.
  bool Send(const uint8_t* frame, size_t length);

  // Waits until a frame may be waiting or `timeoutMs` passes (0: just looks). 1 when readable,
  // 0 on time-out, -1 on error (the interface went away).
  int Wait(int timeoutMs) { return WaitUs(static_cast<int64_t>(timeoutMs < 0 ? 0 : timeoutMs) * 1000); }
  // The same to the microsecond.
  int WaitUs(int64_t timeoutUs);
  // Open, and no error pending on the socket (e.g. the interface went down or away).
  bool Healthy() const;

  // Hands the frames already waiting (at most `maxFrames`, all when -1) to `visit`, without
  // blocking. The number handed over, or -1 on error.
  template <typename Visit>
  int Drain(Visit& visit, int maxFrames = -1) {
    return DrainRaw([](void* v, const CapturedFrame& f) { (*static_cast<Visit*>(v))(f); }, &visit, maxFrames);
  }

  const std::string& Error() const { return error_; }

 private:
  int DrainRaw(void (*visit)(void*, const CapturedFrame&), void* context, int maxFrames);
  bool Fail(const std::string& why);

  pcap* pcap_ = nullptr;
  int fd_ = -1;
  int linkType_ = -1;
  std::string name_;
  std::string error_;
};

// The path of the running program, for the advice on granting capture rights.
std::string ProgramPath();

struct InterfaceInfo;
// Fills in the hardware type, MAC address and loopback flag of `info.name` as the kernel has
// them in this process's network namespace (no privilege needed). False when it has no such
// interface.
bool QueryInterface(InterfaceInfo& info);

}  // namespace brisfell::pcapdrv
