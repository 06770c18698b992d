// A packet driver with no wire at all: for work that needs an engine but no adapter (editing
// the switch database), without the rights to open one.
#pragma once

#include <memory>
#include <string>

#include "engine/packet_driver.h"

namespace brisfell {

class NoWireDriver : public PacketDriver {
 public:
  std::string GetVersion() override { return {}; }
  bool GetAdapterNames(uint8_t*, uint32_t, bool) override { return false; }
  std::unique_ptr<AdapterHandle> OpenAdapter(const uint8_t*, bool) override { return nullptr; }
  void CloseAdapter(std::unique_ptr<AdapterHandle>) override {}
  bool GetNetType(AdapterHandle&, uint32_t&) override { return false; }
  bool Request(AdapterHandle&, uint32_t, uint8_t*, uint32_t) override { return false; }
  bool SetHwFilter(AdapterHandle&, uint32_t) override { return false; }
  bool SetBuff(AdapterHandle&, uint32_t) override { return false; }
  bool SetReadTimeout(AdapterHandle&, int) override { return false; }
  bool SetNumWrites(AdapterHandle&, int) override { return false; }
  bool SendPacket(AdapterHandle&, Packet&) override { return false; }
  bool ReceivePacket(AdapterHandle&, Packet&) override { return false; }
  void DiscardPending(AdapterHandle&) override {}
};

}  // namespace brisfell
