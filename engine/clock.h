// The engine's notion of time. Everything that waits (receive windows, EEPROM polls,
// discovery phases) goes through this interface so that tests and the emulator can run
// on virtual time while the application runs on the real clock.
#pragma once

#include <cstdint>

namespace brisfell {

class Clock {
 public:
  virtual ~Clock() = default;
  // Monotonic time in microseconds; only differences matter.
  virtual int64_t NowUs() = 0;
  // Blocks (or, on virtual time, advances) for the given time.
  virtual void SleepUs(int64_t us) = 0;

  int64_t NowMs() { return NowUs() / 1000; }
  void SleepMs(int64_t ms) { SleepUs(ms * 1000); }
};

// steady_clock and nanosleep.
class SystemClock : public Clock {
 public:
  int64_t NowUs() override;
  void SleepUs(int64_t us) override;
};

}  // namespace brisfell
