// The Traffic window's data: the byte rates of chosen ports of the current switch over the
// last minutes. It reads the counters as the MIB selection has them (counter 1 receive,
// counter 2 transmit) and never changes the selection; a port whose counter counts packets,
// CRC errors or collisions gets a note instead of a line.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "pages/common/page_context.h"

namespace brisfell {

struct TrafficSample {
  int64_t timeUs = 0;
  std::optional<double> rx;  // bytes a second; none when not counting bytes or no rate yet
  std::optional<double> tx;
};

struct TrafficSeries {
  int position = 0;  // shown port position
  std::string label;  // "Port 1"
  std::vector<TrafficSample> samples;  // oldest first
};

// Rates are shown as network rates are read: bits a second with SI prefixes (powers of 1000).
struct RateScale {
  double bitsPerUnit = 1;  // bit/s in one unit of the axis
  std::string unit;        // "bit/s", "kbit/s", "Mbit/s", "Gbit/s"
};
// The unit the largest rate (bytes a second) reads best in.
RateScale RateScaleFor(double largestBytesPerSecond);
// "4.10 Mbit/s", "950 bit/s": three significant digits in the rate's own unit.
std::string BitRateText(double bytesPerSecond);
// A point of the chart: "Port 1 Rx: 4.10 Mbit/s (512,000 bytes/s) 12 s before the last sample".
std::string TrafficPointText(const std::string& seriesName, double bytesPerSecond, double secondsBefore);

class TrafficRecorder {
 public:
  static constexpr int64_t kDefaultKeepUs = 5 * 60 * 1'000'000LL;
  static constexpr size_t kAutoChoice = 4;

  explicit TrafficRecorder(int64_t keepUs = kDefaultKeepUs) : keepUs_(keepUs) {}

  // Forgets everything: another switch, or a new discovery.
  void Reset();
  // The ports (shown positions) to plot, in any order; ports still chosen keep their history.
  void Choose(std::vector<int> positions);
  const std::vector<int>& Chosen() const { return chosen_; }
  bool HasChosen() const { return choiceMade_; }

  // One sample: the 13 selection registers, then counters 1 and 2 of the chosen ports, in
  // ascending register order, on one opening of the adapter. Before any choice the ports that
  // count bytes are chosen (at most four; port 1 when none does). False, recording nothing,
  // when no adapter or switch is current or a read fails.
  bool Sample(PageContext& context);
  // What a sample records from the registers read at `timeUs` (Sample's second half).
  void Record(const SwitchRecord& record, int64_t timeUs, const std::map<uint16_t, uint32_t>& registers);

  // One series per chosen port, in port order.
  const std::vector<TrafficSeries>& Series() const { return series_; }
  // What counter `counter` (0 receive, 1 transmit) of a shown port counted at the last sample;
  // -1 before the first.
  int Code(int position, int counter) const;
  // The ports whose receive or transmit counter counts bytes, at the last sample.
  std::vector<int> BytePorts() const;
  // "Port 3: counter 1 counts Rx packets, not bytes." for every chosen port's counter that does
  // not count bytes, in port order.
  std::vector<std::string> Notes() const;
  int64_t LastSampleUs() const { return lastUs_; }
  int64_t KeepUs() const { return keepUs_; }

 private:
  int64_t keepUs_;
  std::vector<int> chosen_;
  bool choiceMade_ = false;
  std::vector<TrafficSeries> series_;
  std::map<uint16_t, uint32_t> last_;  // the previous sample's registers
  int64_t lastUs_ = 0;
  bool sampled_ = false;
  std::vector<int> portToChip_;  // of the switch last sampled
};

}  // namespace brisfell
