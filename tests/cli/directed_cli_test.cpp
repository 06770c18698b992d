// A switch named by MAC that the switch database (or --key) gives a key for is reached with one
// directed hello instead of a discovery; run as the built brisfell-cli on the emulated segment.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_fixture.h"
#include "engine/engine.h"

namespace {

using brisfell::testing::CliRun;
using brisfell::testing::CountOpcode;
using brisfell::testing::kOpHello;
using brisfell::testing::Recorded;

constexpr const char* kKeyed = "02:0B:F1:16:00:44";
const std::array<uint8_t, 6> kBroadcast = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

class DirectedCli : public brisfell::testing::CliTest {
 protected:
  CliRun KeyedPair(const std::string& args) {
    return Run("--sim '" + std::string(BRISFELL_SOURCE_DIR) + "/sim/scenarios/keyed-pair.json' --pcap wire.pcap " + args);
  }
  CliRun Default(const std::string& args) { return Run("--sim --pcap wire.pcap " + args); }

  int Hellos() const { return CountOpcode(Recorded(Path("wire.pcap")), kOpHello); }
  int Broadcasts() const {
    int n = 0;
    for (const auto& f : Recorded(Path("wire.pcap"))) n += f.opcode == kOpHello && f.destination == kBroadcast;
    return n;
  }
  // The database's records as (MAC text, key).
  std::vector<std::pair<std::string, uint16_t>> Database() const {
    std::vector<std::pair<std::string, uint16_t>> records;
    const auto bytes = ReadBytes("qswrec.dat");
    for (size_t i = 0; i + 8 <= bytes.size(); i += 8) {
      char mac[18];
      std::snprintf(mac, sizeof mac, "%02X:%02X:%02X:%02X:%02X:%02X", bytes[i], bytes[i + 1], bytes[i + 2],
                    bytes[i + 3], bytes[i + 4], bytes[i + 5]);
      records.emplace_back(mac, brisfell::LoadBe16(&bytes[i + 6]));
    }
    return records;
  }
};

TEST_F(DirectedCli, AKeyedSwitchIsReachedWithOneHelloAndRemembered) {
  // Unknown to the database, its key is not the default: discovery cannot find it.
  const CliRun unknown = KeyedPair(std::string("-s ") + kKeyed + " read 0x0209");
  EXPECT_EQ(unknown.status, 1);
  EXPECT_NE(unknown.err.find("no such switch"), std::string::npos) << unknown.err;

  const CliRun keyed = KeyedPair(std::string("-s ") + kKeyed + " --key 0x1234 read 0x0209");
  ASSERT_EQ(keyed.status, 0) << keyed.err;
  EXPECT_EQ(keyed.out, "0x0209 0x00001234\n");
  const auto frames = Recorded(Path("wire.pcap"));
  ASSERT_EQ(CountOpcode(frames, kOpHello), 1);
  EXPECT_EQ(frames[0].opcode, kOpHello);
  EXPECT_EQ(frames[0].key, 0x1234);
  EXPECT_EQ(Broadcasts(), 0);

  // Remembered with its key: the next run needs no --key, still one hello.
  const auto db = Database();
  ASSERT_FALSE(db.empty());
  EXPECT_EQ(db.back(), std::make_pair(std::string(kKeyed), uint16_t{0x1234}));
  ASSERT_EQ(KeyedPair(std::string("-s ") + kKeyed + " read 0x0209").status, 0);
  EXPECT_EQ(Hellos(), 1);

  // A wrong key: it does not answer, and --key means exactly that key.
  const CliRun wrong = KeyedPair(std::string("-s ") + kKeyed + " --key 0x1111 read 0x0209");
  EXPECT_EQ(wrong.status, 1);
  EXPECT_NE(wrong.err.find("did not answer a hello with key 0x1111"), std::string::npos) << wrong.err;

  // -s INDEX still discovers: the directed phase in database order (the plain switch, found
  // by the first run's broadcast, then the keyed one), then the broadcast.
  const CliRun byIndex = KeyedPair("-s 1 read 0x0209");
  ASSERT_EQ(byIndex.status, 0) << byIndex.err;
  EXPECT_EQ(byIndex.out, "0x0209 0x00001234\n");
  EXPECT_EQ(Broadcasts(), brisfell::kBroadcastHellos);  // one discovery, its hello repeated
}

// The record reached directly gets its model as discovery gives it, including the EEPROM
// look-up of a hello that names another maker: every page reads the same.
TEST_F(DirectedCli, EverySwitchReachedDirectlyShowsWhatDiscoveryShows) {
  const CliRun discover = Default("--json discover");
  ASSERT_EQ(discover.status, 0) << discover.err;
  const auto switches = discover.Json()["switches"];
  ASSERT_EQ(switches.size(), 5u);
  for (const auto& sw : switches) {
    const std::string mac = sw["mac"];
    const std::string index = std::to_string(sw["index"].get<int>());
    for (const char* page : {"show ports", "show trunks"}) {
      const CliRun viaTable = Default("--json -s " + index + " " + page);
      const CliRun direct = Default("--json -s " + mac + " " + page);
      ASSERT_EQ(direct.status, 0) << mac << " " << page << ": " << direct.err;
      EXPECT_EQ(Hellos(), 1) << mac;
      EXPECT_EQ(direct.out, viaTable.out) << mac << " " << page;
    }
  }
  // The switch whose hello names another maker: its EEPROM says it is the 16-port model.
  const CliRun legacy = Default("--json -s 02:0B:F1:16:00:01 show status");
  ASSERT_EQ(legacy.status, 0) << legacy.err;
  EXPECT_EQ(legacy.Json()["ports"].size(), 16u);
}

TEST_F(DirectedCli, DatabaseKeepsItsOrderAndASilentRememberedSwitchIsLookedFor) {
  ASSERT_EQ(Default("discover").status, 0);
  const auto before = Database();
  ASSERT_EQ(before.size(), 5u);
  ASSERT_EQ(Default("-s 02:0B:F1:26:00:01 read 0x0100").status, 0);
  EXPECT_EQ(Database(), before);  // -s INDEX keeps meaning the same switch

  // The core remembered with a key it does not have: the directed hello goes unanswered, so
  // the command discovers, finds it, and the database learns the key it answers with.
  std::vector<uint8_t> bytes = ReadBytes("qswrec.dat");
  bytes[6] = 0x11;
  bytes[7] = 0x11;
  WriteFile("qswrec.dat", std::string(bytes.begin(), bytes.end()));
  const CliRun r = Default("-s 02:0B:F1:24:00:01 read 0x0100");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Broadcasts(), brisfell::kBroadcastHellos);
  const auto after = Database();
  EXPECT_NE(std::find(after.begin(), after.end(), std::make_pair(std::string("02:0B:F1:24:00:01"), uint16_t{0x5A3C})),
            after.end());
  EXPECT_EQ(after.size(), 5u);
}

}  // namespace
