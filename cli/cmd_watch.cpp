// watch status|mib: the page's list, read again every few seconds. On a terminal the screen is
// redrawn in place; piped, each reading follows the last as plain lines under a header line
// (with --json, one document a line). The counters come with their rates per second, from one
// reading to the next.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <optional>

#include "cli/cli.h"
#include "cli/status_schemas.h"
#include "pages/status/mib_rate_logic.h"
#include "pages/status/port_status_logic.h"

namespace brisfell::cli {
namespace {

constexpr const char* kClearScreen = "\x1b[H\x1b[2J";

volatile std::sig_atomic_t stopRequested = 0;
extern "C" void RequestStop(int) { stopRequested = 1; }

std::string WallClock() {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm local{};
  localtime_r(&now, &local);
  char text[16];
  std::strftime(text, sizeof text, "%H:%M:%S", &local);
  return text;
}

int Watch(Session& s, const std::string& page, double intervalS, int count) {
  PageContext& ctx = s.context();
  Clock& clock = s.engine().GetClock();
  const SwitchRecord& record = s.Record();
  const std::string mac = FormatMac(record.mac);
  const bool json = s.Options().json;
  const bool terminal = ::isatty(STDOUT_FILENO) == 1 && !json;
  const int64_t intervalUs = static_cast<int64_t>(intervalS * 1e6);

  // Ctrl+C ends the watch between readings, and the session ends as every command does.
  struct sigaction action {};
  action.sa_handler = RequestStop;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  struct sigaction oldInt {}, oldTerm {};
  sigaction(SIGINT, &action, &oldInt);
  sigaction(SIGTERM, &action, &oldTerm);

  std::optional<MibReading> previous;
  int readings = 0;
  int answered = 0;
  const int64_t start = clock.NowUs();
  for (int n = 0; (count == 0 || n < count) && !stopRequested; ++n) {
    if (n > 0) {
      // Keep the cadence: each reading is due a whole interval after the one before was due.
      clock.SleepUs(start + n * intervalUs - clock.NowUs());
      if (stopRequested) break;
    }
    Table table;
    bool ok = false;
    if (page == "status") {
      ok = RefreshPortStatus(ctx, table);
    } else {
      MibReading reading;
      ok = ReadMibCounters(ctx, reading);
      if (ok) table = DecodeMibCountersWithRates(record, reading, previous ? &*previous : nullptr);
      previous = ok ? std::optional<MibReading>(std::move(reading)) : std::nullopt;
    }
    ++readings;
    answered += ok ? 1 : 0;

    // Each reading is printed whole, through a printer of its own.
    Output out(s.out().Style());
    if (terminal) std::cout << kClearScreen;
    out.Line(std::string(terminal ? "" : "# ") + WallClock() + "  " + mac + " (" + record.modelName + ")  " +
             (page == "status" ? "Port Status" : "MIB Counter") +
             (terminal ? Format("  (every %g s; Ctrl+C ends)", intervalS) : ""));
    if (ok) {
      out.List("ports", table, page == "status" ? PortStatusSchema() : MibRateSchema(), ChipPorts(record));
    } else {
      out.Line("No reply from " + mac + ": check the cable or the key");
      out.Doc()["error"] = "no reply from " + mac;
    }
    out.Doc()["mac"] = mac;
    // When the reading was taken, on the console's own clock: rates and gaps can be checked
    // from the lines alone.
    out.Doc()["elapsed_s"] = static_cast<double>(clock.NowUs() - start) / 1e6;
    if (!terminal && !json) out.Line("");
    out.Finish();
    std::cout << std::flush;
  }
  sigaction(SIGINT, &oldInt, nullptr);
  sigaction(SIGTERM, &oldTerm, nullptr);
  s.out().Doc()["readings"] = readings;
  s.out().Doc()["answered"] = answered;
  if (readings > 0 && answered == 0) throw Failure("no reply from " + mac + " at any reading");
  return kExitOk;
}

// From a tenth of a second (faster only spins and floods the switch) to a day; not a number,
// an infinity or anything beyond is refused before the first reading.
constexpr double kMinIntervalS = 0.1;
constexpr double kMaxIntervalS = 86400;

CLI::Validator IntervalCheck() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        char* end = nullptr;
        const double seconds = std::strtod(text.c_str(), &end);
        const bool number = !text.empty() && end == text.c_str() + text.size();
        if (number && seconds >= kMinIntervalS && seconds <= kMaxIntervalS) return {};
        return "bad interval: " + text + " (0.1 to 86400 seconds)";
      },
      "");
}

struct Args {
  std::string page;
  double interval = 2;
  int count = 0;
};

CommandRegistrar registrar([](Commands& c) {
  static Args a;
  CLI::App* watch = c.Add(&c.App(), "watch", "Show the Port Status or MIB Counter list again and again (with rates)",
                          Needs::kSwitch, [](Session& s) { return Watch(s, a.page, a.interval, a.count); });
  watch->add_option("page", a.page, "status or mib")->required()->check(CLI::IsMember({"status", "mib"}));
  watch->add_option("--interval", a.interval, "Seconds between readings, 0.1 to 86400 (default 2)")
      ->check(IntervalCheck())
      ->type_name("SECONDS");
  watch->add_option("--count", a.count, "Stop after this many readings (default: until Ctrl+C)")
      ->check(CLI::NonNegativeNumber);
});

}  // namespace
}  // namespace brisfell::cli
