// The in-memory Ethernet segment: the station's side of a PacketDriver whose frames reach
// emulated RRCP switches, and whose received batches carry their replies with capture
// headers, exactly as a real driver hands them over. Runs on whatever Clock it is given:
// virtual time in tests, the real clock in the GUI.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/clock.h"
#include "engine/packet_driver.h"
#include "engine/types.h"
#include "sim/emulated_switch.h"
#include "sim/faults.h"
#include "sim/network.h"
#include "sim/scenario.h"

namespace brisfell::sim {

// Virtual time: SleepUs advances it; nothing really waits.
class VirtualClock : public Clock {
 public:
  int64_t NowUs() override { return now_; }
  void SleepUs(int64_t us) override { if (us > 0) now_ += us; }
  void Advance(int64_t us) { SleepUs(us); }

 private:
  int64_t now_ = 1'000'000;
};

struct RecordedFrame {
  enum class Direction { FromStation, ToStation } direction;
  int64_t timeUs = 0;
  std::vector<uint8_t> bytes;
};

class Segment : public PacketDriver {
 public:
  // The scenario's faults are the segment's from the start.
  Segment(const Scenario& scenario, Clock& clock);
  ~Segment() override;

  // PacketDriver: one adapter, the segment itself.
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
  std::string LastError() const override;

  // The adapter's name and description as the engine lists them.
  static constexpr const char* kAdapterName = "brisfell-sim0";
  std::string AdapterDescriptionText() const;
  const Mac& StationMac() const;

  int SwitchCount() const;
  EmulatedSwitch& Switch(int i);
  EmulatedSwitch* FindSwitch(const Mac& mac);

  Faults& GetFaults();
  Network& GetNetwork();
  // Adapter handles open right now (a test can check that every action closed its handle).
  int OpenAdapterCount() const;
  // Frames still on their way to the station.
  size_t FramesInFlight() const;

  // Every frame that crossed the segment, in time order.
  const std::vector<RecordedFrame>& Recording() const;
  void ClearRecording();
  size_t FramesFromStation() const;
  // Classic pcap, link type Ethernet. False when the file cannot be written.
  bool WritePcap(const std::string& path) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace brisfell::sim
