// The VLAN configuration page and edit form logic against emulated switches of each model.
#include <gtest/gtest.h>

#include <algorithm>

#include "pages/vlan/vlan_config.h"
#include "pages/vlan/vlan_edit.h"
#include "vlan_fixture.h"

namespace brisfell::testing {
namespace {

using Row = std::vector<std::string>;

VlanEditForm FormFor(int entry, int n, std::initializer_list<int> positions, int type, std::string vid = "") {
  VlanEditForm form;
  form.entry = entry;
  form.portCount = n;
  for (int p : positions) form.checked[p] = true;
  ChooseVlanType(form, type);
  form.vlanIdText = std::move(vid);
  return form;
}

bool OnlyVlanRegisters(const std::vector<uint16_t>& regs, int n) {
  const int last = kRegPortVlanIndex + n / 2 - 1;
  const int lastTag = kRegPortTagControl + (n + 7) / 8 - 1;
  for (uint16_t r : regs) {
    const bool ok = r == kRegVlanControl || (r >= kRegPortVlanIndex && r <= last) ||
                    (r >= kRegPortTagControl && r <= lastTag) ||
                    (r >= kRegVlanTable && r <= 0x037C && (n > 16 || (r - kRegVlanTable) % 3 != 1));
    if (!ok) return false;
  }
  return true;
}

class VlanPage : public VlanTest {};

TEST_F(VlanPage, ListShowsShownPortsAndLabelsOnEachModel) {
  for (int n : {16, 24, 26}) {
    SCOPED_TRACE(n);
    Use(n);
    ASSERT_EQ(DeleteAllVlans(ctx), VlanOutcome::kWritten);
    const int last = n - 1;
    ASSERT_EQ(ApplyVlanEdit(ctx, FormFor(-1, n, {0, 1, n > 24 ? 24 : 2}, kVlanPortBased)), VlanOutcome::kWritten);
    ASSERT_EQ(ApplyVlanEdit(ctx, FormFor(-1, n, {last}, kVlanTagBased, "100")), VlanOutcome::kWritten);
    Chip().SetRegister(kRegVlanControl, 0x0011);

    const VlanList list = RefreshVlanList(ctx);
    ASSERT_TRUE(list.read);
    EXPECT_EQ(list.table.rows,
              (std::vector<Row>{{"Vlan 1", "Port-Based", "", n > 24 ? "1, 2, G1" : "1, 2, 3"},
                                {"Vlan 2", "Tag-Based", "100", PortLabel(last)}}));
    EXPECT_TRUE(list.vlanFunction);
    EXPECT_TRUE(list.tagVlan);
    EXPECT_EQ(ChipImage().entries[0].members,
              (1u << ChipPort(0)) | (1u << ChipPort(1)) | (1u << ChipPort(n > 24 ? 24 : 2)));
    EXPECT_FALSE(sim.engine.IoOpen());
  }
  // Shown port 1 of the 16-port model is chip port 15, port 2 chip port 12.
  Use(16);
  EXPECT_EQ(Chip().Register(VlanMembersLowRegister(0)), 0x9000u | 1u << ChipPort(2));
  Chip().SetRegister(kRegVlanControl, 0x0001);
  const VlanList list = RefreshVlanList(ctx);
  EXPECT_TRUE(list.vlanFunction);
  EXPECT_FALSE(list.tagVlan);
  EXPECT_STREQ(EnableText(list.tagVlan), "Disable");
}

TEST_F(VlanPage, EntriesThatAreCombinedOrOutsideTheModelAreNotListed) {
  Use(24);
  ASSERT_EQ(DeleteAllVlans(ctx), VlanOutcome::kWritten);
  SetEntry(0, 0x0003, 0);
  SetEntry(4, 0x0300'0000, 0);  // ports 24 and 25, which this chip has not
  SetEntry(5, 0x0007, 0);       // holds entry 0
  SetEntry(6, 0x0010, 12);
  const VlanList list = RefreshVlanList(ctx);
  EXPECT_EQ(list.rowEntries, (std::vector<int>{0, 6}));
}

TEST_F(VlanPage, FailedRefreshLeavesTheListEmpty) {
  Use(26);
  Chip().SetMuted(true);
  const VlanList list = RefreshVlanList(ctx);
  EXPECT_FALSE(list.read);
  EXPECT_TRUE(list.table.rows.empty());
  EXPECT_EQ(list.table.columns.size(), 4u);
  EXPECT_FALSE(sim.engine.IoOpen());
}

TEST_F(VlanPage, HomeVlanAsksWithTheModelsOverlappingPorts) {
  struct Case {
    int n;
    const char* ports;
    bool saveLines;
    const char* firstMembers;
  };
  for (const Case& c : {Case{16, "(1,9)", true, "1, 8, 9"}, Case{24, "(23,24)", true, "2, 23, 24"},
                        Case{26, "(25,26)", false, "1, G1, G2"}}) {
    SCOPED_TRACE(c.n);
    Use(c.n);
    prompt.shown.clear();
    prompt.answers = {false};
    EXPECT_EQ(ResetToHomeVlan(ctx), VlanOutcome::kDeclined);
    EXPECT_TRUE(Chip().WriteLog().empty());
    ASSERT_EQ(prompt.QuestionTexts().size(), 1u);
    const std::string q = prompt.QuestionTexts()[0];
    EXPECT_EQ(prompt.shown[0].title, kApplicationTitle);
    EXPECT_NE(q.find(c.ports), std::string::npos) << q;
    EXPECT_EQ(q.find("Save to Hardware") != std::string::npos, c.saveLines) << q;

    prompt.answers = {true};
    EXPECT_EQ(ResetToHomeVlan(ctx), VlanOutcome::kWritten);
    EXPECT_EQ(Written(), HomeVlanLayout(c.n));
    const VlanList list = RefreshVlanList(ctx);
    ASSERT_EQ(list.table.rows.size(), static_cast<size_t>(c.n - 2));
    EXPECT_EQ(list.table.rows[0][3], c.firstMembers);
  }
}

TEST_F(VlanPage, DeleteAndDeleteAllDoNotAsk) {
  Use(24);
  prompt.answers = {true};
  ASSERT_EQ(ResetToHomeVlan(ctx), VlanOutcome::kWritten);
  Chip().ClearLog();
  prompt.shown.clear();

  EXPECT_EQ(DeleteSelectedVlan(ctx, std::nullopt), VlanOutcome::kNoSelection);
  ASSERT_EQ(prompt.shown.size(), 1u);
  EXPECT_EQ(prompt.shown[0].title, "Error");
  EXPECT_EQ(prompt.shown[0].text, "Please select a VLAN to Delete!");
  EXPECT_EQ(prompt.shown[0].icon, PromptIcon::Error);
  EXPECT_TRUE(Chip().ReadLogWithoutReadBacks().empty());

  prompt.shown.clear();
  EXPECT_EQ(DeleteSelectedVlan(ctx, "Vlan 3"), VlanOutcome::kWritten);
  EXPECT_TRUE(prompt.shown.empty());
  EXPECT_FALSE(Chip().WriteLog().empty());
  std::vector<int> entries = RefreshVlanList(ctx).rowEntries;
  EXPECT_EQ(std::count(entries.begin(), entries.end(), 2), 0);
  EXPECT_EQ(entries.size(), 21u);
  // Entries out of range are left alone.
  Chip().ClearLog();
  EXPECT_EQ(DeleteSelectedVlan(ctx, "Vlan 32"), VlanOutcome::kNothing);
  EXPECT_EQ(DeleteSelectedVlan(ctx, "Vlan 0"), VlanOutcome::kNothing);
  EXPECT_TRUE(Chip().ReadLogWithoutReadBacks().empty());

  Chip().ClearLog();
  EXPECT_EQ(DeleteAllVlans(ctx), VlanOutcome::kWritten);
  EXPECT_TRUE(prompt.shown.empty());
  EXPECT_EQ(Written(), DeleteAllLayout(24));
  EXPECT_TRUE(RefreshVlanList(ctx).table.rows.empty());
  EXPECT_EQ(ChipImage().entries[kUnassignedEntry].members, AllPortsMask(24));
}

TEST_F(VlanPage, SixteenPortModelOnlyTouchesItsOwnRegisters) {
  Use(16);
  prompt.answers = {true};
  EXPECT_EQ(DeleteAllVlans(ctx), VlanOutcome::kWritten);
  EXPECT_TRUE(RefreshVlanList(ctx).read);
  EXPECT_EQ(ApplyVlanEdit(ctx, FormFor(-1, 16, {0, 1}, kVlanPortBased)), VlanOutcome::kWritten);
  EXPECT_EQ(ApplyVlanEdit(ctx, FormFor(-1, 16, {1, 15}, kVlanPortBased)), VlanOutcome::kWritten);
  EXPECT_EQ(ApplyVlanEdit(ctx, FormFor(0, 16, {0, 3}, kVlanTagBased, "77")), VlanOutcome::kWritten);
  EXPECT_EQ(DeleteVlanEntry(ctx, 1), VlanOutcome::kWritten);
  EXPECT_EQ(ResetToHomeVlan(ctx), VlanOutcome::kWritten);
  ASSERT_TRUE(ReadVlanImage(sim.engine, ctx.Switch()));
  EXPECT_TRUE(OnlyVlanRegisters(RegistersRead(), 16));
  std::vector<uint16_t> written;
  for (const auto& w : Written()) written.push_back(w.reg);
  EXPECT_TRUE(OnlyVlanRegisters(written, 16));
  EXPECT_TRUE(prompt.MessageTexts().empty());
}

TEST_F(VlanPage, ImageIsReadInOrder) {
  Use(24);
  ASSERT_TRUE(ReadVlanImage(sim.engine, ctx.Switch()));
  std::vector<uint16_t> expected = {kRegVlanControl};
  for (int i = 0; i < 12; ++i) expected.push_back(static_cast<uint16_t>(kRegPortVlanIndex + i));
  for (int i = 0; i < 3; ++i) expected.push_back(static_cast<uint16_t>(kRegPortTagControl + i));
  for (int r = kRegVlanTable; r <= 0x037C; ++r) expected.push_back(static_cast<uint16_t>(r));
  EXPECT_EQ(RegistersRead(), expected);
}

TEST_F(VlanPage, SelectionRules) {
  Use(24);
  EXPECT_FALSE(BeginEditVlan(ctx, std::nullopt, false));
  EXPECT_TRUE(prompt.shown.empty());
  EXPECT_FALSE(BeginEditVlan(ctx, std::nullopt, true));
  ASSERT_EQ(prompt.shown.size(), 1u);
  EXPECT_EQ(prompt.shown[0].title, "Error");
  EXPECT_EQ(prompt.shown[0].text, "Please select Vlan to Edit!");

  EXPECT_EQ(BeginEditVlan(ctx, "Vlan 5", true), std::optional<int>(4));
  EXPECT_EQ(ctx.selectedListRow, 4);
  EXPECT_FALSE(BeginEditVlan(ctx, "Vlan 32", true));
  EXPECT_EQ(ctx.selectedListRow, 31);
  EXPECT_TRUE(BeginAddVlan(ctx));
  EXPECT_EQ(ctx.selectedListRow, -1);

  sim.Select(-1);
  EXPECT_FALSE(BeginAddVlan(ctx));
  EXPECT_FALSE(BeginEditVlan(ctx, "Vlan 5", true));
  EXPECT_EQ(DeleteAllVlans(ctx), VlanOutcome::kNothing);
  EXPECT_EQ(ResetToHomeVlan(ctx), VlanOutcome::kNothing);
  EXPECT_FALSE(RefreshVlanList(ctx).read);
  EXPECT_EQ(prompt.QuestionTexts().size(), 0u);
}

TEST_F(VlanPage, EditFormOpensOnTheEntry) {
  Use(26);
  ctx.selectedListRow = -1;
  VlanEditForm added = InitVlanEditForm(ctx);
  EXPECT_EQ(added.caption, "Add New Vlan");
  EXPECT_EQ(added.type, kVlanPortBased);
  EXPECT_FALSE(added.vlanIdEnabled);
  EXPECT_TRUE(added.vlanIdText.empty());
  EXPECT_EQ(std::count(added.checked.begin(), added.checked.end(), true), 0);
  EXPECT_TRUE(Chip().ReadLogWithoutReadBacks().empty());

  SetEntry(1, (1u << 0) | (1u << 25), 4094);
  ctx.selectedListRow = 1;
  VlanEditForm edited = InitVlanEditForm(ctx);
  EXPECT_EQ(edited.caption, "Edit Vlan 2");
  EXPECT_EQ(edited.type, kVlanTagBased);
  EXPECT_TRUE(edited.vlanIdEnabled);
  EXPECT_EQ(edited.vlanIdText, "4094");
  EXPECT_EQ(std::count(edited.checked.begin(), edited.checked.end(), true), 2);
  EXPECT_TRUE(edited.checked[0] && edited.checked[25]);

  SetEntry(1, 0x0004, 0);
  VlanEditForm portBased = InitVlanEditForm(ctx);
  EXPECT_EQ(portBased.type, kVlanPortBased);
  EXPECT_FALSE(portBased.vlanIdEnabled);
  EXPECT_TRUE(portBased.vlanIdText.empty());

  Chip().SetMuted(true);
  VlanEditForm failed = InitVlanEditForm(ctx);
  EXPECT_EQ(failed.caption, "Edit Vlan 2");
  EXPECT_EQ(failed.type, -1);
  EXPECT_EQ(std::count(failed.checked.begin(), failed.checked.end(), true), 0);
  EXPECT_FALSE(sim.engine.IoOpen());
}

TEST_F(VlanPage, EditFormOnSixteenPortsMasksTheHighRegister) {
  Use(16);
  SetEntry(2, 1u << 15, 0);
  Chip().SetRegister(VlanMembersHighRegister(2), 0xFFFF);
  ctx.selectedListRow = 2;
  VlanEditForm form = InitVlanEditForm(ctx);
  EXPECT_EQ(form.portCount, 16);
  EXPECT_EQ(std::count(form.checked.begin(), form.checked.end(), true), 1);
  EXPECT_TRUE(form.checked[0]);  // chip port 15 is shown port 1
  SetAllPorts(form, true);
  EXPECT_EQ(std::count(form.checked.begin(), form.checked.end(), true), 16);
  SetAllPorts(form, false);
  EXPECT_EQ(std::count(form.checked.begin(), form.checked.end(), true), 0);
}

TEST_F(VlanPage, ApplyRefusesInItsOrderAndWritesNothing) {
  Use(24);
  ASSERT_EQ(DeleteAllVlans(ctx), VlanOutcome::kWritten);
  ASSERT_EQ(ApplyVlanEdit(ctx, FormFor(-1, 24, {4}, kVlanTagBased, "100")), VlanOutcome::kWritten);
  Chip().ClearLog();

  auto refused = [&](const VlanEditForm& form, const std::string& message) {
    prompt.shown.clear();
    EXPECT_EQ(ApplyVlanEdit(ctx, form), VlanOutcome::kRefused);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].title, "ERROR");
    EXPECT_EQ(prompt.shown[0].icon, PromptIcon::Error);
    EXPECT_EQ(prompt.shown[0].text, message);
    EXPECT_TRUE(Chip().WriteLog().empty());
    EXPECT_FALSE(sim.engine.IoOpen());
  };
  // No port: refused before anything is read, even from a switch that does not answer.
  Chip().SetMuted(true);
  refused(FormFor(-1, 24, {}, kVlanTagBased, "4095"), "No port selected, nothing changed!");
  EXPECT_TRUE(Chip().ReadLogWithoutReadBacks().empty());
  prompt.shown.clear();
  EXPECT_EQ(ApplyVlanEdit(ctx, FormFor(-1, 24, {1}, kVlanTagBased, "4095")), VlanOutcome::kReadFailed);
  EXPECT_TRUE(prompt.shown.empty());
  Chip().SetMuted(false);

