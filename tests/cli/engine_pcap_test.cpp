// --pcap: the built brisfell-cli records every frame it sends and receives, whichever driver
// the session uses; here the emulated segment, on virtual time.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "cli/cli_fixture.h"
#include "engine/frames.h"
#include "engine/engine.h"
#include "sim/pcap_writer.h"

namespace {

namespace fs = std::filesystem;

class EnginePcapCli : public brisfell::testing::CliTest {
 protected:
  // The exit status, with stderr in `err`.
  int Cli(const std::string& args, std::string& err) {
    const brisfell::testing::CliRun r = Run(args);
    err = r.err;
    return r.status;
  }
};

brisfell::RrcpFrame Decoded(const brisfell::sim::PcapRecord& r) {
  return brisfell::DecodeFrame(r.bytes.data(), r.bytes.size()).value_or(brisfell::RrcpFrame{.opcode = 0xFF});
}
uint8_t Opcode(const brisfell::sim::PcapRecord& r) { return Decoded(r).opcode; }
uint16_t Register(const brisfell::sim::PcapRecord& r) { return Decoded(r).reg; }
uint32_t Value(const brisfell::sim::PcapRecord& r) { return Decoded(r).value; }

TEST_F(EnginePcapCli, RecordsBothDirectionsOfAReadInTimeOrder) {
  const std::string file = (dir_ / "read.pcap").string();
  std::string err;
  ASSERT_EQ(Cli("--sim --pcap '" + file + "' read 0x0100", err), 0) << err;
  uint32_t linkType = 0;
  const auto records = brisfell::sim::ReadPcapFile(file, &linkType);
  ASSERT_TRUE(records.has_value());
  EXPECT_EQ(linkType, brisfell::sim::pcap::kLinkTypeEthernet);

  int hellos = 0, helloReplies = 0, gets = 0, getReplies = 0;
  for (size_t i = 0; i < records->size(); ++i) {
    const auto& r = (*records)[i];
    ASSERT_TRUE(brisfell::DecodeFrame(r.bytes.data(), r.bytes.size())) << "record " << i << " is RRCP";
    // Sent frames and received ones are stamped on the same clock.
    if (i > 0) {
      EXPECT_GE(r.timestampUs, (*records)[i - 1].timestampUs) << "record " << i;
    }
    switch (Opcode(r)) {
      case brisfell::rrcp::kOpHello: ++hellos; break;
      case brisfell::rrcp::kOpHelloReply: ++helloReplies; break;
      case brisfell::rrcp::kOpGet: gets += Register(r) == 0x0100; break;
      case brisfell::rrcp::kOpGetReply: getReplies += Register(r) == 0x0100; break;
      default: break;
    }
  }
  // A fresh database: only the broadcast hello, repeated against a lost frame, and each of the
  // five switches of the built-in scenario answering every one.
  EXPECT_EQ(hellos, brisfell::kBroadcastHellos);
  EXPECT_EQ(helloReplies, 5 * brisfell::kBroadcastHellos);
  EXPECT_EQ(gets, 1);
  EXPECT_EQ(getReplies, 1);
  // The get comes before its reply.
  EXPECT_EQ(Opcode(records->back()), brisfell::rrcp::kOpGetReply);
}

TEST_F(EnginePcapCli, RecordsTheSetFrameOfAWrite) {
  const std::string file = (dir_ / "write.pcap").string();
  std::string err;
  ASSERT_EQ(Cli("--sim --pcap '" + file + "' write 0x0608 0xBEEF", err), 0) << err;
  const auto records = brisfell::sim::ReadPcapFile(file);
  ASSERT_TRUE(records.has_value());
  // Discovery's EEPROM look-ups write the EEPROM control register; the command writes 0x0608.
  int sets = 0;
  for (const auto& r : *records) {
    if (Opcode(r) != brisfell::rrcp::kOpSet || Register(r) == 0x0217) continue;
    ++sets;
    EXPECT_EQ(Register(r), 0x0608);
    EXPECT_EQ(Value(r), 0xBEEFu);
  }
  EXPECT_EQ(sets, 1);
}

TEST_F(EnginePcapCli, AFileThatCannotBeWrittenFailsBeforeAnythingIsSent) {
  std::string err;
  EXPECT_EQ(Cli("--sim --pcap '" + (dir_ / "missing" / "x.pcap").string() + "' read 0x0100", err), 1);
  EXPECT_NE(err.find("cannot record to"), std::string::npos) << err;
  EXPECT_FALSE(fs::exists(dir_ / "qswrec.dat"));  // no discovery ran
}

}  // namespace
