// The page kit: every form table obeys the same rules, and every form page keeps the same
// contract with the switch (nothing sent without a switch, nothing written that was not read
// or chosen, the adapter closed on every path).
#include <map>
#include <set>

#include "pages/common/fields.h"
#include "pages/common/form.h"
#include "pages/form_catalog.h"
#include "ports_fixture.h"

namespace brisfell::testing {
namespace {

constexpr int kModels[] = {16, 24, 26};

// The registers a field touches on a switch with `ports` ports, with its bits in each.
std::map<uint16_t, uint32_t> FieldMasks(const FormField& f, int ports) {
  std::map<uint16_t, uint32_t> masks;
  if (f.kind != FieldKind::PortSet) {
    masks[f.bits.reg] = f.bits.Mask();
    return masks;
  }
  for (int k = 0; k < ports; ++k) masks[f.ports.Register(k)] |= f.ports.Of(k).Mask();
  return masks;
}

TEST(FormTables, FieldsFitTheirRegistersAndNeverOverlap) {
  std::set<std::string> pageKeywords;
  for (const FormTable* formTable : FormCatalog()) {
    SCOPED_TRACE(formTable->keyword);
    EXPECT_TRUE(pageKeywords.insert(formTable->keyword).second) << "page keyword used twice";
    std::set<std::string> keywords;
    std::set<uint16_t> listed;
    for (const FormRegister& r : formTable->registers) EXPECT_TRUE(listed.insert(r.reg).second) << "register listed twice";
    for (int ports : kModels) {
      std::map<uint16_t, uint32_t> used;
      for (const FormField& f : formTable->fields) {
        SCOPED_TRACE(f.keyword);
        if (ports == 26) {
          EXPECT_TRUE(keywords.insert(f.keyword).second) << "keyword used twice";
        }
        for (const auto& [reg, mask] : FieldMasks(f, ports)) {
          EXPECT_EQ(mask & ~0xFFFFu, 0u) << "bits above 15 in " << reg;
          EXPECT_EQ(used[reg] & mask, 0u) << "overlaps another field in " << reg;
          used[reg] |= mask;
          EXPECT_TRUE(listed.count(reg)) << "register " << reg << " is neither read nor written";
        }
        if (f.kind == FieldKind::RadioPair) {
          EXPECT_EQ(f.bits.width, 1);
        }
        if (f.kind == FieldKind::Choice) {
          EXPECT_EQ(f.items.size(), f.itemWords.size());
          EXPECT_LE(f.items.size(), size_t{1} << f.bits.width);
        }
      }
    }
  }
}

TEST(FormTables, PortLayoutsKeepEachPortsFieldsApartWithinSixteenBits) {
  using namespace port_field;
  // Fields that share a port's slot must not overlap; every copy stays inside its register.
  const std::vector<std::vector<PortField>> slots = {
      {kRxBandwidth, kTxBandwidth}, {kAbilities, kPause, kAutoFlag}, {kMibCounterCode[0], kMibCounterCode[1], kMibCounterCode[2]},
      {kVlanIndex}, {kTagMode}, {kDisable}, {kHighPriority}, {kUnauthorised}};
  for (const auto& fields : slots) {
    std::map<uint16_t, uint32_t> used;
    for (const PortField& f : fields)
      for (int k = 0; k < kMaxChipPorts; ++k) {
        const BitField b = f.Of(k);
        EXPECT_EQ(b.Mask() & ~0xFFFFu, 0u) << "chip " << k << " of the field at " << f.base;
        EXPECT_EQ(used[b.reg] & b.Mask(), 0u) << "chip " << k << " overlaps in " << b.reg;
        used[b.reg] |= b.Mask();
      }
  }
  // The layouts the chip documents, checked at their corners.
  EXPECT_EQ(kRxBandwidth.Of(25), (BitField{0x0216, 8, 3}));
  EXPECT_EQ(kTagMode.Of(9), (BitField{0x031A, 2, 2}));
  EXPECT_EQ(kMibCounterCode[2].Of(3), (BitField{0x0701, 10, 2}));
  EXPECT_EQ(kDisable.Of(17), (BitField{0x0609, 1, 1}));
  EXPECT_EQ(kVlanIndex.Of(5), (BitField{0x030E, 8, 5}));
}

// ---------------------------------------------------------------- the contract

struct FormCase {
  const FormTable* formTable;
  int ports;
};

std::string CaseName(const ::testing::TestParamInfo<FormCase>& info) {
  std::string name = info.param.formTable->keyword;
  for (auto& c : name)
    if (c == '-') c = '_';
  return name + "_" + std::to_string(info.param.ports);
}

std::vector<FormCase> AllCases() {
  std::vector<FormCase> cases;
  for (const FormTable* formTable : FormCatalog())
    for (int ports : kModels) cases.push_back({formTable, ports});
  return cases;
}

struct FormContract : PortsTest, ::testing::WithParamInterface<FormCase> {
  const FormTable& Form() const { return *GetParam().formTable; }
  FormState Fresh() const { return NewFormState(Form(), ctx.PortCount()); }
  // Registers the switch answered or took since the log was cleared.
  static std::set<uint16_t> Regs(const std::vector<sim::RegisterWrite>& log) {
    std::set<uint16_t> regs;
    for (const auto& w : log) regs.insert(w.reg);
    return regs;
  }
};

TEST_P(FormContract, WithoutASwitchNothingIsSent) {
  sim.engine.SetCurrentSwitchIndex(-1);
  sim.segment.ClearRecording();
  FormState state = Fresh();
  EXPECT_EQ(FormRefresh(ctx, Form(), state).kind, OutcomeKind::NothingToDo);
  EXPECT_EQ(FormUpdate(ctx, Form(), state).kind, OutcomeKind::NothingToDo);
  EXPECT_EQ(sim.segment.FramesFromStation(), 0u);
}

TEST_P(FormContract, RefreshThenUpdateWritesBackWhatWasRead) {
  auto& sw = Use(GetParam().ports);
  FormState state = Fresh();
  ASSERT_EQ(FormRefresh(ctx, Form(), state), Outcome::Done());
  EXPECT_TRUE(sw.WriteLog().empty());
  std::vector<FormWrite> written;
  ASSERT_EQ(FormUpdate(ctx, Form(), state, &written), Outcome::Done());
  EXPECT_FALSE(sim.engine.IoOpen());
  // Unchanged, every bit the form holds goes back as it was read.
  for (const FormWrite& w : written) {
    uint32_t mask = 0;
    for (const FormField& f : Form().fields) mask |= f.MaskIn(w.reg, GetParam().ports);
    EXPECT_EQ(w.value & mask, state.lastRead.count(w.reg) ? state.lastRead.at(w.reg) & mask : w.value & mask)
        << "register " << w.reg;
  }
  EXPECT_EQ(sw.WriteLog().size(), written.size());
}

TEST_P(FormContract, ASilentSwitchLeavesTheFormAndWritesNothing) {
  auto& sw = Use(GetParam().ports);
  FormState state = Fresh();
  ASSERT_EQ(FormRefresh(ctx, Form(), state), Outcome::Done());
  const FormState before = state;
  sw.SetMuted(true);
  EXPECT_EQ(FormRefresh(ctx, Form(), state).kind, OutcomeKind::ReadFailed);
  EXPECT_EQ(state.values, before.values);
  EXPECT_FALSE(sim.engine.IoOpen());
  EXPECT_EQ(sim.segment.OpenAdapterCount(), 0);
}

TEST_P(FormContract, AReadFailingAtEachStepWritesNothingItDidNotRead) {
  for (const FormRegister& failing : Form().registers) {
    SCOPED_TRACE(failing.reg);
    auto& sw = Use(GetParam().ports);
    sw.FailReads(failing.reg, -1);
    // A page that has just opened: nothing known but what this refresh reads.
    FormState state = Fresh();
    const Outcome refreshed = FormRefresh(ctx, Form(), state);
    const bool attempted = GetParam().ports > failing.readAbovePorts;
    EXPECT_EQ(refreshed.kind, attempted ? OutcomeKind::ReadFailed : OutcomeKind::Done) << refreshed;
    EXPECT_EQ(state.read.count(failing.reg), 0u);
    sw.ClearLog();
    std::vector<FormWrite> written;
    const Outcome updated = FormUpdate(ctx, Form(), state, &written);
    EXPECT_FALSE(sim.engine.IoOpen());
    const std::set<uint16_t> touched = Regs(sw.WriteLog());
    // A register read again at update is written only after that read succeeded, and a
    // whole-register write only goes out for bits that were read or chosen.
    const bool failingHasFields = [&] {
      for (const FormField& f : Form().fields)
        if (f.MaskIn(failing.reg, GetParam().ports)) return true;
      return false;
    }();
    if (attempted && failing.write != WriteMode::None && failingHasFields) {
      EXPECT_EQ(touched.count(failing.reg), 0u);
      EXPECT_EQ(updated.kind, OutcomeKind::ReadFailed) << updated;
    }
    for (uint16_t reg : touched)
      EXPECT_TRUE(state.read.count(reg) || RegisterKnown(Form(), reg, state)) << "wrote unread " << reg;
    sw.ClearFailedReads();
  }
}

TEST_P(FormContract, ChoosingEveryGroupAfterAFailedReadWritesTheChoice) {
  auto& sw = Use(GetParam().ports);
  sw.SetMuted(true);
  FormState state = Fresh();
  EXPECT_EQ(FormRefresh(ctx, Form(), state).kind, OutcomeKind::ReadFailed);
  sw.SetMuted(false);
  // The operator chooses every control: now each whole register is known.
  for (size_t i = 0; i < Form().fields.size(); ++i) {
    FieldValue& v = state.values[i];
    if (Form().fields[i].kind == FieldKind::PortSet) {
      v.ticked = 1;
      v.tickedChosen = true;
    } else {
      v.choice = 0;
    }
  }
  sw.ClearLog();
  EXPECT_EQ(FormUpdate(ctx, Form(), state), Outcome::Done());
  std::set<uint16_t> expected;
  for (const FormRegister& r : Form().registers)
    if (r.write != WriteMode::None && GetParam().ports > r.writeAbovePorts) expected.insert(r.reg);
  EXPECT_EQ(Regs(sw.WriteLog()), expected);
}

INSTANTIATE_TEST_SUITE_P(EveryFormPage, FormContract, ::testing::ValuesIn(AllCases()), CaseName);

TEST(FormKit, ANestedAdapterScopeLeavesTheOuterHandleOpen) {
  SimFixture sim;
  ScriptedPrompt prompt;
  PageContext ctx{sim.engine, prompt};
  ASSERT_GT(sim.DiscoverAndSelect(0), 0);
  AdapterIo outer(sim.engine);
  ASSERT_TRUE(outer.ok());
  {
    AdapterIo inner(sim.engine);
    EXPECT_FALSE(inner.ok());  // the slot is taken
  }
  uint32_t value = 0;
  EXPECT_TRUE(sim.engine.ReadRegister(0, kRegVlanControl, value, kRegisterTimeoutMs));
}

}  // namespace
}  // namespace brisfell::testing
