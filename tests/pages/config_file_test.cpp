// The configuration file format: what a save writes, what a load accepts, and that no input,
// however broken, makes the parser read outside the bytes it was given.
#include "pages/system/config_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "engine/byte_order.h"
#include "support/sim_fixture.h"

namespace brisfell::testing {
namespace {

const Mac kMac = {0x02, 0x0B, 0xF1, 0x24, 0x00, 0x01};

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) { StoreLe32(b.data() + at, v); }
uint32_t Get32(const std::vector<uint8_t>& b, size_t at) { return LoadLe32(b.data() + at); }

// A header with the given data area at `offset`, the checksum its real byte sum unless given.
std::vector<uint8_t> FileWith(const std::vector<uint8_t>& data, uint32_t offset = 48, uint32_t length = UINT32_MAX,
                              std::optional<uint32_t> checksum = std::nullopt) {
  std::vector<uint8_t> b(std::max<size_t>(48, offset + data.size()), 0);
  std::memcpy(b.data(), "Ardune QSW File", 15);
  std::memcpy(b.data() + 16, kMac.data(), 6);
  if (!data.empty()) std::memcpy(b.data() + offset, data.data(), data.size());
  Put32(b, 24, offset);
  Put32(b, 28, length == UINT32_MAX ? static_cast<uint32_t>(data.size()) : length);
  Put32(b, 32, checksum ? *checksum : ByteSum(data.data(), data.size()));
  return b;
}

std::vector<uint8_t> Entries(int count, uint32_t firstReg = 0x0200) {
  std::vector<uint8_t> d(16 * static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    Put32(d, 16 * i, firstReg + i);
    Put32(d, 16 * i + 4, 0x1234u & 0x0FFF);
    Put32(d, 16 * i + 8, 0x0FFF);
    Put32(d, 16 * i + 12, 0x0555);
  }
  return d;
}

// A bare 48-byte header that claims a data area it may not have.
std::vector<uint8_t> Header(uint32_t offset, uint32_t length, uint32_t checksum = 0) {
  std::vector<uint8_t> b = FileWith({});
  Put32(b, 24, offset);
  Put32(b, 28, length);
  Put32(b, 32, checksum);
  return b;
}

ConfigParse Parse(const std::vector<uint8_t>& b) { return ParseConfigFile(b.data(), b.size()); }

struct ModelSize {
  ProfileKind kind;
  size_t entries;
  size_t fileSize;
};

TEST(ConfigFileFormat, SavedFileOfEachModelRoundTrips) {
  for (const ModelSize& m : {ModelSize{ProfileKind::Port16, 113, 1856}, ModelSize{ProfileKind::Port24, 170, 2768},
                             ModelSize{ProfileKind::Generic, 164, 2672}}) {
    std::vector<ConfigEntry> rows = BuildFactoryDefaultList(m.kind);
    for (size_t i = 0; i < rows.size(); ++i) rows[i].value = static_cast<uint32_t>(0x9E37 * (i + 1)) & rows[i].mask;
    const std::vector<uint8_t> bytes = EncodeConfigFile(kMac, rows);
    ASSERT_EQ(bytes.size(), m.fileSize);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data())), "Ardune QSW File");
    EXPECT_EQ(Get32(bytes, 24), 48u);
    EXPECT_EQ(Get32(bytes, 28), m.fileSize - 48);
    for (size_t at : {22u, 23u})
      EXPECT_EQ(bytes[at], 0);
    for (size_t at = 36; at < 48; ++at) EXPECT_EQ(bytes[at], 0) << at;
    // Entry i is row i, the four columns in order.
    EXPECT_EQ(Get32(bytes, 48 + 16 * 5 + 0), rows[5].reg);
    EXPECT_EQ(Get32(bytes, 48 + 16 * 5 + 4), rows[5].value);
    EXPECT_EQ(Get32(bytes, 48 + 16 * 5 + 8), rows[5].mask);
    EXPECT_EQ(Get32(bytes, 48 + 16 * 5 + 12), rows[5].factoryDefault);

    const ConfigParse p = Parse(bytes);
    ASSERT_TRUE(p.file) << p.problem;
    EXPECT_EQ(p.file->header.mac, kMac);
    ASSERT_EQ(p.file->entries.size(), m.entries);
    for (size_t i = 0; i < rows.size(); ++i) {
      EXPECT_EQ(p.file->entries[i].reg, rows[i].reg);
      EXPECT_EQ(p.file->entries[i].value, rows[i].value);
      EXPECT_EQ(p.file->entries[i].mask, rows[i].mask);
      EXPECT_EQ(p.file->entries[i].factoryDefault, rows[i].factoryDefault);
    }
  }
}

