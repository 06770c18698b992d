// The Configurations page's actions on the emulated segment: configuration files saved and
// loaded, the factory default, and the settings saved into the switch's EEPROM.
#include "pages/system/configurations_logic.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "ports_fixture.h"

namespace brisfell::testing {
namespace {

constexpr uint32_t kCore24 = 0x6B2D7002;    // 02:0B:F1:24:00:01
constexpr uint32_t kAccessA16 = 0x6B2D7003;  // 02:0B:F1:16:00:03
constexpr uint32_t kAccessB16 = 0x6B2D7004;  // 02:0B:F1:16:00:04, keeps its key in EEPROM
constexpr uint32_t kGig26 = 0x4C4A2601;     // 02:0B:F1:26:00:01

struct ConfigurationsTest : PortsTest {
  std::mt19937 rng{1313};

  std::string Path(const std::string& name) const { return sim.tempDir + "/" + name; }
  SaveFileResult SaveTo(const std::string& path) {
    prompt.fileNames.push_back(path);
    return SaveConfigToFile(ctx);
  }
  LoadFileResult LoadFrom(const std::string& path) {
    prompt.fileNames.push_back(path);
    return LoadConfigFromFile(ctx);
  }
  static std::vector<uint8_t> Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static void Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  std::vector<std::string> FilesInFolder() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(sim.tempDir)) names.push_back(e.path().filename().string());
    return names;
  }
  // Random values in the given registers, except where they would cut the station off: the
  // management-authorisation registers, the key, and the remote-access bit.
  void Scramble(sim::EmulatedSwitch& sw, const std::vector<uint16_t>& regs) {
    for (uint16_t r : regs) {
      if (r == 0x0201 || r == 0x0202 || r == 0x0209) continue;
      uint32_t v = rng() & 0xFFFF;
      if (r == 0x0200) v &= ~1u;
      sw.SetRegister(r, v);
    }
  }
  std::vector<uint16_t> ListRegisters() const {
    std::vector<uint16_t> regs;
    for (const auto& row : *Record().factoryDefaults) regs.push_back(static_cast<uint16_t>(row.reg));
    return regs;
  }
  std::vector<uint16_t> MapRegisters() const {
    std::vector<uint16_t> regs;
    for (const auto& row : *Record().eepromMap) regs.push_back(static_cast<uint16_t>(row.reg));
    return regs;
  }
  static uint32_t Word(const sim::EmulatedSwitch& sw, uint32_t address) {
    return sw.EepromByte(static_cast<uint16_t>(address)) | sw.EepromByte(static_cast<uint16_t>(address + 1)) << 8;
  }
  void SendReset(uint32_t kind) {
    AdapterIo io(sim.engine);
    sim.engine.WriteRegister(ctx.Switch(), 0x0000, kind);
  }
};

// ---------------------------------------------------------------- Save to File

struct SavedModel {
  uint32_t vendor;
  ProfileKind kind;
  const char* proposedName;
  size_t fileSize;
};

