// The driver the command line's engine talks to, in front of the real one (libpcap or the
// emulated segment): it notes every set frame the engine sends, so that a command can report
// and verify its writes, and with --dry-run it holds the set frames back instead of sending
// them. Held-back values answer later gets of the same register, so a command that reads what
// it just wrote sees the switch as its writes would have left it; reads of everything else
// still go to the switch. EEPROM read commands (a set of the EEPROM control register with the
// read bit) are reads and go out, except for a byte a held-back write command wrote: that one
// is answered here, so the write's read-back sees it.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/packet_driver.h"
#include "engine/types.h"

namespace brisfell::cli {

struct WireWrite {
  Mac mac{};
  uint16_t reg = 0;
  uint32_t value = 0;
  bool sent = true;  // false: held back by --dry-run
};

class WireTap : public PacketDriver {
 public:
  explicit WireTap(PacketDriver& inner) : inner_(inner) {}

  void SetDryRun(bool on) { dryRun_ = on; }
  bool DryRun() const { return dryRun_; }
  // Set frames the engine sent (or held back), in order, EEPROM read commands left out.
  const std::vector<WireWrite>& Writes() const { return writes_; }
  // Frames handed to the real driver (every kind).
  size_t FramesSent() const { return framesSent_; }

  std::string GetVersion() override { return inner_.GetVersion(); }
  OsVersion GetOsVersion() override { return inner_.GetOsVersion(); }
  bool GetAdapterNames(uint8_t* buffer, uint32_t size, bool wide) override {
    return inner_.GetAdapterNames(buffer, size, wide);
  }
  std::unique_ptr<AdapterHandle> OpenAdapter(const uint8_t* name, bool wide) override;
  void CloseAdapter(std::unique_ptr<AdapterHandle> adapter) override;
  bool GetNetType(AdapterHandle& adapter, uint32_t& linkType) override;
  bool Request(AdapterHandle& adapter, uint32_t oid, uint8_t* data, uint32_t length) override;
  bool SetHwFilter(AdapterHandle& adapter, uint32_t filter) override;
  bool SetBuff(AdapterHandle& adapter, uint32_t bytes) override;
  bool SetReadTimeout(AdapterHandle& adapter, int milliseconds) override;
  bool SetReadTimeoutUs(AdapterHandle& adapter, int64_t microseconds) override;
  std::unique_ptr<Packet> AllocatePacket() override { return inner_.AllocatePacket(); }
  void FreePacket(std::unique_ptr<Packet> packet) override { inner_.FreePacket(std::move(packet)); }
  bool SetNumWrites(AdapterHandle& adapter, int count) override;
  bool SendPacket(AdapterHandle& adapter, Packet& packet) override;
  bool ReceivePacket(AdapterHandle& adapter, Packet& packet) override;
  void DiscardPending(AdapterHandle& adapter) override;
  std::string LastError() const override { return inner_.LastError(); }

 private:
  struct Handle;
  Handle* Own(AdapterHandle& adapter);

  PacketDriver& inner_;
  bool dryRun_ = false;
  std::vector<WireWrite> writes_;
  // --dry-run: what the held-back sets left in each switch's registers.
  std::map<std::pair<Mac, uint16_t>, uint32_t> shadow_;
  // --dry-run: the EEPROM bytes the held-back write commands would have left, by address.
  std::map<std::pair<Mac, uint16_t>, uint8_t> eepromShadow_;
  size_t framesSent_ = 0;
};

}  // namespace brisfell::cli
