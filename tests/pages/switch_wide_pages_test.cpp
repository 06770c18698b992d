// The switch-wide pages on the emulated switches: what each shows for chosen register
// values, and what its update writes.
#include "pages/features/feature_forms.h"
#include "pages/system/device_reset_logic.h"
#include "pages/system/fault_info_logic.h"
#include "pages/vlan/vlan_control_form.h"
#include "ports_fixture.h"

namespace brisfell {

// Test failures show the page's texts.
void PrintTo(const FaultInfo& f, std::ostream* os) {
  *os << "{" << f.portCount << ", \"" << f.trunkFault << "\", \"" << f.faultGroups << "\", \"" << f.loopFault << "\", "
      << f.loopPorts << ", \"" << f.gigaPhy1 << "\", \"" << f.gigaPhy2 << "\"}";
}

}  // namespace brisfell

namespace brisfell::testing {
namespace {

struct FormPageTest : PortsTest {
  // Refreshes `formTable` on the current switch and returns the state a page would show.
  FormState Refresh(const FormTable& formTable) {
    FormState state = NewFormState(formTable, ctx.PortCount());
    EXPECT_EQ(FormRefresh(ctx, formTable, state), Outcome::Done());
    return state;
  }
  static int Choice(const FormTable& formTable, const FormState& s, const char* keyword) {
    return s.values.at(static_cast<size_t>(formTable.IndexOf(keyword))).choice;
  }
  static void Choose(const FormTable& formTable, FormState& s, const char* keyword, int choice) {
    s.values.at(static_cast<size_t>(formTable.IndexOf(keyword))).choice = choice;
  }
};

TEST_F(FormPageTest, GlobalShowsDisableBitsAndChangesOnlyItsOwnBits) {
  const FormTable& formTable = GlobalConfigForm();
  for (int ports : {16, 24, 26}) {
    SCOPED_TRACE(ports);
    auto& sw = Use(ports);
    sw.SetRegister(kRegPortControl, 0xA5F2);  // bits 1 and 4: both functions off
    sw.SetRegister(kRegGlobalControl, 0x5A5B);  // bit 2 clear: no loop detection
    FormState s = Refresh(formTable);
    EXPECT_EQ(FieldText(formTable.fields[0], s.values[0], ports), "Disable");
    EXPECT_EQ(FieldText(formTable.fields[1], s.values[1], ports), "Disable");
    EXPECT_EQ(Choice(formTable, s, "loop-detect"), 1);
    Choose(formTable, s, "backpressure", 0);
    Choose(formTable, s, "storm-filter", 0);
    Choose(formTable, s, "loop-detect", 0);
    EXPECT_EQ(FormUpdate(ctx, formTable, s), Outcome::Done());
    EXPECT_EQ(sw.Register(kRegPortControl), 0xA5E0u);
    EXPECT_EQ(sw.Register(kRegGlobalControl), 0x5A5Fu);
    // Read again at update, one register after the other.
    EXPECT_EQ(ReadOrder(sw), std::vector<uint16_t>({0x0607, 0x0200, 0x0607, 0x0200}));
  }
}

TEST_F(FormPageTest, GlobalUpdateSkipsARegisterWhoseReadFails) {
  const FormTable& formTable = GlobalConfigForm();
  auto& sw = Use(24);
  FormState s = Refresh(formTable);
  Choose(formTable, s, "loop-detect", 0);
  sw.FailReads(kRegPortControl, -1);
  sw.ClearLog();
  const Outcome out = FormUpdate(ctx, formTable, s);
  EXPECT_EQ(out.kind, OutcomeKind::ReadFailed);
  EXPECT_NE(out.message.find("0x0607"), std::string::npos) << out;
  EXPECT_EQ(WriteOrder(sw), std::vector<uint16_t>({0x0200}));
}

TEST_F(FormPageTest, QosDecodesTheControlRegisterAndWritesItWhole) {
  const FormTable& formTable = QosForm();
  auto& sw = Use(24);
  sw.SetRegister(kRegQosControl, 0xFF13);
  FormState s = Refresh(formTable);
  EXPECT_EQ(Choice(formTable, s, "tos"), 0);
  EXPECT_EQ(Choice(formTable, s, "dot1p"), 0);
  EXPECT_EQ(Choice(formTable, s, "flow-control"), 1);
  EXPECT_EQ(FieldText(*formTable.Find("ratio"), s.values[3], 24), "16:1");
  sw.ClearLog();
  ASSERT_EQ(FormUpdate(ctx, formTable, s), Outcome::Done());
  // No read first; bits above the ratio are not the page's and go out as 0.
  EXPECT_EQ(sw.WritesTo(kRegQosControl), std::vector<uint32_t>({0x0013}));
  EXPECT_TRUE(sw.ReadLogWithoutReadBacks().empty());
  sw.SetRegister(kRegQosControl, 0x0018);
  EXPECT_EQ(FieldText(*formTable.Find("ratio"), Refresh(formTable).values[3], 24), "1:0");
}

TEST_F(FormPageTest, QosHighPriorityPortsGoThroughThePortMap) {
  const FormTable& formTable = QosForm();
  const int high = formTable.IndexOf("high");
  for (int ports : {16, 24, 26}) {
    SCOPED_TRACE(ports);
    auto& sw = Use(ports);
    sw.SetRegister(kRegHighPriorityHigh, 0xFFFF);
    FormState s = Refresh(formTable);
    for (int p = 0; p < ports; ++p) {
      s.values[static_cast<size_t>(high)].ticked = 1u << p;
      sw.ClearLog();
      ASSERT_EQ(FormUpdate(ctx, formTable, s), Outcome::Done());
      const int chip = sim.engine.MapPortToChip(ctx.Switch(), p);
      const uint32_t mask = sw.WritesTo(kRegHighPriorityLow).at(0) | sw.WritesTo(kRegHighPriorityHigh).at(0) << 16;
      EXPECT_EQ(mask, 1u << chip) << "shown port " << p + 1;
    }
    // A 16-port switch has no chip port in the high register, which is still written (as 0).
    if (ports == 16) {
      EXPECT_EQ(sw.WritesTo(kRegHighPriorityHigh), std::vector<uint32_t>({0}));
    }
  }
}

TEST_F(FormPageTest, IgmpRouterPortsAndTheWholeSnoopingWrite) {
  auto& sw = Use(16);
  const SwitchRecord& r = Record();
  auto chip = [&](int shown) { return sim.engine.MapPortToChip(ctx.Switch(), shown - 1); };
  EXPECT_EQ(RouterPortsText(r, 1u << chip(12) | 1u << chip(1) | 1u << chip(5)), "1,5,12,");
  EXPECT_EQ(RouterPortsText(r, 0), "");
  const FormTable& formTable = IgmpForm();
  sw.SetRegister(kRegIgmpControl, 0x00F1);
  FormState s = Refresh(formTable);
  EXPECT_EQ(Choice(formTable, s, "snooping"), 0);
  Choose(formTable, s, "snooping", 1);
  sw.ClearLog();
  ASSERT_EQ(FormUpdate(ctx, formTable, s), Outcome::Done());
  EXPECT_EQ(sw.WritesTo(kRegIgmpControl), std::vector<uint32_t>({0}));
  EXPECT_FALSE(sw.WasWritten(kRegIgmpRouterPorts));
}

TEST_F(FormPageTest, VlanControlKeepsTheHiddenBitsAndZeroesTheRest) {
  const FormTable& formTable = VlanControlForm();
  auto& sw = Use(26);
  sw.SetRegister(kRegVlanControl, 0xFF31);
  FormState s = Refresh(formTable);
  EXPECT_EQ(Choice(formTable, s, "function"), 0);
  EXPECT_EQ(Choice(formTable, s, "unicast-leaky"), 1);
  EXPECT_EQ(Choice(formTable, s, "arp-leaky"), 1);
  EXPECT_EQ(Choice(formTable, s, "tag-aware"), 0);
  EXPECT_EQ(FieldText(*formTable.Find("admit"), s.values[5], 26), "Admit only Vlan-Tagged frames");
  sw.ClearLog();
  ASSERT_EQ(FormUpdate(ctx, formTable, s), Outcome::Done());
  EXPECT_EQ(sw.WritesTo(kRegVlanControl), std::vector<uint32_t>({0x0031}));
  sw.SetRegister(kRegVlanControl, 0x0048);  // only the two hidden pairs set
  s = Refresh(formTable);
  sw.ClearLog();
  ASSERT_EQ(FormUpdate(ctx, formTable, s), Outcome::Done());
  EXPECT_EQ(sw.WritesTo(kRegVlanControl), std::vector<uint32_t>({0x0048}));
  EXPECT_FALSE(formTable.Find("multicast-leaky")->visible);
  EXPECT_FALSE(formTable.Find("ingress-filter")->visible);
}

TEST_F(FormPageTest, ChangesAreNamedByKeywordWithThePageTexts) {
  const FormTable& formTable = QosForm();
  Use(24);
  FormState before = Refresh(formTable);
  FormState after = before;
  Choose(formTable, after, "ratio", 3);
  after.values[static_cast<size_t>(formTable.IndexOf("high"))].ticked = 0b11 | 1u << 23;
  const auto changes = FormChanges(formTable, before, after);
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[0].keyword, "ratio");
  EXPECT_EQ(changes[0].after, "1:0");
  EXPECT_EQ(changes[1].after, "1, 2, 24");
  EXPECT_EQ(ChoiceFromWord(*formTable.Find("tos"), "OFF"), 1);
  EXPECT_EQ(ChoiceFromWord(*VlanControlForm().Find("admit"), "tagged"), 0);
  EXPECT_EQ(ChoiceFromWord(*formTable.Find("ratio"), "2:1"), -1);
}

// ---------------------------------------------------------------- fault information

struct FaultCase {
  int ports;
  uint32_t faults;
  uint32_t loops;  // by chip port
  FaultInfo expected;
};

TEST_F(FormPageTest, FaultInformationFollowsTheModel) {
  // Trunk group 1 of the 16-port model is chip ports 2, 0, 3, 1: shown 7, 8, 15, 16.
  const std::vector<FaultCase> cases = {
      {16, 0x0042, 0, {16, "Error", "{port 7, 8, 15, 16}\r\n", "Pass", 0, "", ""}},
      {16, 0x0000, 0xFFFF, {16, "Pass", "", "Pass", 0, "", ""}},
      {24, 0x1FC0, 0, {24, "Pass",
                       "{port 1, 2, 3, 4}\r\n{port 5, 6, 7, 8}\r\n{port 9, 10, 11, 12}\r\n{port 13, 14, 15, 16}\r\n"
                       "{port 17, 18, 19, 20}\r\n{port 21, 22, 23, 24}\r\n",
                       "Pass", 0, "", ""}},
      {26, 0x1000, 0, {26, "Pass", "{port G0,G1}\r\n", "Pass", 0, "Exist", "Exist"}},
      {26, 0x0018, 0, {26, "Pass", "", "Pass", 0, "Not Exist", "Not Exist"}},
      {26, 0x0024, 1u << 15 | 1u << 3, {26, "Pass", "{port 0,1}\r\n", "Error", 1u << 15 | 1u << 3, "Exist", "Exist"}},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.ports << " ports, faults " << std::hex << c.faults);
    auto& sw = Use(c.ports);
    sw.SetRegister(kRegFaultStatus, c.faults);
    sw.SetRegister(kRegLoopPorts, c.loops);
    FaultInfo info;
    info.loopPorts = 0x3FFFFFF;  // boxes ticked by an earlier refresh
    EXPECT_EQ(RefreshFaultInfo(ctx, info), Outcome::Done());
    EXPECT_EQ(info, c.expected);
    // The loop ports are only read when the switch reports a loop.
    EXPECT_EQ(ReadOrder(sw), (c.faults & 4) ? std::vector<uint16_t>({0x0102, 0x0101}) : std::vector<uint16_t>({0x0102}));
    EXPECT_EQ(ShowsGigaPhy(c.ports), c.ports == 26);
  }
}

