#include <gtest/gtest.h>

#include <set>

#include "engine/profiles.h"

namespace brisfell {
namespace {

const FactoryDefaultRow* FindRow(const FactoryDefaultList& l, uint32_t reg) {
  for (const auto& r : l)
    if (r.reg == reg) return &r;
  return nullptr;
}

TEST(Profiles, FactoryDefaultListsHaveTheirRowsInOrder) {
  auto p16 = BuildFactoryDefaultList(ProfileKind::Port16);
  auto p24 = BuildFactoryDefaultList(ProfileKind::Port24);
  auto gen = BuildFactoryDefaultList(ProfileKind::Generic);
  EXPECT_EQ(p16.size(), 113u);
  EXPECT_EQ(p24.size(), 170u);
  EXPECT_EQ(gen.size(), 164u);
  for (const auto* l : {&p16, &p24, &gen}) {
    EXPECT_EQ(l->front().reg, 0x0200u);
    EXPECT_EQ(l->back().reg, l == &p16 ? 0x0707u : l == &p24 ? 0x070Bu : 0x070Cu);
    std::set<uint32_t> regs;
    uint32_t last = 0;
    for (const auto& r : *l) {
      EXPECT_TRUE(regs.insert(r.reg).second) << std::hex << r.reg << " listed twice";
      EXPECT_EQ(r.value, 0u) << "no save yet";
      // Only the trunk register carries default bits beyond what files keep of it.
      if (r.reg != 0x0307) {
        EXPECT_EQ(r.factoryDefault & ~r.mask, 0u) << std::hex << r.reg;
      }
      // Ascending except that each VLAN entry lists members before its VLAN ID.
      EXPECT_GT(r.reg, last);
      last = r.reg;
    }
  }
}

TEST(Profiles, FactoryDefaultSpotValues) {
  auto p16 = BuildFactoryDefaultList(ProfileKind::Port16);
  EXPECT_EQ(FindRow(p16, 0x0307)->factoryDefault, 0x8200u);
  EXPECT_EQ(FindRow(p16, 0x0307)->mask, 0x001Eu);
  EXPECT_EQ(FindRow(p16, 0x0313)->factoryDefault, 0x0F0Eu);
  EXPECT_EQ(FindRow(p16, 0x031D)->factoryDefault, 0xC001u);            // k = 0
  EXPECT_EQ(FindRow(p16, 0x031D + 3 * 13)->factoryDefault, 0xE000u);   // k = 13
  EXPECT_EQ(FindRow(p16, 0x031D + 3 * 14)->factoryDefault, 0xFFFFu);   // overlapping ports
  EXPECT_EQ(FindRow(p16, 0x031D + 3 * 16)->factoryDefault, 0x0000u);
  EXPECT_EQ(FindRow(p16, 0x031E), nullptr) << "no high member registers on 16 ports";
  EXPECT_EQ(FindRow(p16, 0x0611)->factoryDefault, 0xAFAFu);
  EXPECT_EQ(FindRow(p16, 0x0700)->factoryDefault, 0x0555u);

  auto p24 = BuildFactoryDefaultList(ProfileKind::Port24);
  EXPECT_EQ(FindRow(p24, 0x021A)->mask, 0x00FFu);
  EXPECT_EQ(FindRow(p24, 0x021B)->mask, 0xFFFFu);
  EXPECT_EQ(FindRow(p24, 0x0317)->factoryDefault, 0x1716u);
  EXPECT_EQ(FindRow(p24, 0x031E + 3 * 0)->factoryDefault, 0x00C0u);
  EXPECT_EQ(FindRow(p24, 0x031E + 3 * 17)->factoryDefault, 0x00C2u);
  EXPECT_EQ(FindRow(p24, 0x031D + 3 * 22)->factoryDefault, 0xFFFFu);
  EXPECT_EQ(FindRow(p24, 0x031E + 3 * 23)->factoryDefault, 0x00FFu);
  EXPECT_EQ(FindRow(p24, 0x031D + 3 * 24)->factoryDefault, 0x0000u);

  auto gen = BuildFactoryDefaultList(ProfileKind::Generic);
  EXPECT_EQ(FindRow(gen, 0x030B)->factoryDefault, 0x0041u);
  EXPECT_EQ(FindRow(gen, 0x0616)->factoryDefault, 0xBFBFu);
  EXPECT_EQ(FindRow(gen, 0x031E)->factoryDefault, 0x03FFu);
  EXPECT_EQ(FindRow(gen, 0x0308)->factoryDefault, 0x0001u);
}

TEST(Profiles, EepromImageMapsNeverShareAWord) {
  EXPECT_EQ(BuildEepromImageMap(ProfileKind::Port16).size(), 156u);
  EXPECT_EQ(BuildEepromImageMap(ProfileKind::Port24).size(), 22u);
  EXPECT_EQ(BuildEepromImageMap(ProfileKind::Generic).size(), 0u);
  for (auto kind : {ProfileKind::Port16, ProfileKind::Port24}) {
    std::set<uint32_t> bytes, regs;
    for (const auto& row : BuildEepromImageMap(kind)) {
      EXPECT_TRUE(bytes.insert(row.address).second) << std::hex << row.address;
      EXPECT_TRUE(bytes.insert(row.address + 1).second) << std::hex << row.address + 1;
      EXPECT_TRUE(regs.insert(row.reg).second) << std::hex << row.reg << " saved twice";
      EXPECT_LT(row.address + 1, 2048u);
      EXPECT_FALSE(row.address <= 29 && row.address + 1 >= 26) << "the vendor copy is not overwritten";
    }
  }
}

TEST(Profiles, EepromImageMapSpotRows) {
  auto m16 = BuildEepromImageMap(ProfileKind::Port16);
  EXPECT_EQ(m16[0].address, 0x000Cu);
  EXPECT_EQ(m16[3].reg, 0x0209u);
  EXPECT_EQ(m16[3].address, 0x006Au);
  EXPECT_EQ(m16[17].reg, 0x0300u);
  EXPECT_EQ(m16[17].mask, 0x000Fu);
  EXPECT_EQ(m16[21].reg, 0x030Cu);
  EXPECT_EQ(m16[21].address, 0x0092u);
  EXPECT_EQ(m16[131].reg, 0x037Au);
  EXPECT_EQ(m16[132].reg, 0x037Bu);
  EXPECT_EQ(m16[132].address, 0x0170u);
  EXPECT_EQ(m16[133].address, 0x0172u);
  EXPECT_EQ(m16[138].address, 0x017Cu);
  EXPECT_EQ(m16[148].reg, 0x037Du);
  for (int j = 0; j < 6; ++j) {
    EXPECT_EQ(m16[150 + j].address, 0x019Eu + 2 * j);
    EXPECT_EQ(m16[150 + j].reg, 0x0219u + j);
  }
  auto m24 = BuildEepromImageMap(ProfileKind::Port24);
  EXPECT_EQ(m24[1].mask, 0x00FFu);
  EXPECT_EQ(m24[21].address, 0x003Au + 22);
  EXPECT_EQ(m24[21].reg, 0x0615u);
}

TEST(Profiles, ModelsByVendor) {
  auto p = ProfileForVendor(0x6B2D7003);
  EXPECT_EQ(p.portCount, 16);
  EXPECT_TRUE(p.accessControl);
  EXPECT_FALSE(p.keySettable);
  EXPECT_TRUE(ProfileForVendor(0x6B2D7004).keySettable);
  EXPECT_EQ(ProfileForVendor(0x6B2D7002).trunkGroups.size(), 6u);
  EXPECT_EQ(ProfileForVendor(0x6B2D7005).kind, ProfileKind::Generic);
  EXPECT_EQ(ProfileForVendor(0x6B2D7001).trunkGroups[3], (TrunkGroup{15, 12, 14, 13}));
  // The 16-port list is a permutation of its ports.
  std::set<int> shown(p.portList.begin(), p.portList.begin() + 16);
  EXPECT_EQ(shown.size(), 16u);
  EXPECT_EQ(*shown.rbegin(), 15);
}

}  // namespace
}  // namespace brisfell