TEST_F(ConfigurationsTest, SaveWritesTheModelsRowsWithThisSwitchsValues) {
  for (const SavedModel& m : {SavedModel{kCore24, ProfileKind::Port24, "adn_02_0B_F1_24_00_01.qsw", 2768},
                              SavedModel{kAccessA16, ProfileKind::Port16, "adn_02_0B_F1_16_00_03.qsw", 1856},
                              SavedModel{kGig26, ProfileKind::Generic, "adn_02_0B_F1_26_00_01.qsw", 2672}}) {
    SCOPED_TRACE(m.proposedName);
    prompt.shown.clear();
    auto& sw = UseVendor(m.vendor);
    Scramble(sw, ListRegisters());
    const std::string path = Path(m.proposedName);
    const SaveFileResult saved = SaveTo(path);
    ASSERT_EQ(saved.outcome, ConfigOutcome::Done);
    ASSERT_EQ(prompt.shown.size(), 1u) << "the dialog and no message";
    EXPECT_EQ(prompt.shown[0].kind, ScriptedPrompt::Shown::Kind::SaveDialog);
    EXPECT_EQ(prompt.shown[0].file.proposedName, m.proposedName);
    EXPECT_EQ(prompt.shown[0].file.defaultExtension, "qsw");
    EXPECT_EQ(prompt.shown[0].file.filter, "QSW Files (*.qsw)|*.qsw|All Files (*.*)|*.*||");

    const std::vector<uint8_t> bytes = Bytes(path);
    EXPECT_EQ(bytes.size(), m.fileSize);
    const ConfigParse parse = ParseConfigFile(bytes.data(), bytes.size());
    ASSERT_TRUE(parse.file) << parse.problem;
    EXPECT_EQ(parse.file->header.mac, sw.MacAddress());
    const FactoryDefaultList model = BuildFactoryDefaultList(m.kind);
    ASSERT_EQ(parse.file->entries.size(), model.size());
    std::vector<uint16_t> expectedReads;
    for (size_t i = 0; i < model.size(); ++i) {
      const ConfigEntry& e = parse.file->entries[i];
      EXPECT_EQ(e.reg, model[i].reg);
      EXPECT_EQ(e.mask, model[i].mask);
      EXPECT_EQ(e.factoryDefault, model[i].factoryDefault);
      EXPECT_EQ(e.value, sw.Register(static_cast<uint16_t>(e.reg)) & e.mask) << std::hex << e.reg;
      expectedReads.push_back(static_cast<uint16_t>(model[i].reg));
    }
    EXPECT_EQ(ReadOrder(sw), expectedReads);
    EXPECT_TRUE(sw.WriteLog().empty());
    EXPECT_FALSE(sim.engine.IoOpen());

    // A second save of the unchanged switch gives the same bytes.
    const std::string again = Path(std::string("again-") + m.proposedName);
    ASSERT_EQ(SaveTo(again).outcome, ConfigOutcome::Done);
    EXPECT_EQ(Bytes(again), bytes);
    // The model's table stays what it was: every switch of the model shares it.
    for (const auto& row : *Record().factoryDefaults) EXPECT_EQ(row.value, 0u);
  }
  EXPECT_EQ(FilesInFolder().size(), 6u) << "no temporary file is left behind";
}

TEST_F(ConfigurationsTest, TwoSwitchesOfOneModelEachGetTheirOwnFile) {
  auto& a = UseVendor(kAccessA16);
  Scramble(a, ListRegisters());
  ASSERT_EQ(SaveTo(Path("a.qsw")).outcome, ConfigOutcome::Done);
  const std::vector<uint8_t> fileA = Bytes(Path("a.qsw"));
  auto& b = UseVendor(kAccessB16);
  Scramble(b, ListRegisters());
  const SaveFileResult savedB = SaveTo(Path("b.qsw"));
  ASSERT_EQ(savedB.outcome, ConfigOutcome::Done);

  EXPECT_EQ(Bytes(Path("a.qsw")), fileA);
  for (auto [sw, path] : {std::pair{&a, Path("a.qsw")}, std::pair{&b, Path("b.qsw")}}) {
    const std::vector<uint8_t> bytes = Bytes(path);
    const ConfigParse p = ParseConfigFile(bytes.data(), bytes.size());
    ASSERT_TRUE(p.file);
    EXPECT_EQ(p.file->header.mac, sw->MacAddress());
    int differing = 0;
    for (const ConfigEntry& e : p.file->entries) {
      EXPECT_EQ(e.value, sw->Register(static_cast<uint16_t>(e.reg)) & e.mask) << path << std::hex << e.reg;
      differing += (a.Register(static_cast<uint16_t>(e.reg)) & e.mask) != (b.Register(static_cast<uint16_t>(e.reg)) & e.mask);
    }
    EXPECT_GT(differing, 50) << "the two switches were set apart";
  }
  // The rows the save returned are the ones in b's file.
  for (const ConfigEntry& row : savedB.rows) EXPECT_EQ(row.value, b.Register(static_cast<uint16_t>(row.reg)) & row.mask);
}

TEST_F(ConfigurationsTest, AFailedSaveLeavesThePreviousFileAsItWas) {
  auto& sw = UseVendor(kCore24);
  const std::string path = Path("kept.qsw");
  const std::vector<uint8_t> old = {'o', 'l', 'd'};
  Write(path, old);
  sw.FailReads(0x0400, -1);  // well into the list
  EXPECT_EQ(SaveTo(path).outcome, ConfigOutcome::ReadFailed);
  EXPECT_EQ(prompt.MessageTexts(), std::vector<std::string>{"Get register failed!"});
  EXPECT_EQ(prompt.shown.back().title, "Error");
  EXPECT_EQ(prompt.shown.back().icon, PromptIcon::Error);
  EXPECT_GT(sw.ReadLogWithoutReadBacks().size(), 100u);
  EXPECT_EQ(Bytes(path), old);
  EXPECT_EQ(FilesInFolder(), std::vector<std::string>{"kept.qsw"});
  EXPECT_FALSE(sim.engine.IoOpen());

  // The same save without the loss replaces the file whole.
  sw.ClearFailedReads();
  ASSERT_EQ(SaveTo(path).outcome, ConfigOutcome::Done);
  EXPECT_EQ(Bytes(path).size(), 2768u);
  EXPECT_EQ(FilesInFolder(), std::vector<std::string>{"kept.qsw"});
}

