// watch status|mib: the page's list, read again every few seconds. On a terminal the screen is
// redrawn in place; piped, each reading follows the last as plain lines under a header line.
// The counters come with their rates per second, from one reading to the next.
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <iostream>
#include <optional>

#include "cli/cli.h"
#include "pages/status/mib_rate_logic.h"
#include "pages/status/port_status_logic.h"

namespace brisfell::cli {
namespace {

constexpr const char* kClearScreen = "\x1b[H\x1b[2J";

std::string WallClock() {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm local{};
  localtime_r(&now, &local);
  char text[16];
  std::strftime(text, sizeof text, "%H:%M:%S", &local);
  return text;
}

int Watch(Session& s, const std::string& page, double intervalS, int count) {
  if (page != "status" && page != "mib") {
    s.Error("watch status or watch mib");
    return kExitUsage;
  }
  if (!s.SelectSwitch()) return kExitFailed;
  PageContext& ctx = s.context();
  Clock& clock = s.engine().GetClock();
  const std::string who = FormatMac(ctx.Record()->mac) + " (" + ctx.Record()->modelName + ")";
  const bool terminal = ::isatty(STDOUT_FILENO) == 1 && !s.Options().json;
  const int64_t intervalUs = static_cast<int64_t>(intervalS * 1e6);

  std::optional<MibReading> previous;
  int answered = 0;
  const int64_t start = clock.NowUs();
  for (int n = 0; count == 0 || n < count; ++n) {
    if (n > 0) {
      // Keep the cadence: the next reading is due a whole interval after the last was due.
      const int64_t due = start + n * intervalUs;
      clock.SleepUs(due - clock.NowUs());
    }
    Table table;
    bool ok = false;
    if (page == "status") {
      ok = RefreshPortStatus(ctx, table);
    } else {
      MibReading reading;
      ok = ReadMibCounters(ctx, reading);
      if (ok) {
        table = DecodeMibCountersWithRates(*ctx.Record(), reading, previous ? &*previous : nullptr);
        previous = std::move(reading);
      } else {
        previous.reset();
      }
    }
    if (terminal) std::cout << kClearScreen;
    if (!s.Options().json) {
      std::cout << (terminal ? "" : "# ") << WallClock() << "  " << who << "  " << (page == "status" ? "Port Status" : "MIB Counter");
      if (terminal) std::cout << "  (every " << intervalS << " s; Ctrl+C ends)";
      std::cout << "\n";
    }
    if (ok) {
      ++answered;
      s.PrintTable(table);
    } else {
      std::cout << "No reply from " << FormatMac(ctx.Record()->mac) << ": check the cable or the key\n";
    }
    if (!terminal && !s.Options().json) std::cout << "\n";
    std::cout << std::flush;
  }
  return answered > 0 ? kExitOk : kExitFailed;
}

struct Args {
  std::string page;
  double interval = 2;
  int count = 0;
};

CommandRegistrar registrar([](CLI::App& app, Session& s, CommandAction& run) {
  static Args a;
  auto* watch = app.add_subcommand("watch", "Show a page's list again and again: status or mib (with rates)");
  watch->add_option("page", a.page, "status or mib")->required()->check(CLI::IsMember({"status", "mib"}));
  watch->add_option("--interval", a.interval, "Seconds between readings (default 2)")->check(CLI::NonNegativeNumber);
  watch->add_option("--count", a.count, "Stop after this many readings (default: never)")->check(CLI::NonNegativeNumber);
  OnRun(watch, run, [&s] { return Watch(s, a.page, a.interval, a.count); });
});

}  // namespace
}  // namespace brisfell::cli
