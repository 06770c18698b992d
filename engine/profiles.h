// Per-model constants: port count, name, port maps, trunk groups, the register list that
// configuration files and the factory default use, and the EEPROM image of the settings.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace brisfell {

constexpr int kMaxChipPorts = 26;
constexpr uint32_t kKnownMakerCode = 0x6B2D;

// One row of a FactoryDefaultList: register, value of the last configuration save, mask,
// power-on default.
struct FactoryDefaultRow {
  uint32_t reg = 0;
  uint32_t value = 0;
  uint32_t mask = 0;
  uint32_t factoryDefault = 0;
};
using FactoryDefaultList = std::vector<FactoryDefaultRow>;

// One row of an EepromImageMap: (register AND mask) lives at EEPROM address, low byte first.
struct EepromImageRow {
  uint32_t address = 0;
  uint32_t reg = 0;
  uint32_t mask = 0;
};
using EepromImageMap = std::vector<EepromImageRow>;

using TrunkGroup = std::array<uint8_t, 4>;
using TrunkGroupTable = std::vector<TrunkGroup>;

enum class ProfileKind { Port16, Port24, Generic };

struct ModelProfile {
  ProfileKind kind = ProfileKind::Generic;
  int portCount = 26;
  std::string modelName;  // "Switch %d" for the generic profile, filled per record
  std::array<uint8_t, kMaxChipPorts> portList{};  // L: chipToPort[i] = L[i] for i < portCount
  TrunkGroupTable trunkGroups;
  bool accessControl = false;
  bool keySettable = false;
};

// The profile for a vendor identifier (the generic one for anything not listed).
ModelProfile ProfileForVendor(uint32_t vendorId);
ProfileKind ProfileKindForVendor(uint32_t vendorId);

// The generated tables of each profile kind.
FactoryDefaultList BuildFactoryDefaultList(ProfileKind kind);
EepromImageMap BuildEepromImageMap(ProfileKind kind);

}  // namespace brisfell
