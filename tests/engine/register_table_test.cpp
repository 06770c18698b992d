// The register table: one name and role per register, fields that fit their register, and
// captions that name the chip ports a per-port register holds.
#include <gtest/gtest.h>

#include "engine/profiles.h"
#include "engine/registers.h"

namespace brisfell {
namespace {

TEST(RegisterTable, BlocksAreOrderedDisjointAndTheirFieldsFit) {
  const auto& table = RegisterTable();
  ASSERT_FALSE(table.empty());
  for (size_t i = 0; i < table.size(); ++i) {
    const RegisterBlock& b = table[i];
    SCOPED_TRACE(RegisterCaption(b.first));
    if (i > 0) {
      EXPECT_LE(table[i - 1].first, b.first);
    }
    // No register lies in two blocks.
    for (int k = 0; k < b.count; ++k) {
      const auto reg = static_cast<uint16_t>(b.first + k * b.stride);
      EXPECT_EQ(FindRegister(reg), &b) << std::hex << reg;
    }
    // A per-port block's fields lie inside one port's share; the others inside the register.
    const int room = b.portsPerRegister == 0 || b.portsPerRegister >= kMaxChipPorts
                         ? (b.role == RegisterRole::Counter ? 32 : 16)
                         : (b.role == RegisterRole::Counter ? 32 : 16) / b.portsPerRegister;
    uint32_t used = 0;
    for (const RegisterBits& f : b.bits) {
      EXPECT_LE(f.shift + f.width, room) << f.meaning;
      const uint32_t mask = (f.width >= 32 ? ~0u : (1u << f.width) - 1u) << f.shift;
      EXPECT_EQ(used & mask, 0u) << f.meaning << " overlaps another field";
      used |= mask;
    }
  }
}

TEST(RegisterTable, OneNameARegisterAndSettingsForEveryListedRegister) {
  const std::pair<uint16_t, const char*> names[] = {
      {kRegReset, "Reset"},           {kRegGlobalControl, "GlobalControl"}, {kRegUnauthorisedHigh, "UnauthorisedPorts"},
      {kRegAuthKey, "AuthKey"},       {kRegEepromControl, "EepromControl"}, {kRegPortStatus + 12, "PortStatus"},
      {kRegVlanTable + 95, "VlanTable"}, {kRegMibLast, "MibCounter"},       {0x0300, "0x0300"},
      {0x0555, "0x0555"},
  };
  for (const auto& [reg, name] : names) EXPECT_EQ(RegisterName(reg), name) << std::hex << reg;

  // What a configuration file carries and a factory default writes is a setting: the emulator
  // keeps settings in its state file and lets the wire change them.
  for (ProfileKind kind : {ProfileKind::Port16, ProfileKind::Port24, ProfileKind::Generic})
    for (const auto& row : BuildFactoryDefaultList(kind))
      EXPECT_EQ(RoleOf(static_cast<uint16_t>(row.reg)), RegisterRole::Setting) << std::hex << row.reg;
  EXPECT_EQ(RoleOf(kRegPortStatus), RegisterRole::Status);
  EXPECT_EQ(RoleOf(kRegIgmpRouterPorts), RegisterRole::Status);
  EXPECT_EQ(RoleOf(kRegMibCounter3 + 25), RegisterRole::Counter);
  EXPECT_EQ(RoleOf(kRegEepromData), RegisterRole::Eeprom);
  EXPECT_EQ(RoleOf(kRegReset), RegisterRole::Command);
  EXPECT_EQ(RoleOf(0x0555), RegisterRole::Setting) << "an unknown register is kept as written";

  EXPECT_EQ(RegisterCaption(0x0202), "management-unauthorised ports, chip ports 16-25");
  EXPECT_EQ(RegisterCaption(0x031C), "PortTagControl, chip ports 24-25");
  EXPECT_EQ(RegisterCaption(kRegMibLast), "MibCounter 3, chip port 25");
  EXPECT_EQ(RegisterCaption(kRegLoopPorts), "loop ports");
}

}  // namespace
}  // namespace brisfell
