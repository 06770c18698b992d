// Metrics for monitoring systems: metrics (the Prometheus text once, to standard output or a
// file for node_exporter's textfile collector) and serve-metrics (the same over HTTP on
// /metrics, discovering once and reading the switches at each scrape).
#include <httplib.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <mutex>
#include <thread>

#include "cli/cli.h"
#include "pages/status/metrics_logic.h"

namespace brisfell::cli {
namespace {

// The switches to read: the --switch one, or every switch found.
bool ChooseSwitches(Session& s, std::vector<int>& switches) {
  switches.clear();
  if (!s.Options().switchSelector.empty()) {
    if (!s.SelectSwitch()) return false;
    switches.push_back(s.engine().CurrentSwitchIndex());
    return true;
  }
  if (!s.Discover()) return false;
  for (int i = 0; i < s.engine().SwitchCount(); ++i) switches.push_back(i);
  return true;
}

// Written beside the target and renamed over it, so a collector never reads half a file.
bool WriteAtomically(const std::string& path, const std::string& text, std::string& why) {
  const std::string temp = path + ".tmp." + std::to_string(::getpid());
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
      why = "cannot write " + temp;
      std::remove(temp.c_str());
      return false;
    }
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    why = "cannot rename " + temp + " to " + path;
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

int Metrics(Session& s, const std::string& output) {
  std::vector<int> switches;
  if (!ChooseSwitches(s, switches)) return kExitFailed;
  const std::string text = CollectMetrics(s.engine(), switches);
  if (output.empty()) {
    std::cout << text << std::flush;
    return kExitOk;
  }
  std::string why;
  if (!WriteAtomically(output, text, why)) {
    s.Error(why);
    return kExitFailed;
  }
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
  if (!ParseListen(listen, host, port)) {
    s.Error("bad --listen " + listen + " (ADDR:PORT, e.g. 127.0.0.1:9731)");
    return kExitUsage;
  }
  std::vector<int> switches;
  if (!ChooseSwitches(s, switches)) return kExitFailed;

  httplib::Server server;
  // The engine does one thing at a time; scrapes arriving together take turns.
  std::mutex engineMutex;
  std::mutex countMutex;
  std::condition_variable counted;
  int served = 0;
  server.Get("/metrics", [&](const httplib::Request&, httplib::Response& res) {
    {
      const std::lock_guard<std::mutex> lock(engineMutex);
      res.set_content(CollectMetrics(s.engine(), switches), kMetricsContentType);
    }
    const std::lock_guard<std::mutex> lock(countMutex);
    ++served;
    counted.notify_all();
  });
  server.Get("/", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("brisfell-cli serve-metrics: see /metrics\n", "text/plain; charset=utf-8");
  });

  if (port == 0) {
    port = server.bind_to_any_port(host);
    if (port < 0) port = 0;
  } else if (!server.bind_to_port(host, port)) {
    port = 0;
  }
  if (port == 0) {
    s.Error("cannot listen on " + listen);
    return kExitFailed;
  }
  const std::string shown = host.find(':') != std::string::npos ? "[" + host + "]" : host;
  std::cout << "serving metrics of " << switches.size() << " switch" << (switches.size() == 1 ? "" : "es")
            << " on http://" << shown << ":" << port << "/metrics" << std::endl;

  if (scrapes <= 0) return server.listen_after_bind() ? kExitOk : kExitFailed;
  // --scrapes N: stop once N scrapes were answered.
  std::thread listener([&server] { server.listen_after_bind(); });
  {
    std::unique_lock<std::mutex> lock(countMutex);
    counted.wait(lock, [&] { return served >= scrapes; });
  }
  server.stop();
  listener.join();
  return kExitOk;
}

struct Args {
  std::string output;
  std::string listen;
  int scrapes = 0;
};

CommandRegistrar registrar([](CLI::App& app, Session& s, CommandAction& run) {
  static Args a;
  auto* metrics = app.add_subcommand(
      "metrics", "Port state and MIB counters of every switch found (or of --switch) as Prometheus text");
  metrics->add_option("-o,--output", a.output, "Write to FILE (replaced whole, for node_exporter's textfile collector)");
  OnRun(metrics, run, [&s] { return Metrics(s, a.output); });

  auto* serve = app.add_subcommand("serve-metrics", "Serve the metrics over HTTP on /metrics, reading at each scrape");
  serve->add_option("--listen", a.listen, "ADDR:PORT to listen on (port 0: any free port)")->required();
  serve->add_option("--scrapes", a.scrapes, "Stop after this many scrapes (default: never)")
      ->check(CLI::NonNegativeNumber);
  OnRun(serve, run, [&s] { return ServeMetrics(s, a.listen, a.scrapes); });
});

}  // namespace
}  // namespace brisfell::cli
