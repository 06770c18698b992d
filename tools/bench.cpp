// brisfell-bench: how long register reads take, one by one and in the sequences pages make.
// Over a real adapter (--adapter) through the libpcap driver, or, without one, over the
// in-memory segment on the real clock. One line per figure on standard output.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/clock.h"
#include "engine/engine.h"
#include "engine/pcap/pcap_driver.h"
#include "engine/profiles.h"
#include "sim/scenario.h"
#include "sim/segment.h"

namespace {

using namespace brisfell;
using Steady = std::chrono::steady_clock;

constexpr int kWarmUpReads = 50;
constexpr int kSequenceRuns = 15;

double Since(Steady::time_point start) {
  return std::chrono::duration<double, std::micro>(Steady::now() - start).count();
}

std::vector<uint16_t> Range(uint16_t first, uint16_t last) {
  std::vector<uint16_t> r;
  for (uint32_t x = first; x <= last; ++x) r.push_back(static_cast<uint16_t>(x));
  return r;
}

std::vector<uint16_t> PortStatusRefresh() {
  std::vector<uint16_t> r = {0x0100, 0x0307, 0x0608, 0x0609};
  for (uint16_t x : Range(0x020A, 0x0216)) r.push_back(x);
  for (uint16_t x : Range(0x0619, 0x0625)) r.push_back(x);
  return r;
}

std::vector<uint16_t> ConfigSave() {
  std::vector<uint16_t> r;
  for (const auto& row : BuildFactoryDefaultList(ProfileKind::Port16)) r.push_back(static_cast<uint16_t>(row.reg));
  return r;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

int Fail(const std::string& why) {
  std::fprintf(stderr, "brisfell-bench: %s\n", why.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"brisfell-bench: register read round trips and page read sequences", "brisfell-bench"};
  std::string adapterText;
  std::string switchText;
  int count = 2000;
  app.add_option("-a,--adapter", adapterText, "Adapter by name or index (default: the in-memory segment)");
  app.add_option("-s,--switch", switchText, "Switch by MAC or index (default: switch 0)");
  app.add_option("-n,--count", count, "Number of single reads to time")->check(CLI::Range(1, 10'000'000));
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }

  SystemClock clock;
  std::unique_ptr<PacketDriver> driver;
  if (adapterText.empty()) {
    driver = std::make_unique<sim::Segment>(sim::DefaultScenario(), clock);
  } else {
    driver = std::make_unique<PcapDriver>();
  }
  Engine engine(*driver, clock);
  const int adapters = engine.EnumerateAdapters();
  if (adapters < 0) return Fail("the packet driver cannot list the adapters: " + driver->LastError());
  int adapter = adapterText.empty() ? 0 : -1;
  for (int i = 0; i < adapters && adapter < 0; ++i)
    if (engine.AdapterName(i) == adapterText) adapter = i;
  if (adapter < 0 && !adapterText.empty() &&
      adapterText.find_first_not_of("0123456789") == std::string::npos && adapterText.size() < 3)
    adapter = std::stoi(adapterText) < adapters ? std::stoi(adapterText) : -1;
  if (adapter < 0 || adapter >= adapters) return Fail("no such adapter: " + adapterText);

  // Without the switch database: a benchmark leaves no files behind.
  if (engine.DiscoverSwitches(adapter, false) < 0)
    return Fail("cannot open adapter " + engine.AdapterName(adapter) + ": " + engine.LastAdapterError());
  int target = switchText.empty() && engine.SwitchCount() > 0 ? 0 : -1;
  if (!switchText.empty()) {
    if (auto mac = ParseMac(switchText)) {
      for (int i = 0; i < engine.SwitchCount(); ++i)
        if (engine.GetSwitchRecord(i)->mac == *mac) target = i;
    } else if (switchText.find_first_not_of("0123456789") == std::string::npos && switchText.size() < 3) {
      target = std::stoi(switchText) < engine.SwitchCount() ? std::stoi(switchText) : -1;
    }
  }
  if (target < 0) return Fail(switchText.empty() ? "no switch answered" : "no such switch: " + switchText);
  engine.SetCurrentSwitchIndex(target);
  std::fprintf(stderr, "brisfell-bench: %s, switch %s (%s), %d reads\n", engine.AdapterDescription(adapter).c_str(),
               FormatMac(engine.GetSwitchRecord(target)->mac).c_str(), engine.ModelName(target).c_str(), count);

  // Single reads, on one open handle.
  std::vector<double> reads;
  reads.reserve(static_cast<size_t>(count));
  {
    AdapterIo io(engine);
    if (!io.ok()) return Fail("cannot open the adapter for register access: " + engine.LastAdapterError());
    uint32_t value = 0;
    for (int i = 0; i < kWarmUpReads + count; ++i) {
      const auto start = Steady::now();
      if (!engine.ReadRegister(target, 0x0100, value, kRegisterTimeoutMs)) return Fail("a read of register 0x0100 timed out");
      if (i >= kWarmUpReads) reads.push_back(Since(start));
    }
  }
  std::sort(reads.begin(), reads.end());
  const size_t n = reads.size();
  std::printf("read_register_us median %.1f p90 %.1f p99 %.1f\n", reads[n / 2], reads[n * 9 / 10], reads[n * 99 / 100]);

  // What a page action costs: open the handle, read in order, close it.
  auto sequence = [&](const std::vector<uint16_t>& registers, double& medianMs) {
    std::vector<double> runs;
    for (int run = 0; run < kSequenceRuns; ++run) {
      const auto start = Steady::now();
      AdapterIo io(engine);
      if (!io.ok()) return false;
      uint32_t value = 0;
      for (uint16_t reg : registers)
        if (!engine.ReadRegister(target, reg, value, kRegisterTimeoutMs)) return false;
      engine.CloseAdapterIo(engine.CurrentAdapterIndex());
      runs.push_back(Since(start) / 1000.0);
    }
    medianMs = Median(runs);
    return true;
  };
  double ms = 0;
  if (!sequence({}, ms)) return Fail("cannot open the adapter for register access");
  std::printf("adapter_open_close_ms %.2f\n", ms);
  if (!sequence(PortStatusRefresh(), ms)) return Fail("the port status reads failed");
  std::printf("port_status_refresh_ms %.2f\n", ms);
  if (!sequence(Range(0x0700, 0x075A), ms)) return Fail("the MIB counter reads failed");
  std::printf("mib_refresh_ms %.2f\n", ms);
  if (!sequence(ConfigSave(), ms)) return Fail("the configuration save reads failed");
  std::printf("config_save_ms %.2f\n", ms);
  return 0;
}