TEST_F(ConfigurationsTest, SaveThatCannotCreateItsFileReadsNothing) {
  auto& sw = UseVendor(kCore24);
  for (const std::string& path : {Path("no-such-folder/x.qsw"), sim.tempDir}) {
    prompt.shown.clear();
    EXPECT_EQ(SaveTo(path).outcome, ConfigOutcome::OpenFileFailed) << path;
    ASSERT_EQ(prompt.MessageTexts().size(), 1u);
    EXPECT_EQ(prompt.MessageTexts()[0].rfind("Open file failed!\n" + path + ": ", 0), 0u) << prompt.MessageTexts()[0];
    EXPECT_EQ(prompt.shown.back().title, "Error");
  }
  prompt.shown.clear();
  EXPECT_EQ(SaveConfigToFile(ctx).outcome, ConfigOutcome::Cancelled);  // no name: the dialog was cancelled
  EXPECT_EQ(prompt.shown.size(), 1u);
  EXPECT_TRUE(sw.ReadLogWithoutReadBacks().empty());
  EXPECT_TRUE(FilesInFolder().empty());
}

// A link planted where the operator saves (a shared folder) would have the save replace the
// file it leads to: refused before a register is read, the link and its file left as they are.
TEST_F(ConfigurationsTest, SaveOntoALinkIsRefused) {
  auto& sw = UseVendor(kCore24);
  std::filesystem::create_directory(Path("real"));
  Write(Path("real/core.qsw"), {'o', 'l', 'd'});
  std::filesystem::create_symlink("real/core.qsw", Path("link.qsw"));
  const SaveFileResult r = SaveTo(Path("link.qsw"));
  EXPECT_EQ(r.outcome, ConfigOutcome::OpenFileFailed);
  EXPECT_EQ(r.problem, Path("link.qsw") + ": is a symbolic link, not a regular file; left as it is");
  EXPECT_EQ(prompt.MessageTexts(), std::vector<std::string>{"Open file failed!\n" + r.problem});
  EXPECT_TRUE(std::filesystem::is_symlink(Path("link.qsw")));
  EXPECT_EQ(Bytes(Path("real/core.qsw")), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_TRUE(sw.ReadLog().empty());
}

// ---------------------------------------------------------------- Load from File

TEST_F(ConfigurationsTest, LoadPutsBackTheSavedBitsAndKeepsTheOthers) {
  for (uint32_t vendor : {kCore24, kAccessB16, kGig26}) {
    SCOPED_TRACE(vendor);
    auto& sw = UseVendor(vendor);
    Scramble(sw, ListRegisters());
    const std::string path = Path(Format("%08X.qsw", vendor));
    ASSERT_EQ(SaveTo(path).outcome, ConfigOutcome::Done);
    std::map<uint16_t, uint32_t> saved;
    for (uint16_t r : ListRegisters()) saved[r] = sw.Register(r);
    Scramble(sw, ListRegisters());
    std::map<uint16_t, uint32_t> atLoad;
    for (uint16_t r : ListRegisters()) atLoad[r] = sw.Register(r);
    sw.ClearLog();
    prompt.shown.clear();

    const LoadFileResult loaded = LoadFrom(path);
    ASSERT_EQ(loaded.outcome, ConfigOutcome::Done);
    EXPECT_EQ(prompt.shown.size(), 1u) << "the dialog only: same switch, no question, no message";
    EXPECT_EQ(loaded.written, static_cast<int>(saved.size()));
    for (const auto& row : *Record().factoryDefaults) {
      const uint16_t r = static_cast<uint16_t>(row.reg);
      EXPECT_EQ(sw.Register(r) & row.mask, saved[r] & row.mask) << std::hex << r;
      EXPECT_EQ(sw.Register(r) & ~row.mask, atLoad[r] & ~row.mask) << std::hex << r;
    }
    std::vector<RegisterChange> changed;
    for (uint16_t r : ListRegisters())
      if (sw.Register(r) != atLoad[r]) changed.push_back({r, atLoad[r], sw.Register(r)});
    EXPECT_EQ(loaded.changed, changed);
    EXPECT_GT(changed.size(), 50u);
    ASSERT_FALSE(sw.WriteLog().empty());
    EXPECT_EQ(sw.WriteLog().back(), (sim::RegisterWrite{0x0000, 1}));
    EXPECT_EQ(sw.WritesTo(0x0000), std::vector<uint32_t>{1});
    EXPECT_EQ(sw.SoftResets(), 1);
    EXPECT_FALSE(sim.engine.IoOpen());
  }
}

TEST_F(ConfigurationsTest, LoadWritesWhateverEntriesAValidFileHolds) {
  auto& sw = UseVendor(kCore24);
  sw.SetRegister(0x0700, 0xF000);
  sw.SetRegister(0x0701, 0xA000);
  const Mac mac = sw.MacAddress();
  // 256 entries alternating between two registers; the last of each wins.
  std::vector<ConfigEntry> full;
  for (uint32_t i = 0; i < 256; ++i) full.push_back({0x0700 + (i & 1), i, 0x0FFF, 0x0555});
  std::vector<uint8_t> offset80 = EncodeConfigFile(mac, {{0x0700, 0x0123, 0x0FFF, 0}, {0xABCD0701, 0x0FF, 0x00F0, 0}});
  offset80.insert(offset80.begin() + 48, 32, 0xEE);  // data moved back by 32 bytes
  offset80[24] = 80;
  // A saved value with bits outside its mask: only the masked bits are taken.
  const std::vector<uint8_t> widerValue = EncodeConfigFile(mac, {{0x0700, 0xFFFF, 0x00FF, 0}});

  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    int written;
    uint32_t r700, r701;
  };
  const std::vector<Case> cases = {
      {"no entries", EncodeConfigFile(mac, {}), 0, 0xF000, 0xA000},
      {"4096 bytes of entries", EncodeConfigFile(mac, full), 256, 0xF0FE, 0xA0FF},
      {"data at offset 80", offset80, 2, 0xF123, 0xA0F0},
      {"value wider than its mask", widerValue, 1, 0xF0FF, 0xA000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sw.SetRegister(0x0700, 0xF000);
    sw.SetRegister(0x0701, 0xA000);
    sw.ClearLog();
    prompt.shown.clear();
    Write(Path("made.qsw"), c.bytes);
    const LoadFileResult loaded = LoadFrom(Path("made.qsw"));
    ASSERT_EQ(loaded.outcome, ConfigOutcome::Done) << loaded.problem;
    EXPECT_EQ(loaded.written, c.written);
    EXPECT_EQ(sw.WriteLog().size(), static_cast<size_t>(c.written) + 1);
    EXPECT_EQ(sw.WriteLog().back(), (sim::RegisterWrite{0x0000, 1}));
    EXPECT_EQ(sw.Register(0x0700), c.r700);
    EXPECT_EQ(sw.Register(0x0701), c.r701);
    EXPECT_EQ(prompt.shown.size(), 1u);
  }
}

TEST_F(ConfigurationsTest, LoadRefusesABrokenFileBeforeTouchingTheSwitch) {
  auto& sw = UseVendor(kCore24);
  ASSERT_EQ(SaveTo(Path("good.qsw")).outcome, ConfigOutcome::Done);
  const std::vector<uint8_t> good = Bytes(Path("good.qsw"));
  auto changed = [&](size_t at, uint8_t v) {
    auto b = good;
    b[at] = v;
    return b;
  };
  auto cut = [&](size_t size) { return std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(size)); };
  const std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
      {"magic", changed(0, 'a')},
      {"length not a multiple of 16", changed(28, 0xC8)},
      {"one data byte", changed(100, static_cast<uint8_t>(good[100] ^ 0x40))},
      {"last byte missing", cut(good.size() - 1)},
      {"data offset past the end", changed(25, 0x20)},
      {"no bytes", {}},
  };
  for (const auto& [what, bytes] : cases) {
    SCOPED_TRACE(what);
    sw.ClearLog();
    prompt.shown.clear();
    Write(Path("bad.qsw"), bytes);
    EXPECT_EQ(LoadFrom(Path("bad.qsw")).outcome, ConfigOutcome::InvalidFile);
    EXPECT_EQ(prompt.MessageTexts(), std::vector<std::string>{"Invalid file format!"});
    EXPECT_EQ(prompt.shown.back().title, "Error");
    EXPECT_EQ(prompt.shown.back().icon, PromptIcon::Error);
    EXPECT_TRUE(sw.WriteLog().empty());
    EXPECT_TRUE(sw.ReadLogWithoutReadBacks().empty());
  }
  prompt.shown.clear();
  EXPECT_EQ(LoadFrom(Path("missing.qsw")).outcome, ConfigOutcome::OpenFileFailed);
  EXPECT_EQ(prompt.MessageTexts(),
            std::vector<std::string>{"Open file failed!\n" + Path("missing.qsw") + ": No such file or directory"});
  EXPECT_EQ(prompt.shown[0].file.proposedName, "") << "the open dialog proposes no name";
  EXPECT_EQ(LoadConfigFromFile(ctx).outcome, ConfigOutcome::Cancelled);
  EXPECT_TRUE(sw.WriteLog().empty());
}

