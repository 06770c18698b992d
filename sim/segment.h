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

// Seeded, deterministic fault injection.
struct Faults {
  uint64_t seed = 1;
  double dropToSwitches = 0.0;     // share of station frames lost on the way
  double dropToStation = 0.0;      // share of switch frames lost on the way back
  int64_t replyDelayUs = 0;        // added to every reply
  double duplicateReplies = 0.0;   // share of replies delivered twice
  int64_t duplicateDelayUs = 0;    // how long after the original the copy arrives
  // Stray frames delivered along with each reply, with this probability per reply:
  double strayIpv4 = 0.0;
  double strayOtherRegister = 0.0;  // a get reply for another register, from the same switch
  double strayOtherMac = 0.0;       // a get reply for the same register from an unknown MAC
  double strayTruncated = 0.0;      // a get reply cut short
  // One-off: the next get reply is held back until after the asking read has timed out.
  bool lateNextReply = false;
  int64_t lateReplyDelayUs = 1'500'000;
  // The driver hands the station's own frames back to it, as some capture drivers do.
  bool echoStationFrames = false;
};

class Segment : public PacketDriver {
 public:
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
