#include "pages/status/traffic_logic.h"

#include <algorithm>

#include "pages/ports/port_registers.h"
#include "pages/status/mib_counter_logic.h"
#include "pages/status/mib_rate_logic.h"

namespace brisfell {
namespace {

constexpr uint16_t kCounterBases[2] = {kRegMibCounter1, kRegMibCounter2};

std::optional<uint32_t> Find(const std::map<uint16_t, uint32_t>& registers, uint16_t reg) {
  auto it = registers.find(reg);
  if (it == registers.end()) return std::nullopt;
  return it->second;
}

}  // namespace

RateScale RateScaleFor(double largestBytesPerSecond) {
  const double bits = largestBytesPerSecond * 8;
  if (bits >= 1e9) return {1e9, "Gbit/s"};
  if (bits >= 1e6) return {1e6, "Mbit/s"};
  if (bits >= 1e3) return {1e3, "kbit/s"};
  return {1, "bit/s"};
}

std::string BitRateText(double bytesPerSecond) {
  const RateScale scale = RateScaleFor(bytesPerSecond);
  const double value = bytesPerSecond * 8 / scale.bitsPerUnit;
  const char* format = value >= 100 ? "%.0f %s" : value >= 10 ? "%.1f %s" : "%.2f %s";
  if (scale.bitsPerUnit == 1) format = "%.0f %s";  // no fraction of a bit
  return Format(format, value, scale.unit.c_str());
}

std::string TrafficPointText(const std::string& seriesName, double bytesPerSecond, double secondsBefore) {
  // Thousands grouped, so that the byte count reads at a glance.
  std::string digits = Format("%.0f", std::max(0.0, bytesPerSecond));
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<size_t>(at), ",");
  return seriesName + ": " + BitRateText(bytesPerSecond) + " (" + digits + " bytes/s) " +
         Format("%.0f s before the last sample", std::max(0.0, secondsBefore));
}

void TrafficRecorder::Reset() {
  chosen_.clear();
  choiceMade_ = false;
  series_.clear();
  last_.clear();
  lastUs_ = 0;
  sampled_ = false;
  portToChip_.clear();
}

void TrafficRecorder::Choose(std::vector<int> positions) {
  std::sort(positions.begin(), positions.end());
  positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
  std::vector<TrafficSeries> kept;
  for (int p : positions) {
    auto it = std::find_if(series_.begin(), series_.end(), [p](const TrafficSeries& s) { return s.position == p; });
    if (it != series_.end()) {
      kept.push_back(std::move(*it));
    } else {
      kept.push_back({p, "Port " + PortLabel(p), {}});
    }
  }
  series_ = std::move(kept);
  chosen_ = std::move(positions);
  choiceMade_ = true;
}

int TrafficRecorder::Code(int position, int counter) const {
  if (!sampled_ || position < 0 || position >= static_cast<int>(portToChip_.size())) return -1;
  const int chip = portToChip_[position];
  const auto select = Find(last_, MibSelectRegister(chip));
  return select ? MibCode(*select, chip, std::clamp(counter, 0, 1)) : -1;
}

std::vector<int> TrafficRecorder::BytePorts() const {
  std::vector<int> out;
  for (int p = 0; p < static_cast<int>(portToChip_.size()); ++p)
    if (Code(p, 0) == 0 || Code(p, 1) == 0) out.push_back(p);
  return out;
}

std::vector<std::string> TrafficRecorder::Notes() const {
  std::vector<std::string> notes;
  for (int p : chosen_)
    for (int c = 0; c < 2; ++c) {
      const int code = Code(p, c);
      if (code > 0)
        notes.push_back(Format("Port %s: counter %d counts %s, not bytes.", PortLabel(p).c_str(), c + 1,
                               MibPageText(c, code)));
    }
  return notes;
}

bool TrafficRecorder::Sample(PageContext& context) {
  if (!context.Ready() || !context.Record()) return false;
  const SwitchRecord& record = *context.Record();
  const int n = std::clamp(record.portCount, 0, kMaxChipPorts);
  const int64_t now = context.engine.GetClock().NowUs();
  RegisterReader reader(context.engine, context.Switch());
  AdapterIo io(context.engine);
  if (!reader.ReadRange(kRegMibSelect, kMibSelectRegisters)) return false;
  if (!choiceMade_) {
    std::vector<int> bytePorts;
    for (int p = 0; p < n; ++p) {
      const int chip = record.portToChip[p];
      const uint32_t select = reader[MibSelectRegister(chip)];
      if (MibCode(select, chip, 0) == 0 || MibCode(select, chip, 1) == 0) bytePorts.push_back(p);
    }
    if (bytePorts.size() > kAutoChoice) bytePorts.resize(kAutoChoice);
    if (bytePorts.empty() && n > 0) bytePorts.push_back(0);
    Choose(bytePorts);
  }
  std::vector<uint16_t> counters;
  for (int p : chosen_) {
    if (p < 0 || p >= n) continue;
    for (uint16_t base : kCounterBases) counters.push_back(static_cast<uint16_t>(base + record.portToChip[p]));
  }
  std::sort(counters.begin(), counters.end());
  for (uint16_t reg : counters)
    if (!reader.Read(reg)) return false;
  Record(record, now, reader.Values());
  return true;
}

void TrafficRecorder::Record(const SwitchRecord& record, int64_t timeUs, const std::map<uint16_t, uint32_t>& registers) {
  const int n = std::clamp(record.portCount, 0, kMaxChipPorts);
  portToChip_.assign(record.portToChip.begin(), record.portToChip.begin() + n);
  for (TrafficSeries& series : series_) {
    if (series.position >= n) continue;
    const int chip = portToChip_[series.position];
    const auto selectNow = Find(registers, MibSelectRegister(chip));
    const auto selectBefore = Find(last_, MibSelectRegister(chip));
    TrafficSample sample;
    sample.timeUs = timeUs;
    for (int c = 0; c < 2; ++c) {
      const uint16_t reg = static_cast<uint16_t>(kCounterBases[c] + chip);
      const auto now = Find(registers, reg);
      const auto before = Find(last_, reg);
      if (!sampled_ || !selectNow || !selectBefore || !now || !before) continue;
      // Only a counter that counted bytes through the whole interval gives a byte rate.
      if (MibCode(*selectNow, chip, c) != 0 || MibCode(*selectBefore, chip, c) != 0) continue;
      (c == 0 ? sample.rx : sample.tx) =
          CounterRate(*before, *now, timeUs - lastUs_, CounterCeilingPerSecond(chip, 0));
    }
    series.samples.push_back(sample);
    // Only the last minutes are kept.
    auto& s = series.samples;
    s.erase(s.begin(), std::find_if(s.begin(), s.end(), [&](const TrafficSample& x) { return x.timeUs >= timeUs - keepUs_; }));
  }
  last_ = registers;
  lastUs_ = timeUs;
  sampled_ = true;
}

}  // namespace brisfell