TEST_F(ConfigurationsTest, AFileFromAnotherSwitchIsLoadedOnlyAfterYes) {
  auto& a = UseVendor(kAccessA16);
  Scramble(a, ListRegisters());
  ASSERT_EQ(SaveTo(Path("a.qsw")).outcome, ConfigOutcome::Done);
  auto& b = UseVendor(kAccessB16);
  prompt.shown.clear();

  EXPECT_EQ(LoadFrom(Path("a.qsw")).outcome, ConfigOutcome::Declined);
  ASSERT_EQ(prompt.QuestionTexts().size(), 1u);
  EXPECT_EQ(prompt.QuestionTexts()[0],
            "This configuration file was dumped from another Switch\n( 02-0B-F1-16-00-03 )\n"
            "Do you want to load/use same configuration on current Switch?\n( 02-0B-F1-16-00-04 )\n");
  EXPECT_EQ(prompt.shown.back().title, "MAC Address Mismatch");
  EXPECT_EQ(prompt.shown.back().icon, PromptIcon::Question);
  EXPECT_TRUE(b.WriteLog().empty());
  EXPECT_TRUE(b.ReadLogWithoutReadBacks().empty());

  prompt.answers.push_back(true);
  EXPECT_EQ(LoadFrom(Path("a.qsw")).outcome, ConfigOutcome::Done);
  for (const auto& row : *Record().factoryDefaults) {
    const uint16_t r = static_cast<uint16_t>(row.reg);
    EXPECT_EQ(b.Register(r) & row.mask, a.Register(r) & row.mask) << std::hex << r;
  }
  EXPECT_EQ(b.WritesTo(0x0000), std::vector<uint32_t>{1});
}

