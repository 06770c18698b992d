// Metrics for monitoring systems: metrics (the Prometheus text once, to standard output or a
// file for node_exporter's textfile collector) and serve-metrics (the same over HTTP on
// /metrics, discovering once and reading the switches at each scrape).
#include <httplib.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <iostream>
#include <mutex>
#include <thread>

#include "cli/cli.h"
#include "engine/safe_file.h"
#include "pages/status/metrics_logic.h"

namespace brisfell::cli {
namespace {

// Slow or idle clients must not keep scrapes waiting: every read and write of a connection
// times out, an idle kept-alive connection is let go soon and serves a few requests at most,
// and the workers (a fixed number) outnumber the connections a scraper and some stragglers hold.
constexpr int kMetricsWorkers = 32;
constexpr time_t kMetricsIoTimeoutS = 2;
constexpr size_t kMetricsRequestsPerConnection = 10;

// The switches to read: the --switch one, or every switch found.
std::vector<int> ChosenSwitches(Session& s) {
  if (s.Options().json) throw UsageError("the metrics are Prometheus text; --json does not apply");
  if (!s.Options().switchSelector.empty()) return {s.engine().CurrentSwitchIndex()};
  std::vector<int> all;
  for (int i = 0; i < s.engine().SwitchCount(); ++i) all.push_back(i);
  return all;
}

int Metrics(Session& s, const std::string& output) {
  const std::string text = CollectMetrics(s.engine(), ChosenSwitches(s));
  if (output.empty()) {
    std::cout << text << std::flush;
    return kExitOk;
  }
  // Written beside the target and renamed over it, so a collector never reads half a file;
  // readable as the umask allows, since a collector of another user reads it.
  std::string why;
  if (!ReplaceFile(output, reinterpret_cast<const uint8_t*>(text.data()), text.size(), why, FileAccess::Shared))
    throw Failure("cannot write the metrics: " + why);
  return kExitOk;
}

// "HOST:PORT" or "[IPV6]:PORT"; port 0 lets the system choose.
bool ParseListen(const std::string& text, std::string& host, int& port) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon + 1 >= text.size()) return false;
  host = text.substr(0, colon);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  if (host.empty()) return false;
  const auto n = ParseNumber(text.substr(colon + 1));
  if (!n || *n > 65535) return false;
  port = static_cast<int>(*n);
  return true;
}

int ServeMetrics(Session& s, const std::string& listen, int scrapes) {
  std::string host;
  int port = 0;
  if (!ParseListen(listen, host, port)) throw UsageError("bad --listen " + listen + " (ADDR:PORT, e.g. 127.0.0.1:9731)");
  const std::vector<int> switches = ChosenSwitches(s);

  httplib::Server server;
  server.new_task_queue = [] { return new httplib::ThreadPool(kMetricsWorkers); };
  server.set_read_timeout(kMetricsIoTimeoutS, 0);
  server.set_write_timeout(kMetricsIoTimeoutS, 0);
  server.set_keep_alive_timeout(kMetricsIoTimeoutS);
  server.set_keep_alive_max_count(kMetricsRequestsPerConnection);
  // The engine does one thing at a time; scrapes arriving together take turns.
  std::mutex engineMutex;
  std::mutex stateMutex;
  std::condition_variable changed;
  int served = 0;
  bool signalled = false;
  bool listenerDone = false;
  server.Get("/metrics", [&](const httplib::Request&, httplib::Response& res) {
    {
      const std::lock_guard<std::mutex> lock(engineMutex);
      res.set_content(CollectMetrics(s.engine(), switches), kMetricsContentType);
    }
    const std::lock_guard<std::mutex> lock(stateMutex);
    ++served;
    changed.notify_all();
  });
  server.Get("/", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("brisfell-cli serve-metrics: the metrics are on /metrics\n", "text/plain; charset=utf-8");
  });

  if (port == 0) {
    port = std::max(server.bind_to_any_port(host), 0);
  } else if (!server.bind_to_port(host, port)) {
    port = 0;
  }
  if (port == 0) throw Failure("cannot listen on " + listen);
  const std::string shown = host.find(':') != std::string::npos ? "[" + host + "]" : host;
  std::cout << "serving metrics of " << switches.size() << " switch" << (switches.size() == 1 ? "" : "es")
            << " on http://" << shown << ":" << port << "/metrics" << std::endl;

  // Ctrl+C and SIGTERM end the serving cleanly, so the session still ends as every command
  // does (the switch database is saved). The threads started here inherit the blocked mask.
  sigset_t stops, previous;
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stops, &previous);
  std::thread signals([&] {
    int signal = 0;
    sigwait(&stops, &signal);
    const std::lock_guard<std::mutex> lock(stateMutex);
    signalled = true;
    changed.notify_all();
  });
  std::thread listener([&] {
    server.listen_after_bind();
    const std::lock_guard<std::mutex> lock(stateMutex);
    listenerDone = true;
    changed.notify_all();
  });
  bool byLimit = false;
  {
    std::unique_lock<std::mutex> lock(stateMutex);
    changed.wait(lock, [&] { return signalled || listenerDone || (scrapes > 0 && served >= scrapes); });
    byLimit = !signalled;
  }
  server.stop();
  listener.join();
  if (byLimit) pthread_kill(signals.native_handle(), SIGTERM);  // ends its wait
  signals.join();
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return kExitOk;
}

struct Args {
  std::string output;
  std::string listen;
  int scrapes = 0;
};

CommandRegistrar registrar([](Commands& c) {
  static Args a;
  CLI::App* metrics = c.Add(&c.App(), "metrics",
                            "Port state and MIB counters of every switch found (or of --switch) as Prometheus text",
                            Needs::kSwitch, [](Session& s) { return Metrics(s, a.output); });
  metrics->add_option("-o,--output", a.output, "Write to FILE, replaced whole (node_exporter's textfile collector)")
      ->type_name("FILE");

  CLI::App* serve = c.Add(&c.App(), "serve-metrics", "Serve the metrics over HTTP on /metrics, reading at each scrape",
                          Needs::kSwitch, [](Session& s) { return ServeMetrics(s, a.listen, a.scrapes); });
  serve->add_option("--listen", a.listen, "ADDR:PORT to listen on (port 0: any free port)")->required();
  serve->add_option("--scrapes", a.scrapes, "Stop after this many scrapes (default: never)")
      ->check(CLI::NonNegativeNumber);
});

}  // namespace
}  // namespace brisfell::cli
