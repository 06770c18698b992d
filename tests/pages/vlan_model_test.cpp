// The VLAN table rebuild and the whole-table layouts, on register images of the three models.
#include <gtest/gtest.h>

#include <initializer_list>

#include "pages/vlan/vlan_config.h"
#include "pages/vlan/vlan_model.h"
#include "vlan_fixture.h"

namespace brisfell {
namespace {

uint32_t Ports(std::initializer_list<int> chipPorts) {
  uint32_t m = 0;
  for (int p : chipPorts) m |= 1u << p;
  return m;
}

// A switch just after "Delete All", with the reserved index bits set so that a rebuild must
// keep them.
VlanImage Cleared(int n) {
  VlanImage image = VlanImage::Empty(n);
  ApplyWrites(image, DeleteAllLayout(n));
  for (uint32_t& w : image.portVlanIndex) w |= 0xE0E0;
  return image;
}

VlanChange AddPortBased(uint32_t members, int entry = -1) {
  return {VlanChange::Kind::Set, entry, members, false, 0};
}
VlanChange AddTagged(uint32_t members, uint32_t vid, int entry = -1) {
  return {VlanChange::Kind::Set, entry, members, true, vid};
}
VlanChange Delete(int entry) { return {VlanChange::Kind::Delete, entry, 0, false, 0}; }

// Rebuilds, checks that the writes turn the image into the promised one, and returns it.
VlanRebuild Rebuild(const VlanImage& image, const VlanChange& change) {
  VlanRebuild r = RebuildVlanTable(image, change);
  if (!r.failure) {
    VlanImage written = image;
    ApplyWrites(written, r.writes);
    EXPECT_EQ(written.portVlanIndex, r.after.portVlanIndex);
    EXPECT_EQ(written.entries, r.after.entries);
  } else {
    EXPECT_TRUE(r.writes.empty());
  }
  return r;
}

VlanImage Step(const VlanImage& image, const VlanChange& change) {
  VlanRebuild r = Rebuild(image, change);
  EXPECT_FALSE(r.failure) << *r.failure;
  return r.after;
}

// The invariants every rebuilt table keeps.
void ExpectConsistent(const VlanImage& image) {
  uint32_t inOthers = 0;
  for (int k = 0; k < kOperatorEntries; ++k) inOthers |= image.entries[k].members;
  EXPECT_EQ(image.entries[kUnassignedEntry].members, image.allPorts & ~inOthers);
  for (int p = 0; p < image.portCount; ++p) {
    const int idx = image.PortIndex(p);
    EXPECT_TRUE(image.entries[idx].members & (1u << p)) << "port " << p << " index " << idx;
  }
}

class EachModel : public ::testing::TestWithParam<int> {};
INSTANTIATE_TEST_SUITE_P(Vlan, EachModel, ::testing::Values(16, 24, 26));

TEST_P(EachModel, OverlappingVlansShareCombinedEntriesPlacedFromTheTop) {
  const int n = GetParam();
  VlanImage image = Step(Cleared(n), AddPortBased(Ports({0, 1, 2, 3})));  // entry 0
  image = Step(image, AddPortBased(Ports({2, 3, 4})));                    // entry 1
  // Ports 2 and 3 are in both: one combined entry, at 30.
  EXPECT_EQ(image.entries[30], (VlanEntryValue{Ports({0, 1, 2, 3, 4}), 0}));
  EXPECT_EQ(image.PortIndex(2), 30);
  EXPECT_EQ(image.PortIndex(3), 30);
  EXPECT_EQ(image.entries[29].members, 0u);
  EXPECT_EQ(image.PortIndex(0), 0);
  EXPECT_EQ(image.PortIndex(4), 1);
  EXPECT_EQ(image.PortIndex(5), kUnassignedEntry);
  EXPECT_FALSE(IsListedVlan(image.entries, 30));

  // A third VLAN makes port 4 a second distinct combination: met later in port order, it
  // goes to 29; the new VLAN takes entry 2 although 30 was free for a moment.
  image = Step(image, AddPortBased(Ports({4, 5}), -1));
  EXPECT_EQ(image.entries[2].members, Ports({4, 5}));
  EXPECT_EQ(image.entries[30].members, Ports({0, 1, 2, 3, 4}));
  EXPECT_EQ(image.entries[29].members, Ports({2, 3, 4, 5}));
  EXPECT_EQ(image.PortIndex(4), 29);
  EXPECT_EQ(image.PortIndex(5), 2);
  ExpectConsistent(image);
  for (uint32_t w : image.portVlanIndex) EXPECT_EQ(w & 0xE0E0, 0xE0E0u);
}

TEST(VlanRebuild, AddingAnOverlappingVlanWritesOnlyWhatChanges) {
  // 26 ports: two member registers per entry.
  const VlanImage image = Step(Cleared(26), AddPortBased(Ports({0, 1, 2})));
  const VlanRebuild r = Rebuild(image, AddPortBased(Ports({2, 3})));
  ASSERT_FALSE(r.failure);
  EXPECT_EQ(r.entry, 1);
  const VlanWrites expected = {
      {0x030D, 0xE0E0 | 30 | 1 << 8},  // port 2 -> combined entry 30, port 3 -> entry 1
      {0x0320, 0x000C}, {0x0321, 0x0000},  // entry 1
      {0x0377, 0x000F}, {0x0378, 0x0000},  // entry 30
      {0x037A, 0xFFF0}, {0x037B, 0x03FF},  // entry 31 loses port 3
  };
  EXPECT_EQ(r.writes, expected);
}

TEST(VlanRebuild, UnassignedAndTagOnlyPorts) {
  VlanImage image = Step(Cleared(24), AddTagged(Ports({4, 5, 7}), 100));  // entry 0
  image = Step(image, AddTagged(Ports({7, 8}), 200));                     // entry 1
  image = Step(image, AddPortBased(Ports({5, 6})));                       // entry 2
  EXPECT_EQ(image.PortIndex(4), 0);  // only tag-based: that VLAN
  EXPECT_EQ(image.PortIndex(7), 0);  // two tag-based: the lower-numbered
  EXPECT_EQ(image.PortIndex(8), 1);
  EXPECT_EQ(image.PortIndex(5), 2);  // a port-based VLAN wins over a tag-based one
  EXPECT_EQ(image.PortIndex(6), 2);
  EXPECT_EQ(image.PortIndex(9), kUnassignedEntry);
  EXPECT_EQ(image.entries[kUnassignedEntry].members, AllPortsMask(24) & ~Ports({4, 5, 6, 7, 8}));
  ExpectConsistent(image);
}

TEST(VlanRebuild, AfterDeleteAllOneVlanLeavesEveryOtherPortUnassigned) {
  const VlanImage image = Step(Cleared(16), AddPortBased(Ports({0, 1})));
  EXPECT_EQ(image.entries[0].members, Ports({0, 1}));
  EXPECT_EQ(image.entries[kUnassignedEntry].members, 0xFFFCu);
  EXPECT_EQ(image.portVlanIndex[0] & 0x1F1F, 0x0000u);
  EXPECT_EQ(image.portVlanIndex[1] & 0x1F1F, 0x1F1Fu);
}

TEST(VlanRebuild, ContainedVlansGive) {
  const VlanImage base = Step(Cleared(26), AddPortBased(Ports({0, 1, 2})));
  // Inside an existing VLAN: dropped, nothing written.
  VlanRebuild inside = Rebuild(base, AddPortBased(Ports({0, 1})));
  ASSERT_FALSE(inside.failure);
  EXPECT_TRUE(inside.writes.empty());
  EXPECT_EQ(inside.after.entries, base.entries);

  // Holding an existing VLAN: the existing one goes; the new one stays where it was put.
  const VlanImage small = Step(Cleared(26), AddPortBased(Ports({0, 1})));
  const VlanImage grown = Step(small, AddPortBased(Ports({0, 1, 2})));
  EXPECT_EQ(grown.entries[0].members, 0u);
  EXPECT_EQ(grown.entries[1].members, Ports({0, 1, 2}));
  EXPECT_TRUE(IsListedVlan(grown.entries, 1));
  EXPECT_EQ(grown.PortIndex(0), 1);

  // Two equal ones: the lower-numbered goes.
  VlanImage two = Step(base, AddPortBased(Ports({5, 6})));
  two = Step(two, AddPortBased(Ports({0, 1, 2}), 1));
  EXPECT_EQ(two.entries[0].members, 0u);
  EXPECT_EQ(two.entries[1].members, Ports({0, 1, 2}));

  // Tag-based VLANs are never dropped for containment.
  const VlanImage tagged = Step(base, AddTagged(Ports({0, 1}), 10));
  EXPECT_EQ(tagged.entries[1], (VlanEntryValue{Ports({0, 1}), 10}));
  EXPECT_EQ(tagged.entries[0].members, Ports({0, 1, 2}));
}

TEST(VlanRebuild, AStaleCombinedEntryIsDroppedAndRebuiltOnlyIfNeeded) {
  VlanImage image = Cleared(16);
  image.entries[0] = {Ports({0, 1}), 0};
  image.entries[1] = {Ports({1, 2}), 0};
  image.entries[5] = {Ports({0, 1, 2}), 0};  // a combined entry left low by an earlier rebuild
  image.entries[kUnassignedEntry].members = AllPortsMask(16) & ~Ports({0, 1, 2});
  EXPECT_FALSE(IsListedVlan(image.entries, 5));
  EXPECT_TRUE(IsListedVlan(image.entries, 0));

  // Still needed by port 1: moved to the top.
  const VlanImage kept = Step(image, Delete(7));
  EXPECT_EQ(kept.entries[5].members, 0u);
  EXPECT_EQ(kept.entries[30].members, Ports({0, 1, 2}));
  EXPECT_EQ(kept.PortIndex(1), 30);

  // No longer needed once VLAN 2 is gone.
  const VlanImage gone = Step(image, Delete(1));
  EXPECT_EQ(gone.entries[5].members, 0u);
  EXPECT_EQ(gone.entries[30].members, 0u);
  EXPECT_EQ(gone.PortIndex(2), kUnassignedEntry);
  ExpectConsistent(gone);

  // A new VLAN takes the lowest free entry, the combined entry's old place.
  const VlanRebuild added = Rebuild(image, AddPortBased(Ports({9})));
  ASSERT_FALSE(added.failure);
  EXPECT_EQ(added.entry, 2);
  VlanImage noGap = image;
  noGap.entries[2] = {Ports({12}), 0};
  noGap.entries[3] = {Ports({13}), 0};
  noGap.entries[4] = {Ports({14}), 0};
  const VlanRebuild intoOld = Rebuild(noGap, AddPortBased(Ports({10})));
  ASSERT_FALSE(intoOld.failure);
  EXPECT_EQ(intoOld.entry, 5);
  EXPECT_EQ(intoOld.after.entries[5].members, Ports({10}));
  EXPECT_EQ(intoOld.after.entries[30].members, Ports({0, 1, 2}));
}

// Entries 1-30 in use, entry 0 free.
VlanImage FullAboveZero(int n) {
  VlanImage image = Cleared(n);
  for (int k = 1; k < 30; ++k) image.entries[k] = {Ports({9}), static_cast<uint32_t>(k + 1)};
  image.entries[30] = {Ports({0, 1}), 0};
  image.entries[kUnassignedEntry].members = AllPortsMask(n) & ~Ports({0, 1, 9});
  return image;
}

TEST_P(EachModel, AFullTableRefusesACombinedEntryEvenWithEntryZeroFree) {
  const VlanImage image = FullAboveZero(GetParam());
  const VlanRebuild r = Rebuild(image, AddPortBased(Ports({1, 2}), 29));
  ASSERT_TRUE(r.failure);
  EXPECT_EQ(*r.failure, "Failed!\nMaximum number of VLANs reached!\n");
  EXPECT_TRUE(r.writes.empty());
  // Without an overlap the same edit fits.
  EXPECT_FALSE(Rebuild(image, AddPortBased(Ports({3, 4}), 29)).failure);
}

TEST(VlanRebuild, ANewVlanNeedsAFreeEntryBeforeItsIdIsChecked) {
  VlanImage image = FullAboveZero(24);
  image.entries[0] = {Ports({9}), 1};
  const VlanRebuild r = Rebuild(image, AddTagged(Ports({3}), 0));
  ASSERT_TRUE(r.failure);
  EXPECT_EQ(*r.failure, "Failed!\nMaximum number of VLANs reached!\n");
}

TEST(VlanRebuild, VlanIdRangeAndDuplicates) {
  VlanImage image = Step(Cleared(24), AddPortBased(Ports({0})));
  image = Step(image, AddPortBased(Ports({1})));
  image = Step(image, AddTagged(Ports({2}), 100));  // VLAN 3

  for (uint32_t bad : {0u, 4095u, 4096u, 0xFFFFFu}) {
    const VlanRebuild r = Rebuild(image, AddTagged(Ports({5}), bad));
    ASSERT_TRUE(r.failure) << bad;
    EXPECT_EQ(*r.failure, "Failed!\nInvalid VLAN ID (use 1-4094)!\n") << bad;
  }
  const VlanRebuild top = Rebuild(image, AddTagged(Ports({5}), 4094));
  ASSERT_FALSE(top.failure);
  EXPECT_EQ(top.after.entries[3], (VlanEntryValue{Ports({5}), 4094}));

  const VlanRebuild dup = Rebuild(image, AddTagged(Ports({5}), 100));
  ASSERT_TRUE(dup.failure);
  EXPECT_EQ(*dup.failure, "Same Tag with VLAN 3!\n");
  // A VLAN may keep its own ID, but not take another's.
  EXPECT_FALSE(Rebuild(image, AddTagged(Ports({2, 6}), 100, 2)).failure);
  const VlanRebuild edit = Rebuild(image, AddTagged(Ports({2}), 100, 0));
  ASSERT_TRUE(edit.failure);
  EXPECT_EQ(*edit.failure, "Same Tag with VLAN 3!\n");
}

TEST_P(EachModel, DeletingALonePortVlanWritesItsEntryItsPortAndTheUnassignedEntry) {
  const int n = GetParam();
  VlanImage image = Step(Cleared(n), AddPortBased(Ports({3})));
  image = Step(image, AddPortBased(Ports({4, 5})));
  image = Step(image, AddTagged(Ports({3, 6}), 7));
  ASSERT_EQ(image.PortIndex(3), 0);
  const VlanRebuild r = Rebuild(image, Delete(0));
  ASSERT_FALSE(r.failure);
  // Port 3 falls back to the tag-based VLAN 3; entry 31 keeps its members.
  VlanWrites expected = {{0x030D, 0xE0E0 | 31 | 2 << 8}, {0x031D, 0}};
  if (n > 16) expected.push_back({0x031E, 0});
  EXPECT_EQ(r.writes, expected);

  // Without the tag-based VLAN the port becomes unassigned: entry 31 changes as well.
  image = Step(image, Delete(2));
  const VlanRebuild lone = Rebuild(image, Delete(0));
  const uint32_t unassigned = AllPortsMask(n) & ~Ports({4, 5});
  VlanWrites loneExpected = {{0x030D, 0xE0E0 | 31 | 31 << 8}, {0x031D, 0}};
  if (n > 16) loneExpected.push_back({0x031E, 0});
  loneExpected.push_back({0x037A, unassigned & 0xFFFF});
  if (n > 16) loneExpected.push_back({0x037B, unassigned >> 16});
  EXPECT_EQ(lone.writes, loneExpected);
}

TEST(VlanRebuild, SixteenPortModelStaysInsideItsRegisters) {
  VlanImage image = Cleared(16);
  std::vector<VlanWrites> lists = {DeleteAllLayout(16), HomeVlanLayout(16)};
  const VlanChange changes[] = {AddPortBased(Ports({0, 1, 15})), AddPortBased(Ports({1, 2})),
                                AddTagged(Ports({14, 15}), 4094), AddPortBased(Ports({15, 3})), Delete(1)};
  for (const VlanChange& c : changes) {
    VlanRebuild r = Rebuild(image, c);
    ASSERT_FALSE(r.failure);
    lists.push_back(r.writes);
    image = r.after;
  }
  for (const VlanWrites& list : lists) {
    for (const VlanWrite& w : list) {
      EXPECT_FALSE(w.reg >= 0x0314 && w.reg <= 0x0318) << std::hex << w.reg;
      EXPECT_FALSE(w.reg == 0x031B || w.reg == 0x031C) << std::hex << w.reg;
      EXPECT_FALSE(w.reg >= 0x031D && (w.reg - 0x031D) % 3 == 1) << std::hex << w.reg;
      EXPECT_LE(w.reg, 0x037C);
    }
  }
}

TEST(VlanLayouts, DeleteAll) {
  const VlanWrites w24 = DeleteAllLayout(24);
  ASSERT_EQ(w24.size(), 12u + 32 * 3);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(w24[i], (VlanWrite{static_cast<uint16_t>(0x030C + i), 0x1F1F}));
  EXPECT_EQ(w24[12], (VlanWrite{0x031D, 0}));
  EXPECT_EQ(w24[13], (VlanWrite{0x031E, 0}));
  EXPECT_EQ(w24[14], (VlanWrite{0x031F, 0}));
  const VlanWrites tail24(w24.end() - 3, w24.end());
  EXPECT_EQ(tail24, (VlanWrites{{0x037A, 0xFFFF}, {0x037B, 0x00FF}, {0x037C, 0}}));

  const VlanWrites w16 = DeleteAllLayout(16);
  ASSERT_EQ(w16.size(), 8u + 32 * 2);
  const VlanWrites tail16(w16.end() - 2, w16.end());
  EXPECT_EQ(tail16, (VlanWrites{{0x037A, 0xFFFF}, {0x037C, 0}}));
  EXPECT_EQ(DeleteAllLayout(26)[13 + 32 * 3 - 2], (VlanWrite{0x037B, 0x03FF}));
}

TEST_P(EachModel, HomeVlanLayout) {
  const int n = GetParam();
  const VlanWrites w = HomeVlanLayout(n);
  const int idxWords = n / 2, tagWords = (n + 7) / 8, perEntry = n > 16 ? 3 : 2;
  ASSERT_EQ(w.size(), static_cast<size_t>(1 + idxWords + tagWords + 32 * perEntry));
  EXPECT_EQ(w[0], (VlanWrite{0x030B, 0x0001}));
  EXPECT_EQ(w[1], (VlanWrite{0x030C, 0x0100}));
  EXPECT_EQ(w[idxWords], (VlanWrite{static_cast<uint16_t>(0x030C + idxWords - 1),
                                    static_cast<uint32_t>((n - 2) | (n - 1) << 8)}));
  for (int i = 0; i < tagWords; ++i)
    EXPECT_EQ(w[1 + idxWords + i], (VlanWrite{static_cast<uint16_t>(0x0319 + i), 0xFFFF}));

  VlanImage image = VlanImage::Empty(n);
  ApplyWrites(image, w);
  const uint32_t overlap = Ports({n - 2, n - 1});
  for (int k = 0; k < 32; ++k) {
    const uint32_t expected = k < n - 2 ? (1u << k) | overlap : k < n ? AllPortsMask(n) : 0;
    EXPECT_EQ(image.entries[k], (VlanEntryValue{expected, 0})) << k;
  }
  for (int p = 0; p < n; ++p) EXPECT_EQ(image.PortIndex(p), p);
  // The list shows VLANs 1 to n-2; the two all-port entries look combined.
  for (int k = 0; k < 31; ++k) EXPECT_EQ(IsListedVlan(image.entries, k), k < n - 2) << k;
  // A rebuild from the home layout keeps each VLAN and rebuilds the overlap as combined entries.
  const VlanImage rebuilt = Step(image, Delete(0));
  ExpectConsistent(rebuilt);
  EXPECT_EQ(rebuilt.entries[1].members, Ports({1, n - 2, n - 1}));
}

TEST(VlanHomeQuestion, TextPerModel) {
  EXPECT_EQ(HomeVlanQuestion(16, 9, 1),
            "VLAN settings will be reset to Home VLAN mode. In\n"
            "this mode, all ports belong to different VLAN with\n"
            "two overlapping ports (1,9).\n"
            "\n"
            "This mode can be saved as power on default by clicking\n"
            "Save to Hardware under System->Configurations.\n"
            "\nContinue?");
  EXPECT_NE(HomeVlanQuestion(24, 24, 23).find("(23,24).\n\nThis mode can be saved"), std::string::npos);
  EXPECT_EQ(HomeVlanQuestion(26, 25, 26),
            "VLAN settings will be reset to Home VLAN mode. In\n"
            "this mode, all ports belong to different VLAN with\n"
            "two overlapping ports (25,26).\n"
            "\nContinue?");
}

TEST(VlanList, RowsAndMemberTexts) {
  VlanTable t{};
  t[0] = {Ports({0, 1, 24}), 0};
  t[3] = {Ports({5}), 4094};
  t[4] = {Ports({0, 1, 24, 5}), 0};  // holds VLAN 1: combined, not listed
  t[31] = {Ports({2}), 0};
  std::vector<int> identity(26);
  for (int i = 0; i < 26; ++i) identity[i] = i;
  const VlanList list = BuildVlanList(t, 26, identity);
  EXPECT_EQ(list.table.columns,
            (std::vector<std::string>{"Vlan No.", "Port/Tag based", "Vlan ID", "Port##{Vlan Member}"}));
  ASSERT_EQ(list.table.rows.size(), 2u);
  EXPECT_EQ(list.table.rows[0], (std::vector<std::string>{"Vlan 1", "Port-Based", "", "1, 2, G1"}));
  EXPECT_EQ(list.table.rows[1], (std::vector<std::string>{"Vlan 4", "Tag-Based", "4094", "6"}));
  EXPECT_EQ(list.rowEntries, (std::vector<int>{0, 3}));

  // Members are shown by position, in position order, through the port map.
  std::vector<int> swapped(24);
  for (int f = 0; f < 24; ++f) swapped[f] = f ^ 1;
  VlanTable t24{};
  t24[0] = {Ports({0, 3, 23}), 0};
  EXPECT_EQ(BuildVlanList(t24, 24, swapped).table.rows.at(0).at(3), "2, 3, 23");
}

TEST(VlanList, RowTextGivesTheEntry) {
  EXPECT_EQ(VlanEntryFromRowText("Vlan 1"), 0);
  EXPECT_EQ(VlanEntryFromRowText("Vlan 31"), 30);
  EXPECT_EQ(VlanEntryFromRowText("Vlan 32"), 31);
  EXPECT_EQ(VlanEntryFromRowText("Vlan"), -1);
  EXPECT_EQ(VlanEntryFromRowText("Vlan x"), -1);
  EXPECT_EQ(VlanEntryFromRowText("Vlan 99999999999999"), 999'999);
}

}  // namespace
}  // namespace brisfell