TEST_F(ConfigurationsTest, ARegisterThatCannotBeReadIsNotWrittenByTheLoad) {
  auto& sw = UseVendor(kCore24);
  ASSERT_EQ(SaveTo(Path("core.qsw")).outcome, ConfigOutcome::Done);

  sw.SetRegister(0x0308, 0xFFFE);  // bit 0 is the file's; the rest would be lost with a guessed value
  sw.ClearLog();
  sw.FailReads(0x0308, -1);
  const LoadFileResult loaded = LoadFrom(Path("core.qsw"));
  EXPECT_EQ(loaded.outcome, ConfigOutcome::Done);
  EXPECT_EQ(loaded.unread, std::vector<uint16_t>{0x0308});
  EXPECT_EQ(loaded.written, loaded.entries - 1);
  EXPECT_FALSE(sw.WasWritten(0x0308));
  EXPECT_EQ(sw.Register(0x0308), 0xFFFEu);
  EXPECT_TRUE(sw.WasWritten(0x0307) && sw.WasWritten(0x0400)) << "the entries before and after are written";
  EXPECT_EQ(sw.WriteLog().back(), (sim::RegisterWrite{0x0000, 1}));
  EXPECT_TRUE(prompt.MessageTexts().empty()) << "the load reports no failed read";
}

// ---------------------------------------------------------------- EEPROM

