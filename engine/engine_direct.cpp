// Reaching one switch by its MAC and key, for callers that know which switch they want: one
// directed hello instead of discovery's directed phase plus its full broadcast second.
#include "engine/engine.h"

namespace brisfell {

int Engine::ReachSwitch(int adapter, const Mac& mac, const KeyBytes& key) {
  CheckThread();
  ForgetRoundTrips(adapter);
  currentAdapter_ = adapter;
  switches_.clear();
  currentSwitch_ = -1;
  leftOut_.clear();
  warnings_.clear();
  lockError_.clear();

  bool busy = false;
  auto lock = LockAdapter(adapter, busy);
  if (busy) return -1;
  auto handle = OpenForDiscovery(adapter);
  if (!handle) return -1;
  auto packet = driver_.AllocatePacket();
  if (!packet) {
    lastAdapterError_ = "no packet object";
    driver_.CloseAdapter(std::move(handle));
    return -1;
  }
  receiveBuffer_.resize(driver::kReceiveBuffer);

  auto answered = [&] {
    for (const auto& r : switches_)
      if (r.mac == mac) return true;
    return false;
  };
  // The hello is repeated over its window like discovery's broadcast, so that one lost frame
  // does not send the caller off to a whole discovery.
  const int64_t start = clock_.NowMs();
  int hellos = 0;
  while (!answered() && clock_.NowMs() - start < kDirectedHelloWindowMs && !Cancelled()) {
    if (hellos < kBroadcastHellos && clock_.NowMs() - start >= hellos * kDirectedHelloWindowMs / kBroadcastHellos) {
      SendFrame(*handle, BuildDirectedHello(stationMac_, mac, key));
      ++hellos;
    }
    InitPacket(*packet, receiveBuffer_.data(), static_cast<uint32_t>(receiveBuffer_.size()));
    if (!driver_.ReceivePacket(*handle, *packet)) break;
    if (packet->bytesReceived > 0) AbsorbBatch(receiveBuffer_.data(), packet->bytesReceived);
  }
  // Replies to someone else's hello may have come along; only the switch asked for stays.
  std::erase_if(switches_, [&](const SwitchRecord& r) { return r.mac != mac; });

  for (auto& rec : switches_) rec.index = 0;
  LookUpUnknownVendors(*handle);
  for (auto& rec : switches_) ApplyProfile(rec);

  if (!lockError_.empty()) warnings_.push_back(LockWarning());

  driver_.FreePacket(std::move(packet));
  driver_.CloseAdapter(std::move(handle));
  return switches_.empty() ? 0 : 1;
}

}  // namespace brisfell