TEST_F(FormPageTest, FaultInformationKeepsWhatAFailedReadWouldHaveShown) {
  auto& sw = Use(24);
  sw.SetRegister(kRegFaultStatus, 0x0004);
  sw.SetRegister(kRegLoopPorts, 0x3);
  FaultInfo info;
  ASSERT_EQ(RefreshFaultInfo(ctx, info), Outcome::Done());
  const FaultInfo shown = info;
  sw.FailReads(kRegLoopPorts, -1);
  sw.SetRegister(kRegLoopPorts, 0);
  EXPECT_EQ(RefreshFaultInfo(ctx, info).kind, OutcomeKind::ReadFailed);
  EXPECT_EQ(info.loopPorts, shown.loopPorts);
  sw.FailReads(kRegFaultStatus, -1);
  sw.SetRegister(kRegFaultStatus, 0x0002);
  EXPECT_EQ(RefreshFaultInfo(ctx, info).kind, OutcomeKind::ReadFailed);
  EXPECT_EQ(info, shown);
  EXPECT_FALSE(sim.engine.IoOpen());
}

// ---------------------------------------------------------------- device reset

TEST_F(FormPageTest, ResetsWriteTheCommandAndTheHardwareResetAsksFirst) {
  auto& sw = Use(24);
  EXPECT_EQ(SoftReset(ctx), Outcome::Done());
  EXPECT_EQ(sw.WritesTo(kRegReset), std::vector<uint32_t>({1}));
  sw.ClearLog();
  prompt.answers = {false};
  EXPECT_EQ(HardwareReset(ctx).kind, OutcomeKind::Declined);
  EXPECT_TRUE(sw.WriteLog().empty());
  ASSERT_EQ(prompt.QuestionTexts(), std::vector<std::string>({kHardwareResetQuestion}));
  prompt.answers = {true};
  EXPECT_EQ(HardwareReset(ctx), Outcome::Done());
  EXPECT_EQ(sw.WritesTo(kRegReset), std::vector<uint32_t>({2}));
}

TEST_F(FormPageTest, TheSwitchWithASettableKeyOffersNoHardwareReset) {
  const int index = sim.IndexOfVendor(kNoHardwareResetVendor);
  ASSERT_GE(index, 0);
  sim.Select(index);
  auto& sw = sim.Emulated(index);
  sw.ClearLog();
  EXPECT_FALSE(HardwareResetOffered(ctx.Record()));
  prompt.answers = {true};
  EXPECT_EQ(HardwareReset(ctx).kind, OutcomeKind::Refused);
  EXPECT_TRUE(prompt.shown.empty());
  EXPECT_TRUE(sw.WriteLog().empty());
  EXPECT_TRUE(HardwareResetOffered(sim.engine.GetSwitchRecord(0)));
}

}  // namespace
}  // namespace brisfell::testing