TEST_F(ConfigurationsTest, SaveToHardwareAsksFirstExceptOnTheSwitchThatKeepsItsKeyInEeprom) {
  for (uint32_t vendor : {kCore24, kAccessA16, kAccessB16, 0x6B2D7001u}) {
    SCOPED_TRACE(vendor);
    auto& sw = UseVendor(vendor);
    Scramble(sw, MapRegisters());
    const auto eeprom = sw.Eeprom();
    const bool asks = vendor != kAccessB16;
    prompt.shown.clear();
    if (asks) {
      EXPECT_EQ(SaveToHardware(ctx).outcome, EepromOutcome::Declined);
      ASSERT_EQ(prompt.QuestionTexts().size(), 1u);
      EXPECT_EQ(prompt.QuestionTexts()[0],
                "Only the Trunking, Igmp, QoS, Home VLAN and Ports Properties\nconfigurations can be saved.\n"
                "VLAN settings other than Home VLAN are not saved.\nContinue?");
      EXPECT_EQ(prompt.shown[0].icon, PromptIcon::Warning);
      EXPECT_TRUE(sw.WriteLog().empty());
      EXPECT_TRUE(sw.ReadLogWithoutReadBacks().empty());
      EXPECT_EQ(sw.Eeprom(), eeprom);
      prompt.answers.push_back(true);
    }
    const EepromSaveResult saved = SaveToHardware(ctx);
    EXPECT_EQ(saved.outcome, EepromOutcome::Saved);
    EXPECT_EQ(prompt.QuestionTexts().size(), asks ? 2u : 0u);
    EXPECT_TRUE(prompt.MessageTexts().empty());
    EXPECT_EQ(saved.words, static_cast<int>(Record().eepromMap->size()));
    for (const auto& row : *Record().eepromMap)
      EXPECT_EQ(Word(sw, row.address), sw.Register(static_cast<uint16_t>(row.reg)) & row.mask) << std::hex << row.reg;
    EXPECT_FALSE(sw.WasWritten(0x0000)) << "no reset";
    EXPECT_FALSE(sim.engine.IoOpen());
  }
}

TEST_F(ConfigurationsTest, TwentySixPortSwitchesHaveNoSaveToHardware) {
  EXPECT_TRUE(SaveToHardwareOffered(16));
  EXPECT_TRUE(SaveToHardwareOffered(24));
  EXPECT_FALSE(SaveToHardwareOffered(26));
  auto& sw = UseVendor(kGig26);
  EXPECT_EQ(SaveToHardware(ctx).outcome, EepromOutcome::NotOffered);
  EXPECT_EQ(SaveToEeprom(ctx).outcome, EepromOutcome::NotOffered);
  EXPECT_TRUE(prompt.shown.empty());
  EXPECT_TRUE(sw.WriteLog().empty() && sw.ReadLogWithoutReadBacks().empty());
}

TEST_F(ConfigurationsTest, SaveToEepromWritesOnlyTheWordsThatDiffer) {
  for (uint32_t vendor : {kCore24, kAccessA16}) {
    SCOPED_TRACE(vendor);
    auto& sw = UseVendor(vendor);
    Scramble(sw, MapRegisters());
    EXPECT_GT(SaveToEeprom(ctx).wordsWritten, 0);
    const auto eeprom = sw.Eeprom();

    sw.ClearLog();
    const EepromSaveResult second = SaveToEeprom(ctx);
    EXPECT_EQ(second.outcome, EepromOutcome::Saved);
    EXPECT_EQ(second.wordsWritten, 0);
    EXPECT_FALSE(sw.WasWritten(0x0218)) << "no byte to write";
    for (uint32_t control : sw.WritesTo(0x0217)) EXPECT_TRUE(control & 0x0800) << "only read commands";
    EXPECT_EQ(sw.Eeprom(), eeprom);

    // One register changed: its word, both bytes, and nothing else.
    EepromImageRow row;
    for (const auto& r : *Record().eepromMap)
      if (r.reg == 0x0307) row = r;
    sw.SetRegister(static_cast<uint16_t>(row.reg), (sw.Register(static_cast<uint16_t>(row.reg)) ^ row.mask) & 0xFFFF);
    sw.ClearLog();
    EXPECT_EQ(SaveToEeprom(ctx).wordsWritten, 1);
    EXPECT_EQ(sw.WritesTo(0x0218).size(), 2u);
    EXPECT_EQ(Word(sw, row.address), sw.Register(static_cast<uint16_t>(row.reg)) & row.mask);
  }
}

