// brisfell-bench: how long register reads take, one by one and as the pages make them, and
// how often a page action succeeds on a lossy wire. Over a real adapter (--adapter) through the
// libpcap driver, or, without one, over the in-memory segment on the real clock. One line per
// figure on standard output; scripts/bench-netns sets them against the wire's own floor.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "engine/clock.h"
#include "engine/engine.h"
#include "engine/pcap/pcap_driver.h"
#include "pages/common/prompt.h"
#include "pages/status/mib_counter_logic.h"
#include "pages/status/port_status_logic.h"
#include "pages/system/configurations_logic.h"
#include "sim/scenario.h"
#include "sim/segment.h"

namespace {

using namespace brisfell;
using Steady = std::chrono::steady_clock;

constexpr int kWarmUpReads = 50;
constexpr int kDiscoveries = 3;  // on a lossy wire a discovery may miss the switch asked for

double Since(Steady::time_point start) {
  return std::chrono::duration<double, std::micro>(Steady::now() - start).count();
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

int Fail(const std::string& why) {
  std::fprintf(stderr, "brisfell-bench: %s\n", why.c_str());
  return 1;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// One page action run again and again: how many succeeded and the median time of those.
struct Runs {
  int ok = 0;
  int total = 0;
  std::vector<double> ms;
  std::string lastFailure;
};

void Print(const std::string& name, const Runs& r) {
  std::printf("%s_ms median %.2f ok %d/%d\n", name.c_str(), Median(r.ms), r.ok, r.total);
  if (r.ok < r.total) std::fprintf(stderr, "brisfell-bench: %s: last failure: %s\n", name.c_str(), r.lastFailure.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"brisfell-bench: register read round trips and page actions, on a clean or a lossy wire",
               "brisfell-bench"};
  std::string adapterText;
  std::string switchText;
  std::string reference;
  std::string saveTo;
  int count = 2000;
  int runs = 15;
  app.add_option("-a,--adapter", adapterText, "Adapter by name or index (default: the in-memory segment)");
  app.add_option("-s,--switch", switchText, "Switch by MAC or index (default: switch 0)");
  app.add_option("-n,--count", count, "Number of single reads to time (0: none)")->check(CLI::Range(0, 10'000'000));
  app.add_option("-r,--runs", runs, "Runs of each page action")->check(CLI::Range(1, 100'000));
  app.add_option("--save-config", saveTo, "Keep the first configuration file saved here");
  int window = kReadWindow;
  app.add_option("-w,--window", window, "Gets in flight per switch")->check(CLI::Range(1, 64));
  app.add_option("--reference", reference, "Count the configuration files saved that differ from this one");
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
  LinkSettings link = engine.GetLinkSettings();
  link.window = window;
  engine.SetLinkSettings(link);
  const int adapters = engine.EnumerateAdapters();
  if (adapters < 0) return Fail("the packet driver cannot list the adapters: " + driver->LastError());
  int adapter = adapterText.empty() ? 0 : -1;
  for (int i = 0; i < adapters && adapter < 0; ++i)
    if (engine.AdapterName(i) == adapterText) adapter = i;
  if (adapter < 0 && !adapterText.empty() &&
      adapterText.find_first_not_of("0123456789") == std::string::npos && adapterText.size() < 3)
    adapter = std::stoi(adapterText) < adapters ? std::stoi(adapterText) : -1;
  if (adapter < 0 || adapter >= adapters) return Fail("no such adapter: " + adapterText);

  int target = -1;
  for (int attempt = 0; attempt < kDiscoveries && target < 0; ++attempt) {
    // Without the switch database: a benchmark leaves no files behind.
    if (engine.DiscoverSwitches(adapter, false) < 0)
      return Fail("cannot open adapter " + engine.AdapterName(adapter) + ": " + engine.LastAdapterError());
    if (switchText.empty()) {
      target = engine.SwitchCount() > 0 ? 0 : -1;
    } else if (auto mac = ParseMac(switchText)) {
      for (int i = 0; i < engine.SwitchCount(); ++i)
        if (engine.GetSwitchRecord(i)->mac == *mac) target = i;
    } else if (switchText.find_first_not_of("0123456789") == std::string::npos && switchText.size() < 3) {
      target = std::stoi(switchText) < engine.SwitchCount() ? std::stoi(switchText) : -1;
    }
  }
  if (target < 0) return Fail(switchText.empty() ? "no switch answered" : "no such switch: " + switchText);
  engine.SetCurrentSwitchIndex(target);
  std::fprintf(stderr, "brisfell-bench: %s, switch %s (%s), %d reads, %d runs\n", engine.AdapterDescription(adapter).c_str(),
               FormatMac(engine.GetSwitchRecord(target)->mac).c_str(), engine.ModelName(target).c_str(), count, runs);

  // Single reads, on one open handle.
  if (count > 0) {
    std::vector<double> reads;
    reads.reserve(static_cast<size_t>(count));
    int failed = 0;
    {
      AdapterIo io(engine);
      if (!io.ok()) return Fail("cannot open the adapter for register access: " + engine.LastAdapterError());
      uint32_t value = 0;
      for (int i = 0; i < kWarmUpReads + count; ++i) {
        const auto start = Steady::now();
        const bool ok = engine.ReadRegister(target, 0x0100, value);
        if (i >= kWarmUpReads && ok) reads.push_back(Since(start));
        failed += !ok;
      }
    }
    std::sort(reads.begin(), reads.end());
    const size_t n = reads.size();
    if (n == 0) return Fail("no single read succeeded: " + engine.LastFailure());
    std::printf("read_register_us median %.1f p90 %.1f p99 %.1f failed %d\n", reads[n / 2], reads[n * 9 / 10],
                reads[n * 99 / 100], failed);
  }

  // What a page action costs: the page's own refresh or save, adapter opening included.
  ScriptedPrompt prompt;
  PageContext context(engine, prompt);
  auto time = [&](const std::function<bool()>& action) {
    Runs r;
    for (int run = 0; run < runs; ++run) {
      const auto start = Steady::now();
      const bool ok = action();
      ++r.total;
      if (ok) {
        ++r.ok;
        r.ms.push_back(Since(start) / 1000.0);
      } else {
        r.lastFailure = engine.LastFailure();
      }
    }
    return r;
  };
  Runs open = time([&] {
    AdapterIo io(engine);
    return io.ok();
  });
  std::printf("adapter_open_close_ms %.3f\n", Median(open.ms));
  Table table;
  Print("port_status_refresh", time([&] { return RefreshPortStatus(context, table); }));
  Print("mib_refresh", time([&] { return RefreshMibCounters(context, table); }));

  // Configuration saves, each to a file of its own, compared with the reference.
  char dir[] = "/tmp/brisfell-bench-XXXXXX";
  if (!mkdtemp(dir)) return Fail("cannot create a temporary folder");
  const std::string referenceText = reference.empty() ? std::string() : ReadFile(reference);
  int differing = 0;
  int saved = 0;
  Runs saves = time([&] {
    const std::string path = std::string(dir) + "/save.qsw";
    prompt.fileNames.push_back(path);
    const SaveFileResult result = SaveConfigToFile(context);
    if (result.outcome != ConfigOutcome::Done) return false;
    const std::string text = ReadFile(path);
    if (saved++ == 0 && !saveTo.empty()) std::ofstream(saveTo, std::ios::binary) << text;
    if (!reference.empty() && text != referenceText) ++differing;
    std::remove(path.c_str());
    return true;
  });
  rmdir(dir);
  Print("config_save", saves);
  if (!reference.empty()) std::printf("config_files_differing %d of %d\n", differing, saved);
  return 0;
}
