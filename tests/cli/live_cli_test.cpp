// metrics, serve-metrics and watch, run as the built brisfell-cli on the emulated segment.
#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_fixture.h"
#include "support/exposition.h"

namespace {

using brisfell::testing::CliRun;
using brisfell::testing::Exposition;
using brisfell::testing::ParseExposition;

class LiveCli : public brisfell::testing::CliTest {
 protected:
  static Exposition WellFormed(const std::string& text) {
    Exposition e = ParseExposition(text);
    for (const auto& error : e.errors) ADD_FAILURE() << error;
    return e;
  }
  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
};

// Ports of the built-in segment: 24 + 16 + 16 + 16 + 26.
constexpr size_t kPorts = 98;

TEST_F(LiveCli, MetricsForEverySwitchOrOne) {
  CliRun r = Run("--sim metrics");
  ASSERT_EQ(r.status, 0) << r.err;
  const Exposition e = WellFormed(r.out);
  EXPECT_EQ(e.types.size(), 7u);
  EXPECT_EQ(e.help.size(), 7u);
  const auto up = e.Named("brisfell_up");
  ASSERT_EQ(up.size(), 5u);
  for (const auto& s : up) EXPECT_EQ(s.value, 1) << s.labels.at("switch");
  EXPECT_EQ(e.Named("brisfell_port_link_up").size(), kPorts);
  EXPECT_EQ(e.Named("brisfell_port_speed_bytes").size(), kPorts);
  EXPECT_EQ(e.Named("brisfell_port_full_duplex").size(), kPorts);
  EXPECT_EQ(e.Named("brisfell_port_mib_total").size(), 3 * kPorts);
  for (const auto& s : e.samples) {
    EXPECT_TRUE(s.name.rfind("brisfell_", 0) == 0) << s.name;
    EXPECT_EQ(s.labels.count("switch"), 1u);
    EXPECT_EQ(s.labels.count("model"), 1u);
  }
  // The core's port 1 counts bytes; G1 of the gigabit switch runs at a gigabit.
  const auto rx = e.Find("brisfell_port_mib_total",
                         {{"switch", "02:0B:F1:24:00:01"}, {"port", "1"}, {"counter", "1"}});
  ASSERT_EQ(rx.size(), 1u);
  EXPECT_EQ(rx[0].labels.at("kind"), "rx_bytes");
  EXPECT_GT(rx[0].value, 1.8e9);
  const auto g1 = e.Find("brisfell_port_speed_bytes", {{"switch", "02:0B:F1:26:00:01"}, {"port", "G1"}});
  ASSERT_EQ(g1.size(), 1u);
  EXPECT_EQ(g1[0].value, 1e9 / 8);  // bytes per second

  // -s: that switch alone; --output: a file for the textfile collector, nothing on stdout.
  r = Run("--sim -s 02:0B:F1:16:00:04 metrics --output brisfell.prom");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  std::ifstream file(dir_ / "brisfell.prom");
  const std::string text((std::istreambuf_iterator<char>(file)), {});
  const Exposition one = WellFormed(text);
  ASSERT_EQ(one.Named("brisfell_up").size(), 1u);
  EXPECT_EQ(one.Named("brisfell_up")[0].labels.at("switch"), "02:0B:F1:16:00:04");
  EXPECT_EQ(one.Named("brisfell_port_link_up").size(), 16u);

  EXPECT_EQ(Run("--sim -s 9 metrics").status, 1);
  EXPECT_EQ(Run("--sim --json metrics").status, 2);  // the exposition is text only
}

TEST_F(LiveCli, ServeMetricsAnswersEachScrapeWithAFreshReading) {
  const std::string command = "cd '" + dir_.string() + "' && '" + BRISFELL_BIN_DIR +
                              "/brisfell-cli' --sim serve-metrics --listen 127.0.0.1:0 --scrapes 2 2>&1";
  FILE* child = ::popen(command.c_str(), "r");
  ASSERT_NE(child, nullptr);
  // The first line names the port; the socket listens before it is printed.
  char buffer[256] = {};
  ASSERT_NE(std::fgets(buffer, sizeof buffer, child), nullptr);
  const std::string line = buffer;
  const size_t colon = line.rfind(':');
  const size_t slash = line.find("/metrics");
  ASSERT_TRUE(line.find("serving metrics of 5 switches on http://127.0.0.1:") == 0) << line;
  ASSERT_NE(slash, std::string::npos);
  const int port = std::stoi(line.substr(colon + 1, slash - colon - 1));

  httplib::Client client("127.0.0.1", port);
  std::vector<std::string> bodies;
  for (int scrape = 0; scrape < 2; ++scrape) {
    httplib::Result res = client.Get("/metrics");
    // A bounded number of tries in case the server is slow to take the connection.
    for (int tries = 0; !res && tries < 20; ++tries) res = client.Get("/metrics");
    ASSERT_TRUE(res) << httplib::to_string(res.error());
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->get_header_value("Content-Type"), "text/plain; version=0.0.4; charset=utf-8");
    bodies.push_back(res->body);
  }
  const int status = ::pclose(child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

  for (const std::string& body : bodies) {
    const Exposition e = WellFormed(body);
    EXPECT_EQ(e.Named("brisfell_up").size(), 5u);
    EXPECT_EQ(e.Named("brisfell_port_mib_total").size(), 3 * kPorts);
  }
  // Each scrape read the switches again: the traffic counters moved on.
  const auto before = ParseExposition(bodies[0]).Find("brisfell_port_mib_total",
                                                      {{"switch", "02:0B:F1:24:00:01"}, {"port", "1"}, {"counter", "1"}});
  const auto after = ParseExposition(bodies[1]).Find("brisfell_port_mib_total",
                                                     {{"switch", "02:0B:F1:24:00:01"}, {"port", "1"}, {"counter", "1"}});
  ASSERT_EQ(before.size(), 1u);
  ASSERT_EQ(after.size(), 1u);
  EXPECT_GT(after[0].value, before[0].value);
}

TEST_F(LiveCli, ServeMetricsRefusesABadAddress) {
  for (const char* listen : {"nowhere", "127.0.0.1:", "127.0.0.1:70000", ":9100"}) {
    const CliRun r = Run(std::string("--sim serve-metrics --listen '") + listen + "'");
    EXPECT_EQ(r.status, 2) << listen << ": " << r.err;
  }
}

TEST_F(LiveCli, WatchPrintsPlainReadingsWithRatesWhenPiped) {
  CliRun r = Run("--sim watch mib --count 3 --interval 2");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find('\x1b'), std::string::npos);  // no terminal control when piped
  const auto lines = Lines(r.out);
  // Each reading: a header line, the column line, 24 rows, a blank line.
  ASSERT_EQ(lines.size(), 3u * 27);
  std::vector<std::string> firstRows;
  for (int reading = 0; reading < 3; ++reading) {
    const size_t at = static_cast<size_t>(reading) * 27;
    EXPECT_EQ(lines[at].rfind("# ", 0), 0u) << lines[at];
    EXPECT_NE(lines[at].find("02:0B:F1:24:00:01 (TGR7724)  MIB Counter"), std::string::npos) << lines[at];
    EXPECT_EQ(lines[at + 1].rfind("Port  Counter 1", 0), 0u) << lines[at + 1];
    EXPECT_NE(lines[at + 1].find("Per second"), std::string::npos);
    EXPECT_EQ(lines[at + 26], "");
    firstRows.push_back(lines[at + 2]);
  }
  // Port 1 counts bytes at 512000 a second: no rate on the first reading, then that rate.
  auto words = [](const std::string& line) {
    std::vector<std::string> w;
    std::istringstream in(line);
    for (std::string x; in >> x;) w.push_back(x);
    return w;
  };
  EXPECT_EQ(words(firstRows[0])[5], "Tx");  // 1, value, Rx bytes, (no rate), value, Tx bytes, ...
  for (int reading = 1; reading < 3; ++reading) {
    const auto w = words(firstRows[reading]);
    ASSERT_GE(w.size(), 4u);
    EXPECT_NEAR(std::stod(w[4]), 512000, 512000 * 0.01) << firstRows[reading];
  }

