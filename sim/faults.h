// Faults of the wire between the station and the emulated switches: frames lost either way,
// replies late, doubled or accompanied by strays. Seeded and deterministic, so a lossy or
// hostile segment can be reproduced exactly; set from C++, from a scenario file's "faults"
// object or from brisfell-sim --faults.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brisfell::sim {

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
  // The driver hands the station's own frames back to it, as some capture drivers do (only
  // the in-memory segment: on a real wire that is the capture driver's doing).
  bool echoStationFrames = false;

  bool operator==(const Faults&) const = default;
  // Whether any fault is set at all.
  bool Any() const;
};

// A frame on its way to the station, and when it arrives.
struct ScheduledFrame {
  int64_t atUs = 0;
  std::vector<uint8_t> bytes;
};

// Applies a Faults to the frames crossing the wire. Reads `faults` at every call, so a test may
// change them as it goes; the random sequence restarts whenever the seed changes.
class FaultInjector {
 public:
  explicit FaultInjector(Faults& faults) : faults_(faults) {}
  Faults& GetFaults() { return faults_; }

  // Whether a frame from the station is lost before it reaches the switches.
  bool LoseFromStation();
  // What reaches the station for one reply sent to arrive at `atUs`: nothing (lost), or the
  // reply with its strays ahead of it and its duplicate after it, in arrival order.
  std::vector<ScheduledFrame> Deliver(const std::vector<uint8_t>& reply, int64_t atUs);

 private:
  bool Chance(double p);
  uint64_t Next();

  Faults& faults_;
  uint64_t state_ = 0;
  bool seeded_ = false;
  uint64_t seededWith_ = 0;
};

}  // namespace brisfell::sim