TEST_F(ConfigurationsTest, HardwareResetAfterSaveToHardwareBringsBackTheSavedSettings) {
  for (uint32_t vendor : {kCore24, kAccessA16, kAccessB16}) {
    SCOPED_TRACE(vendor);
    auto& sw = UseVendor(vendor);
    Scramble(sw, MapRegisters());
    Scramble(sw, ListRegisters());
    prompt.answers.push_back(true);
    ASSERT_EQ(SaveToHardware(ctx).outcome, EepromOutcome::Saved);
    std::map<uint16_t, uint32_t> saved;
    for (const auto& row : *Record().eepromMap)
      saved[static_cast<uint16_t>(row.reg)] = sw.Register(static_cast<uint16_t>(row.reg)) & row.mask;
    Scramble(sw, MapRegisters());
    Scramble(sw, ListRegisters());

    SendReset(2);
    ASSERT_EQ(sw.HardwareResets(), 1);
    for (const auto& row : *Record().eepromMap)
      EXPECT_EQ(sw.Register(static_cast<uint16_t>(row.reg)) & row.mask, saved[static_cast<uint16_t>(row.reg)])
          << std::hex << row.reg;
    // What the EEPROM does not hold comes back as the power-on default.
    for (const auto& row : *Record().factoryDefaults)
      if (!saved.count(static_cast<uint16_t>(row.reg))) {
        EXPECT_EQ(sw.Register(static_cast<uint16_t>(row.reg)), row.factoryDefault) << std::hex << row.reg;
      }
    EXPECT_FALSE(sw.Muted());
  }
}