TEST(ConfigFileFormat, WhatALoadAcceptsAndRefuses) {
  auto withMagic = [](const char* magic) {
    auto b = FileWith(Entries(2));
    std::memset(b.data(), 0, 16);
    std::memcpy(b.data(), magic, std::strlen(magic));
    return b;
  };
  auto shortBy = [](size_t n) {
    auto b = FileWith(Entries(3));
    b.resize(b.size() - n);
    return b;
  };
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    bool accepted;
    size_t entries;
  };
  std::vector<uint8_t> sixteenMagic = withMagic("Ardune QSW File");
  sixteenMagic[15] = 'X';  // the text runs on past the magic
  const std::vector<Case> cases = {
      {"4096 bytes of data", FileWith(Entries(256)), true, 256},
      {"no data, checksum 0", FileWith({}), true, 0},
      {"data at offset 100", FileWith(Entries(4), 100), true, 4},
      {"data at offset 0, inside the header", FileWith({}, 0), true, 0},
      {"data length 4097", FileWith(Entries(257), 48, 4097), false, 0},
      {"data length 4112", FileWith(Entries(257)), false, 0},
      {"data length 24", FileWith(Entries(2), 48, 24), false, 0},
      {"checksum off by one", FileWith(Entries(2), 48, UINT32_MAX, ByteSum(Entries(2).data(), 32) + 1), false, 0},
      {"checksum 0 over data", FileWith(Entries(1), 48, UINT32_MAX, 0u), false, 0},
      {"other magic", withMagic("Ardune QSW Filf"), false, 0},
      {"magic without its zero byte", sixteenMagic, false, 0},
      {"lower-case magic", withMagic("ardune qsw file"), false, 0},
      {"last data byte missing", shortBy(1), false, 0},
      {"last entry missing", shortBy(16), false, 0},
      {"header only 47 bytes", [] {
         auto b = FileWith({});
         b.resize(47);
         return b;
       }(), false, 0},
      {"empty file", {}, false, 0},
      {"no data, offset at the end", Header(48, 0), true, 0},
      {"no data, offset past the end", Header(49, 0), false, 0},
      {"data past the end", Header(48, 16), false, 0},
      {"offset near 4 GB", Header(0xFFFFFFF0u, 32), false, 0},
  };
  for (const Case& c : cases) {
    const ConfigParse p = Parse(c.bytes);
    EXPECT_EQ(p.file.has_value(), c.accepted) << c.what << ": " << p.problem;
    EXPECT_EQ(p.problem.empty(), c.accepted) << c.what;
    if (p.file) {
      EXPECT_EQ(p.file->entries.size(), c.entries) << c.what;
    }
  }
}

