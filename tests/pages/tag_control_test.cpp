// The Tag Control page and its dialog against emulated switches of each model, and the
// many-port change the command line makes.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "pages/vlan/tag_control_logic.h"
#include "pages/vlan/vlan_config.h"
#include "pages/vlan/vlan_edit.h"
#include "vlan_fixture.h"

namespace brisfell::testing {
namespace {

constexpr int kModels[] = {16, 24, 26};

// Register and bits of chip port p's tag mode, written out here rather than taken from the
// field tables the page uses.
uint16_t TagRegister(int p) { return static_cast<uint16_t>(0x0319 + p / 8); }
int TagShift(int p) { return 2 * (p % 8); }
uint16_t IndexRegister(int p) { return static_cast<uint16_t>(0x030C + p / 2); }
int IndexShift(int p) { return 8 * (p % 2); }

class TagControl : public VlanTest {
 protected:
  void SetMode(int chip, int mode) {
    const uint16_t reg = TagRegister(chip);
    const uint32_t v = Chip().Register(reg) & ~(3u << TagShift(chip));
    Chip().SetRegister(reg, v | static_cast<uint32_t>(mode) << TagShift(chip));
  }
  int ModeOf(int chip) { return static_cast<int>((Chip().Register(TagRegister(chip)) >> TagShift(chip)) & 3); }
  void SetIndex(int chip, int index) {
    const uint16_t reg = IndexRegister(chip);
    const uint32_t v = Chip().Register(reg) & ~(0x1Fu << IndexShift(chip));
    Chip().SetRegister(reg, v | static_cast<uint32_t>(index) << IndexShift(chip));
  }
  std::vector<std::vector<std::string>> Rows() {
    Table table;
    EXPECT_EQ(RefreshTagControl(ctx, table), Outcome::Done());
    EXPECT_EQ(table.columns, (std::vector<std::string>{"Port", "Tag Control", "VID Index", "VID"}));
    return table.rows;
  }
  // The tag registers of the current switch, past the wire.
  std::map<uint16_t, uint32_t> TagRegisters() {
    std::map<uint16_t, uint32_t> out;
    for (int i = 0; i < (ctx.PortCount() + 7) / 8; ++i)
      out[static_cast<uint16_t>(0x0319 + i)] = Chip().Register(static_cast<uint16_t>(0x0319 + i));
    return out;
  }
  void LoadTagRegisters(const std::map<uint16_t, uint32_t>& regs) {
    for (const auto& [reg, value] : regs) Chip().SetRegister(reg, value);
  }
  TagDialogState Open(int row) {
    ctx.selectedListRow = row;
    return OpenTagDialog(ctx);
  }
};

TEST_F(TagControl, RowsFollowThePortMapOnEachModel) {
  for (int n : kModels) {
    SCOPED_TRACE(n);
    Use(n);
    // Every chip port its own mode and index; even entries tag-based.
    for (int p = 0; p < n; ++p) {
      SetMode(p, (p * 3 + 1) % 4);
      SetIndex(p, (p * 7 + 3) % 32);
    }
    for (int k = 0; k < kVlanEntries; ++k) Chip().SetRegister(VlanIdRegister(k), k % 2 ? 0xF000 : 0xF000 | (100 + k));
    Chip().ClearLog();
    const auto rows = Rows();
    // The model's own index and tag registers only, then the 32 VLAN IDs.
    std::vector<uint16_t> read;
    for (int i = 0; i < n / 2; ++i) read.push_back(static_cast<uint16_t>(0x030C + i));
    for (int i = 0; i < (n + 7) / 8; ++i) read.push_back(static_cast<uint16_t>(0x0319 + i));
    for (int k = 0; k < 32; ++k) read.push_back(static_cast<uint16_t>(0x031F + 3 * k));
    EXPECT_EQ(RegistersRead(), read);
    ASSERT_EQ(rows.size(), static_cast<size_t>(n));
    for (int p = 0; p < n; ++p) {
      const int row = sim.engine.MapChipToPort(ctx.Switch(), p);
      const int index = (p * 7 + 3) % 32;
      EXPECT_EQ(rows[row], (std::vector<std::string>{PortLabel(row), kTagModeTexts[(p * 3 + 1) % 4],
                                                     std::to_string(index),
                                                     std::to_string(index % 2 ? 0 : 100 + index)}))
          << "chip port " << p;
    }
    if (n > 24) {
      EXPECT_EQ(rows[24][0], "G1");
    }
    EXPECT_FALSE(sim.engine.IoOpen());
  }
  // Chip port 0 of the 16-port model is port 8; its mode is bits 0-1 of 0x0319.
  Use(16);
  Chip().SetRegister(0x0319, 0x0002);
  EXPECT_EQ(Rows()[7][1], "Insert tag (all frame)");
}

TEST_F(TagControl, AFailedReadLeavesTheListEmpty) {
  const std::vector<uint16_t> failing = {0x030C, 0x0319, 0x031F + 3 * 31};
  for (uint16_t reg : failing) {
    SCOPED_TRACE(reg);
    Use(24).FailReads(reg, -1);
    Table table;
    EXPECT_EQ(RefreshTagControl(ctx, table).kind, OutcomeKind::ReadFailed);
    EXPECT_TRUE(table.rows.empty());
    EXPECT_EQ(table.columns.size(), 4u);
    EXPECT_FALSE(sim.engine.IoOpen());
    Chip().ClearFailedReads();
  }
  sim.Select(-1);
  Table table;
  EXPECT_EQ(RefreshTagControl(ctx, table).kind, OutcomeKind::NothingToDo);
  EXPECT_TRUE(table.rows.empty());
}

TEST_F(TagControl, DialogChangesOnlyThePortsTwoBits) {
  for (int n : kModels) {
    for (int row : {0, n - 1}) {
      SCOPED_TRACE(::testing::Message() << n << " ports, row " << row);
      Use(n);
      const int chip = ChipPort(row);
      Chip().SetRegister(TagRegister(chip), 0xE4E4);  // every port of the register a different mode
      const uint32_t before = Chip().Register(TagRegister(chip));
      const TagDialogState state = Open(row);
      EXPECT_EQ(state.title, "Port " + std::to_string(row + 1) + " Tag/Untag Configuration");
      EXPECT_EQ(state.chip, chip);
      ASSERT_EQ(state.mode, ModeOf(chip));
      const int mode = (state.mode + 2) % 4;
      Chip().ClearLog();
      EXPECT_EQ(ApplyTagDialog(ctx, state, mode), Outcome::Done());
      const uint32_t mask = 3u << TagShift(chip);
      EXPECT_EQ(Written(), (VlanWrites{{TagRegister(chip),
                                        (before & ~mask) | static_cast<uint32_t>(mode) << TagShift(chip)}}));
      EXPECT_EQ(RegistersRead(), std::vector<uint16_t>{TagRegister(chip)});

      // The mode the port already has writes nothing.
      Chip().ClearLog();
      EXPECT_EQ(ApplyTagDialog(ctx, state, mode), Outcome::NothingToDo());
      EXPECT_TRUE(Chip().WriteLog().empty());
      EXPECT_FALSE(sim.engine.IoOpen());
    }
  }
}

TEST_F(TagControl, OkWithoutAModeWritesNothing) {
  std::vector<std::string> status;
  ctx.showStatus = [&](const std::string& s) { status.push_back(s); };
  Use(26).FailReads(TagRegister(ChipPort(24)), -1);
  const TagDialogState state = Open(24);
  EXPECT_EQ(state.title, "Port 25 Tag/Untag Configuration");
  EXPECT_EQ(state.mode, -1);
  Chip().ClearLog();
  EXPECT_EQ(ApplyTagDialog(ctx, state, state.mode).kind, OutcomeKind::NothingToDo);
  EXPECT_TRUE(Chip().WriteLog().empty());
  EXPECT_TRUE(Chip().ReadLogWithoutReadBacks().empty());
  ASSERT_EQ(status.size(), 1u);
  EXPECT_NE(status[0].find("not written"), std::string::npos);

  // A mode chosen after the failed opening read is written from a fresh read.
  Chip().ClearFailedReads();
  EXPECT_EQ(ApplyTagDialog(ctx, state, 1), Outcome::Done());
  EXPECT_EQ(ModeOf(ChipPort(24)), 1);

  // A read failing at OK writes nothing either.
  Chip().FailReads(TagRegister(ChipPort(24)), -1);
  Chip().ClearLog();
  EXPECT_EQ(ApplyTagDialog(ctx, state, 3).kind, OutcomeKind::ReadFailed);
  EXPECT_TRUE(Chip().WriteLog().empty());
  EXPECT_FALSE(sim.engine.IoOpen());
}

TEST_F(TagControl, AfterHomeVlanEveryPortIsUntouchedOnItsOwnEntry) {
  for (int n : kModels) {
    SCOPED_TRACE(n);
    Use(n);
    for (int p = 0; p < n; ++p) SetMode(p, p % 3);
    prompt.answers = {true};
    ASSERT_EQ(ResetToHomeVlan(ctx), VlanOutcome::kWritten);
    const auto rows = Rows();
    ASSERT_EQ(rows.size(), static_cast<size_t>(n));
    for (int row = 0; row < n; ++row) {
      EXPECT_EQ(rows[row][1], "Don't touch") << row;
      EXPECT_EQ(rows[row][2], std::to_string(ChipPort(row))) << row;
      EXPECT_EQ(rows[row][3], "0") << row;
    }
  }
}

TEST_F(TagControl, PortBasedCombinedAndUnassignedEntriesShowVidZero) {
  auto form = [](int n, std::initializer_list<int> positions, int type, const char* vid) {
    VlanEditForm f;
    f.portCount = n;
    for (int p : positions) f.checked[p] = true;
    ChooseVlanType(f, type);
    f.vlanIdText = vid;
    return f;
  };
  for (int n : kModels) {
    SCOPED_TRACE(n);
    Use(n);
    ASSERT_EQ(DeleteAllVlans(ctx), VlanOutcome::kWritten);
    ASSERT_EQ(ApplyVlanEdit(ctx, form(n, {0, 1}, kVlanPortBased, "")), VlanOutcome::kWritten);
    ASSERT_EQ(ApplyVlanEdit(ctx, form(n, {1, 2}, kVlanPortBased, "")), VlanOutcome::kWritten);
    ASSERT_EQ(ApplyVlanEdit(ctx, form(n, {3}, kVlanTagBased, "55")), VlanOutcome::kWritten);
    const auto rows = Rows();
    struct Expect {
      int row;
      const char* index;
      const char* vid;
    };
    // Port 2 is in both port-based VLANs: its combined entry is the last free one.
    for (const Expect& e : {Expect{0, "0", "0"}, Expect{1, "30", "0"}, Expect{2, "1", "0"}, Expect{3, "2", "55"},
                            Expect{4, "31", "0"}}) {
      EXPECT_EQ(rows[e.row][2], e.index) << "port " << e.row + 1;
      EXPECT_EQ(rows[e.row][3], e.vid) << "port " << e.row + 1;
    }
    EXPECT_EQ(ChipImage().entries[30].members, (1u << ChipPort(0)) | (1u << ChipPort(1)) | (1u << ChipPort(2)));
  }
}

TEST_F(TagControl, ManyPortsAtOnceEqualTheDialogPortByPort) {
  struct Case {
    int n;
    std::vector<int> positions;
    int mode;
  };
  // Ports within one register and across several.
  const std::vector<Case> cases = {{16, {0, 1, 2, 3, 8, 15}, 2}, {24, {0, 1, 2, 3, 4, 5, 6, 7, 8}, 1},
                                   {26, {5, 12, 17, 24, 25}, 0}, {26, {0, 8, 16, 24}, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.n << " ports, mode " << c.mode << ", " << c.positions.size() << " ports");
    Use(c.n);
    for (int p = 0; p < c.n; ++p) SetMode(p, (p * 5 + 2) % 4);
    const auto start = TagRegisters();

    for (int position : c.positions) ASSERT_TRUE(ApplyTagDialog(ctx, Open(position), c.mode).ok());
    const auto oneByOne = TagRegisters();

    LoadTagRegisters(start);
    Chip().ClearLog();
    std::map<uint16_t, uint32_t> before, after;
    const Outcome outcome = ApplyTagModes(ctx, c.positions, c.mode, &before, &after);
    EXPECT_EQ(TagRegisters(), oneByOne);
    std::map<uint16_t, uint32_t> involved;
    for (int position : c.positions) involved[TagRegister(ChipPort(position))] = start.at(TagRegister(ChipPort(position)));
    EXPECT_EQ(before, involved);
    for (const auto& [reg, value] : after) EXPECT_EQ(value, oneByOne.at(reg));

    // One write for each register whose value changes, none for the others; every read first.
    std::map<uint16_t, int> writes;
    for (const auto& w : Chip().WriteLog()) ++writes[w.reg];
    int changed = 0;
    for (const auto& [reg, value] : start) {
      const bool differs = value != oneByOne.at(reg);
      changed += differs;
      EXPECT_EQ(writes[reg], differs ? 1 : 0) << reg;
    }
    EXPECT_EQ(outcome.kind, changed ? OutcomeKind::Done : OutcomeKind::NothingToDo);
    EXPECT_EQ(RegistersRead().size(), before.size());
    EXPECT_FALSE(sim.engine.IoOpen());

    // Asked again, nothing changes and nothing is written.
    Chip().ClearLog();
    EXPECT_EQ(ApplyTagModes(ctx, c.positions, c.mode), Outcome::NothingToDo());
    EXPECT_TRUE(Chip().WriteLog().empty());
  }
}

TEST_F(TagControl, ManyPortsWriteNothingWhenAReadFails) {
  Use(26);
  Chip().FailReads(0x031C, -1);
  EXPECT_EQ(ApplyTagModes(ctx, {0, 1, 24, 25}, 0).kind, OutcomeKind::ReadFailed);
  EXPECT_TRUE(Chip().WriteLog().empty());
  EXPECT_FALSE(sim.engine.IoOpen());
}

}  // namespace
}  // namespace brisfell::testing
