// The packet driver for the machine's real Ethernet adapters, through libpcap (Linux).
//
// Adapters are the interfaces libpcap finds that have Ethernet hardware; an adapter's name is
// its interface name and its description names the interface, its MAC address and what libpcap
// says of it. Each open is one capture handle in immediate mode that sees only RRCP frames
// arriving on the interface; the kernel buffer is sized at open, so SetBuff only has to agree.
// A receive returns as soon as frames arrive or when the read time-out passes, packing every
// frame behind a capture header as the engine expects.
//
// Opening and closing a capture socket each cost tens of milliseconds in the kernel (the ring
// set-up and the release both wait for the network stack to quiesce), and every page action
// opens and closes its adapter. So a closed handle is parked instead, and the next open of the
// same interface takes it back after dropping whatever arrived meanwhile; a handle that failed
// or whose interface went away is closed for real. At most one handle is parked.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/packet_driver.h"

namespace brisfell {

namespace pcapdrv {
class PcapPort;
}

class PcapDriver : public PacketDriver {
 public:
  PcapDriver();
  ~PcapDriver() override;

  std::string GetVersion() override;
  bool GetAdapterNames(uint8_t* buffer, uint32_t size, bool wide) override;
  std::unique_ptr<AdapterHandle> OpenAdapter(const uint8_t* name, bool wide) override;
  void CloseAdapter(std::unique_ptr<AdapterHandle> adapter) override;
  bool GetNetType(AdapterHandle& adapter, uint32_t& linkType) override;
  bool Request(AdapterHandle& adapter, uint32_t oid, uint8_t* data, uint32_t length) override;
  bool SetHwFilter(AdapterHandle& adapter, uint32_t filter) override;
  bool SetBuff(AdapterHandle& adapter, uint32_t bytes) override;
  bool SetReadTimeout(AdapterHandle& adapter, int milliseconds) override;
  bool SetReadTimeoutUs(AdapterHandle& adapter, int64_t microseconds) override;
  bool SetNumWrites(AdapterHandle& adapter, int count) override;
  bool SendPacket(AdapterHandle& adapter, Packet& packet) override;
  bool ReceivePacket(AdapterHandle& adapter, Packet& packet) override;
  void DiscardPending(AdapterHandle& adapter) override;
  std::string LastError() const override { return lastError_; }

 private:
  class Handle;
  Handle* Own(AdapterHandle& adapter);
  bool Fail(const std::string& why);
  bool Fail(Handle& handle);

  std::string lastError_;
  std::unique_ptr<pcapdrv::PcapPort> parked_;
  std::vector<uint8_t> batch_;  // reused by every receive
};

}  // namespace brisfell