// Random buffers, truncated and damaged saves: the parser must never read outside the buffer
// (the sanitizers watch), and whatever it accepts must hold together.
TEST(ConfigFileFormat, ParserSurvivesRandomAndDamagedInput) {
  std::mt19937 rng(20240613);
  auto check = [](const std::vector<uint8_t>& b, const char* what) {
    // A copy of exactly the right size, so that any read past the end is a heap overflow.
    std::unique_ptr<uint8_t[]> exact(new uint8_t[b.size() + 1]);
    if (!b.empty()) std::memcpy(exact.get(), b.data(), b.size());
    const ConfigParse p = ParseConfigFile(exact.get(), b.size());
    if (!p.file) {
      EXPECT_FALSE(p.problem.empty()) << what;
      return false;
    }
    const ConfigHeader& h = p.file->header;
    EXPECT_LE(h.dataLength, 4096u) << what;
    EXPECT_EQ(h.dataLength % 16, 0u) << what;
    EXPECT_LE(static_cast<uint64_t>(h.dataOffset) + h.dataLength, b.size()) << what;
    EXPECT_EQ(p.file->entries.size(), h.dataLength / 16) << what;
    EXPECT_EQ(ByteSum(b.data() + h.dataOffset, h.dataLength), h.checksum) << what;
    return true;
  };

  std::vector<ConfigEntry> rows = BuildFactoryDefaultList(ProfileKind::Port24);
  const std::vector<uint8_t> good = EncodeConfigFile(kMac, rows);
  ASSERT_TRUE(check(good, "the save itself"));
  for (size_t n = 0; n < good.size(); ++n)
    EXPECT_FALSE(check(std::vector<uint8_t>(good.begin(), good.begin() + n), "truncated")) << n;

  int accepted = 0;
  for (int i = 0; i < 3000; ++i) {
    std::vector<uint8_t> b = good;
    // One to four bytes anywhere changed, or the length field pointed somewhere random.
    const int changes = 1 + static_cast<int>(rng() % 4);
    for (int c = 0; c < changes; ++c) b[rng() % b.size()] ^= static_cast<uint8_t>(1 + rng() % 255);
    if (i % 3 == 0) Put32(b, 24 + 4 * (rng() % 3), static_cast<uint32_t>(rng()));
    accepted += check(b, "damaged");
    // A change inside the data area alone always breaks the byte sum.
    std::vector<uint8_t> d = good;
    d[48 + rng() % (d.size() - 48)] ^= static_cast<uint8_t>(1 + rng() % 255);
    EXPECT_FALSE(check(d, "one data byte changed"));
  }
  EXPECT_GT(accepted, 0) << "changes to the reserved bytes and the MAC are accepted";

  for (int i = 0; i < 3000; ++i) {
    std::vector<uint8_t> b(rng() % 200);
    for (auto& x : b) x = static_cast<uint8_t>(rng());
    if (b.size() >= 16 && i % 2) std::memcpy(b.data(), "Ardune QSW File", 16);
    if (b.size() >= 36 && i % 4 == 1) {
      Put32(b, 24, static_cast<uint32_t>(rng() % 220));
      Put32(b, 28, static_cast<uint32_t>(16 * (rng() % 12)));
    }
    check(b, "random");
  }
}

TEST(ConfigFileFormat, ReadingFromDiskTakesOnlyTheHeaderAndTheDataArea) {
  SimFixture sim;  // for its temporary folder
  const std::string path = sim.tempDir + "/far.qsw";
  std::vector<uint8_t> bytes = FileWith(Entries(3), 5000);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
  std::string error;
  auto p = ReadConfigFile(path, error);
  ASSERT_TRUE(p && p->file) << (p ? p->problem : error);
  EXPECT_EQ(p->file->entries.size(), 3u);

  bytes.resize(bytes.size() - 1);
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
  p = ReadConfigFile(path, error);
  ASSERT_TRUE(p);
  EXPECT_FALSE(p->file);
  EXPECT_FALSE(ReadConfigFile(sim.tempDir + "/missing.qsw", error));
  EXPECT_EQ(error, sim.tempDir + "/missing.qsw: No such file or directory");
  EXPECT_FALSE(ReadConfigFile(sim.tempDir, error)) << "a folder is not a file";
  EXPECT_EQ(error, sim.tempDir + ": is a directory, not a regular file");
}

TEST(ConfigFileFormat, EveryListedRegisterIsDescribed) {
  for (ProfileKind kind : {ProfileKind::Port16, ProfileKind::Port24, ProfileKind::Generic})
    for (const auto& row : BuildFactoryDefaultList(kind))
      EXPECT_FALSE(RegisterCaption(static_cast<uint16_t>(row.reg)).empty()) << std::hex << row.reg;
  EXPECT_EQ(RegisterCaption(0x0320), "VlanTable entry 1, members, chip ports 0-15");
  EXPECT_EQ(RegisterCaption(0x037C), "VlanTable entry 31, VLAN ID");
  EXPECT_EQ(RegisterCaption(0x060B), "PortAdvertise, chip ports 2 and 3");
  EXPECT_EQ(RegisterCaption(0x0555), "");
  EXPECT_EQ(RegisterCaption(0x0217), "EEPROM control") << "in no list, but known";
  EXPECT_EQ(ConfigRegisterFields(0x0200), std::vector<std::string>{"Loop Port Detection"});
  EXPECT_EQ(ConfigRegisterFields(0x0402), std::vector<std::string>{"Force Set High Priority Port"});
  EXPECT_TRUE(ConfigRegisterFields(0x060A).empty());
}

}  // namespace
}  // namespace brisfell::testing
