#include "pages/status/mib_rate_logic.h"

#include <algorithm>

#include "pages/ports/port_registers.h"
#include "pages/status/mib_counter_logic.h"

namespace brisfell {
namespace {

constexpr uint16_t kCounterBases[3] = {kRegMibCounter1, kRegMibCounter2, kRegMibCounter3};

// Line rates: bytes a second, and minimum-size frames (64 bytes plus 20 of preamble and gap).
constexpr double kFastBytes = 100e6 / 8;
constexpr double kGigabitBytes = 1000e6 / 8;
constexpr double kWireBytesPerPacket = 84;
constexpr double kCeilingRoom = 1.25;

std::optional<uint32_t> Find(const std::map<uint16_t, uint32_t>& registers, uint16_t reg) {
  auto it = registers.find(reg);
  if (it == registers.end()) return std::nullopt;
  return it->second;
}

}  // namespace

bool ReadMibCounters(PageContext& context, MibReading& reading) {
  reading = {};
  if (!context.Ready() || !context.Record()) return false;
  reading.timeUs = context.engine.GetClock().NowUs();
  RegisterReader reader(context.engine, context.Switch());
  {
    AdapterIo io(context.engine);
    if (!reader.ReadRange(kRegMibSelect, kRegMibLast - kRegMibSelect + 1)) return false;
  }
  reading.registers = reader.Values();
  return true;
}

uint32_t CounterIncrease(uint32_t before, uint32_t after) {
  return after - before;  // unsigned: modulo 2^32, as the counter itself wraps
}

double CounterCeilingPerSecond(int chip, int code) {
  const double bytes = chip >= 24 ? kGigabitBytes : kFastBytes;
  return (code == 0 ? bytes : bytes / kWireBytesPerPacket) * kCeilingRoom;
}

std::optional<double> CounterRate(uint32_t before, uint32_t after, int64_t elapsedUs, double ceilingPerSecond) {
  if (elapsedUs <= 0) return std::nullopt;
  const double rate = static_cast<double>(CounterIncrease(before, after)) * 1e6 / static_cast<double>(elapsedUs);
  if (rate > ceilingPerSecond) return std::nullopt;
  return rate;
}

std::string RateText(const std::optional<double>& rate) {
  if (!rate) return "";
  if (*rate == 0) return "0";
  return *rate < 100 ? Format("%.1f", *rate) : Format("%.0f", *rate);
}

Table MibCounterColumnsWithRates() {
  return {{"Port", "Counter 1", "(unit)", "Per second", "Counter 2", "(unit)", "Per second", "Counter 3", "(unit)",
           "Per second"},
          {}};
}

std::optional<double> MibCounterRate(const MibReading& now, const MibReading& before, int chip, int counter) {
  const uint16_t select = MibSelectRegister(chip);
  const uint16_t reg = static_cast<uint16_t>(kCounterBases[std::clamp(counter, 0, 2)] + chip);
  const auto selectNow = Find(now.registers, select);
  const auto selectBefore = Find(before.registers, select);
  const auto valueNow = Find(now.registers, reg);
  const auto valueBefore = Find(before.registers, reg);
  if (!selectNow || !selectBefore || !valueNow || !valueBefore) return std::nullopt;
  const int code = MibCode(*selectNow, chip, counter);
  if (code != MibCode(*selectBefore, chip, counter)) return std::nullopt;  // counts something else now
  return CounterRate(*valueBefore, *valueNow, now.timeUs - before.timeUs, CounterCeilingPerSecond(chip, code));
}

Table DecodeMibCountersWithRates(const SwitchRecord& record, const MibReading& now, const MibReading* before) {
  const Table plain = DecodeMibCounters(record, now.registers);
  Table table = MibCounterColumnsWithRates();
  table.rows.resize(plain.rows.size());
  const int n = static_cast<int>(plain.rows.size());
  for (int k = 0; k < n; ++k) {
    const int row = RowOfChip(record, k);
    const auto& cells = plain.rows[row];
    auto& out = table.rows[row];
    out = {cells[0]};
    for (int c = 0; c < 3; ++c) {
      out.push_back(cells[1 + 2 * c]);
      out.push_back(cells[2 + 2 * c]);
      out.push_back(before ? RateText(MibCounterRate(now, *before, k, c)) : "");
    }
  }
  return table;
}

}  // namespace brisfell
