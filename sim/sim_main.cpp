// brisfell-sim: the switches of a scenario answering RRCP on a real Ethernet interface, so
// that the console (or anything else speaking RRCP) can be run against them over a real wire.
// Replies go out as soon as a frame has been handled; the wire adds its own delay, and
// --faults (or the scenario's "faults") the losses, delays, duplicates and strays of a bad one.
// A reply delay runs on each reply's own clock, to the microsecond: frames that arrive in the
// meantime are handled at once, and their replies follow as they fall due.
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/clock.h"
#include "engine/frames.h"
#include "engine/pcap/pcap_port.h"
#include "sim/network.h"
#include "sim/scenario.h"

#ifndef BRISFELL_VERSION
#define BRISFELL_VERSION "unknown"
#endif

namespace {

using namespace brisfell;

constexpr uint64_t kClearLogsEvery = 100'000;

int g_wakeWrite = -1;
volatile sig_atomic_t g_stop = 0;

void OnStopSignal(int) {
  g_stop = 1;
  const char c = 1;
  [[maybe_unused]] ssize_t ignored = write(g_wakeWrite, &c, 1);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"brisfell-sim: emulated RRCP switches answering on a real Ethernet interface", "brisfell-sim"};
  std::string interfaceName;
  std::string scenarioFile;
  std::string faultsText;
  bool verbose = false;
  app.set_version_flag("-V,--version", std::string("brisfell-sim ") + BRISFELL_VERSION);
  app.add_option("-i,--interface", interfaceName, "The Ethernet interface to answer on")->required();
  app.add_option("--scenario", scenarioFile, "Scenario file (JSON); the built-in scenario without it")
      ->type_name("FILE");
  app.add_option("--faults", faultsText,
                 "Faults of the wire, as key=value pairs (e.g. drop=0.1,seed=7); see the README's Faults section");
  app.add_flag("-v,--verbose", verbose, "Log every frame received and sent, one line each");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }

  sim::Scenario scenario;
  try {
    scenario = scenarioFile.empty() ? sim::DefaultScenario() : sim::LoadScenarioFile(scenarioFile);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "brisfell-sim: cannot load scenario: %s\n", e.what());
    return 1;
  }
  try {
    if (!faultsText.empty()) sim::ApplyFaultsText(scenario, faultsText);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "brisfell-sim: --faults: %s\n", e.what());
    return 2;
  }
  // The in-memory echo of the station's own frames is the capture driver's business here.
  sim::FaultInjector faults(scenario.faults);
  SystemClock clock;
  std::unique_ptr<sim::Network> network;
  try {
    network = std::make_unique<sim::Network>(scenario, &clock);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "brisfell-sim: %s\n", e.what());
    return 1;
  }

  pcapdrv::PcapPort port;
  if (!port.Open(interfaceName, 2 * 1024 * 1024)) {
    std::fprintf(stderr, "brisfell-sim: %s\n", port.Error().c_str());
    return 1;
  }
  if (port.LinkType() != pcapdrv::kDltEthernet) {
    std::fprintf(stderr, "brisfell-sim: %s is not an Ethernet interface\n", interfaceName.c_str());
    return 1;
  }
  // Frames from this interface itself, or from one of our own switches, are never answered.
  std::vector<Mac> ownMacs;
  if (auto mac = port.HardwareAddress()) ownMacs.push_back(*mac);
  for (int i = 0; i < network->SwitchCount(); ++i) ownMacs.push_back(network->Switch(i).MacAddress());

  int wake[2];
  if (pipe(wake) != 0) {
    std::perror("brisfell-sim: pipe");
    return 1;
  }
  g_wakeWrite = wake[1];
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  std::string names;
  for (int i = 0; i < network->SwitchCount(); ++i) {
    const sim::EmulatedSwitch& sw = network->Switch(i);
    names += (i ? ", " : "") + sw.Name() + " " + FormatMac(sw.MacAddress());
  }
  std::printf("brisfell-sim: emulating %d switch%s of scenario \"%s\" on %s: %s\n", network->SwitchCount(),
              network->SwitchCount() == 1 ? "" : "es", scenario.name.c_str(), interfaceName.c_str(), names.c_str());
  if (scenario.faults.Any())
    std::printf("brisfell-sim: the wire has faults (seed %llu)\n", static_cast<unsigned long long>(scenario.faults.seed));
  std::fflush(stdout);

  // Replies waiting for their time to go out, in time order (equal times keep their order).
  std::vector<sim::ScheduledFrame> replies;
  uint64_t handled = 0;
  auto handle = [&](const pcapdrv::CapturedFrame& f) {
    const auto decoded = DecodeFrame(f.data, f.capturedLength);
    if (!decoded) return;  // not RRCP, or too short for its kind
    const Mac source = decoded->source;
    for (const Mac& own : ownMacs)
      if (source == own) return;
    // The switches log every read and write for tests; a long-running emulator must not grow.
    if (++handled % kClearLogsEvery == 0)
      for (int i = 0; i < network->SwitchCount(); ++i) network->Switch(i).ClearLog();
    const bool lost = faults.LoseFromStation();
    if (verbose) std::printf("<- %s%s\n", DescribeFrame(f.data, f.capturedLength).c_str(), lost ? " (lost)" : "");
    if (lost) return;
    const int64_t now = clock.NowUs();
    for (auto& out : network->FromStation(f.data, f.capturedLength, source, now))
      for (auto& frame : faults.Deliver(out.bytes, now)) {
        auto pos = std::upper_bound(replies.begin(), replies.end(), frame.atUs,
                                    [](int64_t t, const sim::ScheduledFrame& r) { return t < r.atUs; });
        replies.insert(pos, std::move(frame));
      }
  };
  auto sendDue = [&] {
    const int64_t now = clock.NowUs();
    size_t n = 0;
    for (; n < replies.size() && replies[n].atUs <= now; ++n) {
      const auto& r = replies[n].bytes;
      if (!port.Send(r.data(), r.size())) std::fprintf(stderr, "brisfell-sim: %s\n", port.Error().c_str());
      if (verbose) std::printf("-> %s\n", DescribeFrame(r.data(), r.size()).c_str());
    }
    replies.erase(replies.begin(), replies.begin() + static_cast<std::ptrdiff_t>(n));
    if (verbose && n > 0) std::fflush(stdout);
  };

  // The kernel's default timer slack (50 us) would stretch a 100 us reply delay by half.
  prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
  int status = 0;
  while (!g_stop) {
    pollfd fds[2] = {{port.Fd(), POLLIN, 0}, {wake[0], POLLIN, 0}};
    // Wake for the next delayed reply (to the microsecond), else only for frames.
    timespec wait{};
    const timespec* timeout = nullptr;
    if (!replies.empty()) {
      const int64_t us = std::clamp<int64_t>(replies.front().atUs - clock.NowUs(), 0, 60'000'000);
      wait.tv_sec = static_cast<time_t>(us / 1'000'000);
      wait.tv_nsec = static_cast<long>(us % 1'000'000 * 1000);
      timeout = &wait;
    }
    const int n = ppoll(fds, 2, timeout, nullptr);
    if (n < 0) {
      if (errno == EINTR) continue;
      std::perror("brisfell-sim: poll");
      status = 1;
      break;
    }
    if (g_stop) break;
    if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
      std::fprintf(stderr, "brisfell-sim: %s is no longer usable\n", interfaceName.c_str());
      status = 1;
      break;
    }
    if (fds[0].revents & POLLIN) {
      if (port.Drain(handle) < 0) {
        std::fprintf(stderr, "brisfell-sim: %s\n", port.Error().c_str());
        status = 1;
        break;
      }
      if (verbose) std::fflush(stdout);
    }
    sendDue();
  }
  if (g_stop) std::printf("brisfell-sim: stopped\n");
  port.Close();
  close(wake[0]);
  close(wake[1]);
  return status;
}