  // --json: a document a line for each reading, then what the watch came to.
  r = Run("--sim --json watch mib --count 2 --interval 1");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto json = Lines(r.out);
  ASSERT_EQ(json.size(), 3u);
  for (int reading = 0; reading < 2; ++reading) {
    const auto j = nlohmann::json::parse(json[reading]);
    EXPECT_EQ(j["mac"], "02:0B:F1:24:00:01");
    // The readings are an interval apart on the console's clock (virtual here), the first
    // at 0 plus the time its own reads took.
    EXPECT_NEAR(j["elapsed_s"].get<double>(), reading * 1.0, 0.5) << j["elapsed_s"];
    ASSERT_EQ(j["ports"].size(), 24u);
    const auto& port1 = j["ports"][0];
    EXPECT_EQ(port1["counter_1_unit"], "Rx bytes");
    if (reading == 0) {
      EXPECT_TRUE(port1["counter_1_per_second"].is_null());
    } else {
      EXPECT_NEAR(port1["counter_1_per_second"].get<double>(), 512000, 512000 * 0.01);
    }
  }
  EXPECT_EQ(nlohmann::json::parse(json[2]), nlohmann::json({{"readings", 2}, {"answered", 2}}));

  EXPECT_EQ(Run("--sim watch vlans --count 1").status, 2);
}

}  // namespace
