// One discovered switch, as the hello reply described it, completed by its model profile.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "engine/profiles.h"
#include "engine/types.h"

namespace brisfell {

constexpr int kMaxSwitches = 64;

struct SwitchRecord {
  int index = 0;
  Mac mac{};
  uint8_t downLinkPort = 0;
  Mac upLinkMac{};
  uint8_t upLinkPort = 0;
  uint16_t chipId = 0;
  uint32_t vendorId = 0;
  KeyBytes authKey = kDefaultKeyBytes;  // high byte first, as received

  // From the model profile.
  ProfileKind profile = ProfileKind::Generic;
  int portCount = 0;
  std::string modelName;
  std::array<uint8_t, kMaxChipPorts> chipToPort{};
  std::array<uint8_t, kMaxChipPorts> portToChip{};
  TrunkGroupTable trunkGroups;
  // Shared per profile and owned by the engine, constant: a configuration save fills a copy.
  const FactoryDefaultList* factoryDefaults = nullptr;
  const EepromImageMap* eepromMap = nullptr;
  bool accessControl = false;
  bool keySettable = false;

  uint16_t AuthKey() const { return KeyValue(authKey); }
};

}  // namespace brisfell
