// One packet driver made of several: the adapter lists of its members, in member order, as
// one list, and every open routed to the member that listed the adapter. This is how the
// emulated segment appears next to the machine's real adapters.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/packet_driver.h"

namespace brisfell {

class CompositeDriver : public PacketDriver {
 public:
  // Members are not owned and must outlive the composite.
  void AddMember(PacketDriver& member);
  size_t MemberCount() const { return members_.size(); }

  std::string GetVersion() override;
  bool GetAdapterNames(uint8_t* buffer, uint32_t size, bool wide) override;
  std::unique_ptr<AdapterHandle> OpenAdapter(const uint8_t* name, bool wide) override;
  void CloseAdapter(std::unique_ptr<AdapterHandle> adapter) override;
  bool GetNetType(AdapterHandle& adapter, uint32_t& linkType) override;
  bool Request(AdapterHandle& adapter, uint32_t oid, uint8_t* data, uint32_t length) override;
  bool SetHwFilter(AdapterHandle& adapter, uint32_t filter) override;
  bool SetBuff(AdapterHandle& adapter, uint32_t bytes) override;
  bool SetReadTimeout(AdapterHandle& adapter, int milliseconds) override;
  bool SetNumWrites(AdapterHandle& adapter, int count) override;
  bool SendPacket(AdapterHandle& adapter, Packet& packet) override;
  bool ReceivePacket(AdapterHandle& adapter, Packet& packet) override;
  void DiscardPending(AdapterHandle& adapter) override;
  std::string LastError() const override;

 private:
  struct Listed {
    std::string name;
    std::string description;
    PacketDriver* owner = nullptr;
  };
  class RoutedHandle;

  std::vector<Listed> ListAll(bool& anyListed);
  RoutedHandle& Routed(AdapterHandle& adapter);

  std::vector<PacketDriver*> members_;
  std::vector<Listed> listed_;  // as of the last GetAdapterNames
  PacketDriver* lastUsed_ = nullptr;
  std::string ownError_;
};

}  // namespace brisfell