TEST_F(ConfigurationsTest, SaveToEepromStopsAtTheFirstFailureWithItsMessage) {
  struct Case {
    const char* text;
    EepromOutcome outcome;
    std::function<void(sim::EmulatedSwitch&)> fault;
  };
  const std::vector<Case> cases = {
      {"Get register failed!", EepromOutcome::RegisterReadFailed, [](auto& sw) { sw.SetMuted(true); }},
      {"Eeprom read failed", EepromOutcome::EepromReadFailed, [](auto& sw) { sw.FailNextEepromCommands(1 << 20); }},
      {"Eeprom write failed", EepromOutcome::EepromWriteFailed,
       [](auto& sw) {
         sw.SetRegister(0x0201, sw.Register(0x0201) ^ 0x8000);  // the first word of the map differs
         sw.SetEepromWriteProtected(true);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    prompt.shown.clear();
    auto& sw = UseVendor(kCore24);
    const auto eeprom = sw.Eeprom();
    c.fault(sw);
    const EepromSaveResult r = SaveToEeprom(ctx);
    sw.SetMuted(false);
    sw.FailNextEepromCommands(0);
    sw.SetEepromWriteProtected(false);
    EXPECT_EQ(r.outcome, c.outcome);
    EXPECT_EQ(r.failedRegister, 0x0201) << "the first row";
    EXPECT_EQ(prompt.MessageTexts(), std::vector<std::string>{c.text});
    EXPECT_EQ(prompt.shown.back().icon, PromptIcon::Error);
    EXPECT_EQ(sw.Eeprom(), eeprom);
    EXPECT_FALSE(sim.engine.IoOpen());
  }
}

// ---------------------------------------------------------------- Factory Default

TEST_F(ConfigurationsTest, FactoryDefaultWritesEveryDefaultAndMakesTheSwitchTakeThemUp) {
  for (uint32_t vendor : {kCore24, kAccessA16, kGig26}) {
    SCOPED_TRACE(vendor);
    auto& sw = UseVendor(vendor);
    Scramble(sw, ListRegisters());
    const bool big = Record().portCount > 24;
    std::vector<std::pair<int, int>> steps;
    const FactoryDefaultResult r = FactoryDefault(ctx, [&](int done, int total) { steps.emplace_back(done, total); });
    ASSERT_TRUE(r.ran);
    EXPECT_TRUE(prompt.shown.empty()) << "no question, no message";

    std::vector<sim::RegisterWrite> expected, settings;
    for (const auto& row : *Record().factoryDefaults)
      if (row.reg != 0x0616) expected.push_back({static_cast<uint16_t>(row.reg), row.factoryDefault});
    for (const auto& w : sw.WriteLog())
      if (w.reg != 0x0000 && w.reg != 0x0217 && w.reg != 0x0218) settings.push_back(w);
    EXPECT_EQ(settings, expected);
    EXPECT_EQ(r.registersWritten, static_cast<int>(expected.size()));
    EXPECT_FALSE(sw.WasWritten(0x0616));
    ASSERT_FALSE(sw.WriteLog().empty());
    if (big) {
      EXPECT_EQ(r.reset, ResetSent::Soft);
      EXPECT_EQ(sw.WriteLog().back(), (sim::RegisterWrite{0x0000, 1}));
      EXPECT_FALSE(sw.WasWritten(0x0217)) << "the EEPROM is not touched";
      EXPECT_EQ(r.registersWritten, 163);
    } else {
      EXPECT_EQ(r.reset, ResetSent::Hardware);
      EXPECT_EQ(r.eeprom.outcome, EepromOutcome::Saved);
      EXPECT_EQ(sw.WriteLog().back(), (sim::RegisterWrite{0x0000, 2}));
      EXPECT_EQ(sw.HardwareResets(), 1);
      // After the reset from EEPROM the switch holds the defaults.
      for (const auto& row : *Record().factoryDefaults)
        EXPECT_EQ(sw.Register(static_cast<uint16_t>(row.reg)), row.factoryDefault) << std::hex << row.reg;
    }
    EXPECT_EQ(sw.WritesTo(0x0000).size(), 1u);
    // Progress counts every step once, up to its total.
    ASSERT_FALSE(steps.empty());
    for (size_t i = 0; i < steps.size(); ++i) {
      EXPECT_EQ(steps[i].first, static_cast<int>(i)) << "from 0, one step at a time";
      EXPECT_EQ(steps[i].second, steps.back().first);
    }
    EXPECT_EQ(steps.back().first,
              r.registersWritten + (big ? 0 : static_cast<int>(Record().eepromMap->size())));
    EXPECT_FALSE(sim.engine.IoOpen());
  }
}

TEST_F(ConfigurationsTest, FactoryDefaultWhoseEepromReadFailsSendsNoReset) {
  auto& sw = UseVendor(kCore24);
  Scramble(sw, ListRegisters());
  sw.FailNextEepromCommands(1 << 20);
  const FactoryDefaultResult r = FactoryDefault(ctx);
  sw.FailNextEepromCommands(0);
  EXPECT_EQ(r.eeprom.outcome, EepromOutcome::EepromReadFailed);
  EXPECT_EQ(r.reset, ResetSent::None);
  EXPECT_EQ(prompt.MessageTexts(), std::vector<std::string>{"Eeprom read failed"});
  EXPECT_FALSE(sw.WasWritten(0x0000));
  EXPECT_EQ(sw.HardwareResets(), 0);
  for (const auto& row : *Record().factoryDefaults)
    EXPECT_EQ(sw.Register(static_cast<uint16_t>(row.reg)), row.factoryDefault) << "the defaults stay in the registers";
}

// ---------------------------------------------------------------- the rest

TEST_F(ConfigurationsTest, DiffNamesOnlyTheRegistersWhoseMaskedBitsDiffer) {
  auto& sw = UseVendor(kCore24);
  ASSERT_EQ(SaveTo(Path("core.qsw")).outcome, ConfigOutcome::Done);
  std::string error;
  const auto parse = ReadConfigFile(Path("core.qsw"), error);
  ASSERT_TRUE(parse && parse->file) << error;
  ConfigDiffResult same = DiffConfig(ctx, *parse->file);
  EXPECT_TRUE(same.ran);
  EXPECT_TRUE(same.differences.empty());

  sw.SetRegister(0x0307, sw.Register(0x0307) ^ 0x0002);  // inside the mask 0x007E
  sw.SetRegister(0x0200, sw.Register(0x0200) ^ 0x0100);  // outside the mask 0x0006
  sw.ClearLog();
  const ConfigDiffResult diff = DiffConfig(ctx, *parse->file);
  ASSERT_EQ(diff.differences.size(), 1u);
  EXPECT_EQ(diff.differences[0].entry.reg, 0x0307u);
  EXPECT_EQ(diff.differences[0].current, sw.Register(0x0307));
  EXPECT_EQ(diff.differences[0].entry.value ^ (diff.differences[0].current & 0x007E), 0x0002u);
  EXPECT_TRUE(sw.WriteLog().empty()) << "a comparison only reads";
}

TEST_F(ConfigurationsTest, NothingHappensWithoutACurrentSwitch) {
  sim.Select(-1);
  const size_t frames = sim.segment.FramesFromStation();
  prompt.fileNames = {Path("x.qsw"), Path("x.qsw")};
  EXPECT_EQ(SaveConfigToFile(ctx).outcome, ConfigOutcome::NotReady);
  EXPECT_EQ(LoadConfigFromFile(ctx).outcome, ConfigOutcome::NotReady);
  EXPECT_EQ(SaveToHardware(ctx).outcome, EepromOutcome::NotReady);
  EXPECT_EQ(SaveToEeprom(ctx).outcome, EepromOutcome::NotReady);
  EXPECT_FALSE(FactoryDefault(ctx).ran);
  EXPECT_TRUE(prompt.shown.empty());
  EXPECT_EQ(sim.segment.FramesFromStation(), frames);
}

}  // namespace
}  // namespace brisfell::testing