  refused(FormFor(-1, 24, {1}, kVlanTagBased, "4095"), "Failed!\nInvalid VLAN ID (use 1-4094)!\n");
  refused(FormFor(-1, 24, {1}, kVlanTagBased, ""), "Failed!\nInvalid VLAN ID (use 1-4094)!\n");
  refused(FormFor(-1, 24, {1}, -1, "99999999999999999999"), "Failed!\nInvalid VLAN ID (use 1-4094)!\n");
  refused(FormFor(-1, 24, {1}, kVlanTagBased, "100"), "Same Tag with VLAN 1!\n");
  EXPECT_EQ(ApplyVlanEdit(ctx, FormFor(-1, 24, {1}, kVlanTagBased, "4094")), VlanOutcome::kWritten);
  EXPECT_EQ(ChipImage().entries[1], (VlanEntryValue{1u << ChipPort(1), 4094}));

  // Every entry in use: a new VLAN has no place, whatever its ID.
  for (int k = 2; k < 31; ++k) SetEntry(k, 1u << 20, static_cast<uint32_t>(200 + k));
  Chip().ClearLog();
  refused(FormFor(-1, 24, {2}, kVlanTagBased, "4095"), "Failed!\nMaximum number of VLANs reached!\n");
}

TEST_F(VlanPage, AddingInsideOrAroundAnExistingVlan) {
  Use(26);
  ASSERT_EQ(DeleteAllVlans(ctx), VlanOutcome::kWritten);
  ASSERT_EQ(ApplyVlanEdit(ctx, FormFor(-1, 26, {0, 1, 2}, kVlanPortBased)), VlanOutcome::kWritten);
  Chip().ClearLog();
  // Inside VLAN 1: dropped, and the table needs no write at all.
  EXPECT_EQ(ApplyVlanEdit(ctx, FormFor(-1, 26, {0, 1}, kVlanPortBased)), VlanOutcome::kWritten);
  EXPECT_TRUE(Chip().WriteLog().empty());
  EXPECT_EQ(RefreshVlanList(ctx).table.rows, (std::vector<Row>{{"Vlan 1", "Port-Based", "", "1, 2, 3"}}));

  ASSERT_EQ(DeleteAllVlans(ctx), VlanOutcome::kWritten);
  ASSERT_EQ(ApplyVlanEdit(ctx, FormFor(-1, 26, {0, 1}, kVlanPortBased)), VlanOutcome::kWritten);
  EXPECT_EQ(ApplyVlanEdit(ctx, FormFor(-1, 26, {0, 1, 2}, kVlanPortBased)), VlanOutcome::kWritten);
  EXPECT_EQ(RefreshVlanList(ctx).table.rows, (std::vector<Row>{{"Vlan 2", "Port-Based", "", "1, 2, 3"}}));
}

// A rebuild changes more than the list shows; the status names every register it wrote.
TEST_F(VlanPage, TheStatusNamesEveryRegisterARebuildWrites) {
  Use(26);
  ASSERT_EQ(DeleteAllVlans(ctx), VlanOutcome::kWritten);
  ASSERT_EQ(ApplyVlanEdit(ctx, FormFor(-1, 26, {0, 1}, kVlanPortBased)), VlanOutcome::kWritten);
  std::vector<std::string> status;
  ctx.showStatus = [&](const std::string& text) { status.push_back(text); };
  Chip().ClearLog();
  // Port 2 joins a second port-based VLAN: it moves to a combined entry the list never shows.
  ASSERT_EQ(ApplyVlanEdit(ctx, FormFor(-1, 26, {1, 2}, kVlanPortBased)), VlanOutcome::kWritten);
  ASSERT_EQ(status.size(), 1u);
  const std::string& text = status[0];
  EXPECT_EQ(text.rfind("VLAN registers written: ", 0), 0u) << text;
  ASSERT_FALSE(Written().empty());
  for (const auto& w : Written()) EXPECT_NE(text.find(Format("0x%04X", w.reg)), std::string::npos) << w.reg << ": " << text;
  for (const char* part : {"register 0x030C, port 2: VLAN index 0 -> 30",
                           "registers 0x0377 and 0x0378, entry 30 (combined): members none -> 1, 2, 3",
                           "registers 0x0320 and 0x0321, Vlan 2: members none -> 2, 3",
                           "entry 31 (ports in no VLAN): members 3, 4"})
    EXPECT_NE(text.find(part), std::string::npos) << part << "\nin: " << text;

  // Nothing written, nothing said.
  status.clear();
  EXPECT_EQ(ApplyVlanEdit(ctx, FormFor(-1, 26, {}, kVlanPortBased)), VlanOutcome::kRefused);
  EXPECT_TRUE(status.empty());

  // The whole-table layouts also change the control register and the tag modes.
  Chip().SetRegister(kRegVlanControl, 0);
  Chip().SetRegister(kRegPortTagControl, 0);
  const VlanImage before = ChipImage();
  VlanImage home = before;
  ApplyWrites(home, HomeVlanLayout(26));
  const auto changes = DescribeVlanChanges(before, home, PortToChip(ctx));
  const auto said = [&](const std::string& part) {
    return std::any_of(changes.begin(), changes.end(), [&](const auto& c) { return c.Text().find(part) != std::string::npos; });
  };
  EXPECT_TRUE(said("register 0x030B, Vlan Control: value 0x0000 -> 0x0001"));
  EXPECT_TRUE(said("register 0x0319, port 1: tag mode remove -> keep"));
}

}  // namespace
}  // namespace brisfell::testing
