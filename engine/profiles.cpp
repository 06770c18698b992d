#include "engine/profiles.h"

namespace brisfell {
namespace {

void Row(FactoryDefaultList& list, uint32_t reg, uint32_t mask, uint32_t def) {
  list.push_back({reg, 0, mask, def});
}

void Rows(FactoryDefaultList& list, uint32_t first, uint32_t last, uint32_t mask, uint32_t def) {
  for (uint32_t r = first; r <= last; ++r) Row(list, r, mask, def);
}

// PortVlanIndex power-on default: chip port p indexes entry p.
void PortIndexRows(FactoryDefaultList& list, uint32_t last) {
  for (uint32_t r = 0x030C; r <= last; ++r) {
    const uint32_t i = r - 0x030C;
    Row(list, r, 0xFFFF, ((2 * i + 1) << 8) + 2 * i);
  }
}

FactoryDefaultList Port16Defaults() {
  FactoryDefaultList l;
  Row(l, 0x0200, 0x0006, 0x0000);
  Row(l, 0x0201, 0xFFFF, 0x0000);
  Rows(l, 0x020A, 0x0211, 0xFFFF, 0x0000);
  for (uint32_t r : {0x0219u, 0x021Bu, 0x021Du}) Row(l, r, 0xFFFF, 0x0000);
  Row(l, 0x0300, 0x000F, 0x0000);
  Row(l, 0x0301, 0xFFFF, 0x0000);
  Row(l, 0x0307, 0x001E, 0x8200);
  Row(l, 0x0308, 0x0001, 0x0000);
  Row(l, 0x030B, 0x007F, 0x0000);
  PortIndexRows(l, 0x0313);
  Rows(l, 0x0319, 0x031A, 0xFFFF, 0xFFFF);
  for (uint32_t k = 0; k < 32; ++k) {
    uint32_t members = k <= 13 ? 0xC000 + (1u << k) : k <= 15 ? 0xFFFF : 0x0000;
    Row(l, 0x031D + 3 * k, 0xFFFF, members);
    Row(l, 0x031F + 3 * k, 0x0FFF, 0x0000);
  }
  Row(l, 0x037D, 0xFFFF, 0x0000);
  Row(l, 0x0400, 0x001F, 0x0010);
  Row(l, 0x0401, 0xFFFF, 0x0000);
  Row(l, 0x0607, 0x001F, 0x0010);
  Row(l, 0x0608, 0xFFFF, 0x0000);
  Rows(l, 0x060A, 0x0611, 0xFFFF, 0xAFAF);
  Rows(l, 0x0700, 0x0707, 0x0FFF, 0x0555);
  return l;
}

FactoryDefaultList Port24Defaults() {
  FactoryDefaultList l;
  Row(l, 0x0200, 0x0006, 0x0000);
  Row(l, 0x0201, 0xFFFF, 0x0000);
  Row(l, 0x0202, 0x00FF, 0x0000);
  Rows(l, 0x020A, 0x0215, 0xFFFF, 0x0000);
  for (uint32_t r = 0x0219; r <= 0x021E; ++r) Row(l, r, (r & 1) ? 0xFFFF : 0x00FF, 0x0000);
  Row(l, 0x0300, 0x000F, 0x0000);
  Row(l, 0x0301, 0xFFFF, 0x0000);
  Row(l, 0x0302, 0x00FF, 0x0000);
  Row(l, 0x0307, 0x007E, 0x8200);
  Row(l, 0x0308, 0x0001, 0x0000);
  Row(l, 0x030B, 0x007F, 0x0000);
  PortIndexRows(l, 0x0317);
  Rows(l, 0x0319, 0x031B, 0xFFFF, 0xFFFF);
  for (uint32_t k = 0; k < 32; ++k) {
    uint32_t low = 0, high = 0;
    if (k <= 15) {
      low = 1u << k;
      high = 0x00C0;
    } else if (k <= 21) {
      high = 0x00C0 + (1u << (k - 16));
    } else if (k <= 23) {
      low = 0xFFFF;
      high = 0x00FF;
    }
    Row(l, 0x031D + 3 * k, 0xFFFF, low);
    Row(l, 0x031E + 3 * k, 0x00FF, high);
    Row(l, 0x031F + 3 * k, 0x0FFF, 0x0000);
  }
  Row(l, 0x037D, 0xFFFF, 0x0000);
  Row(l, 0x037E, 0x00FF, 0x0000);
  Row(l, 0x0400, 0x001F, 0x0010);
  Row(l, 0x0401, 0xFFFF, 0x0000);
  Row(l, 0x0402, 0x00FF, 0x0000);
  Row(l, 0x0607, 0x001F, 0x0010);
  Row(l, 0x0608, 0xFFFF, 0x0000);
  Row(l, 0x0609, 0x00FF, 0x0000);
  Rows(l, 0x060A, 0x0615, 0xFFFF, 0xAFAF);
  Rows(l, 0x0700, 0x070B, 0x0FFF, 0x0555);
  return l;
}

FactoryDefaultList GenericDefaults() {
  FactoryDefaultList l;
  Row(l, 0x0200, 0x0007, 0x0000);
  Row(l, 0x0201, 0xFFFF, 0x0000);
  Row(l, 0x0202, 0x03FF, 0x0000);
  Rows(l, 0x020A, 0x0216, 0xFFFF, 0x0000);
  Row(l, 0x0307, 0x00FF, 0x0000);
  Row(l, 0x0308, 0x0001, 0x0001);
  Row(l, 0x030B, 0x007F, 0x0041);
  Rows(l, 0x030C, 0x0318, 0xFFFF, 0x0000);
  Rows(l, 0x0319, 0x031C, 0xFFFF, 0xFFFF);
  for (uint32_t k = 0; k < 32; ++k) {
    Row(l, 0x031D + 3 * k, 0xFFFF, k == 0 ? 0xFFFF : 0);
    Row(l, 0x031E + 3 * k, 0x03FF, k == 0 ? 0x03FF : 0);
    Row(l, 0x031F + 3 * k, 0x0FFF, 0x0000);
  }
  Row(l, 0x0400, 0x001F, 0x0000);
  Row(l, 0x0401, 0xFFFF, 0x0000);
  Row(l, 0x0402, 0x03FF, 0x0000);
  Row(l, 0x0607, 0x001F, 0x0010);
  Row(l, 0x0608, 0xFFFF, 0x0000);
  Row(l, 0x0609, 0x03FF, 0x0000);
  Rows(l, 0x060A, 0x0615, 0xFFFF, 0xAFAF);
  Row(l, 0x0616, 0xFFFF, 0xBFBF);
  Rows(l, 0x0700, 0x070C, 0x0FFF, 0x0555);
  return l;
}

EepromImageMap Port16Map() {
  EepromImageMap m;
  auto add = [&m](uint32_t address, uint32_t reg, uint32_t mask) { m.push_back({address, reg, mask}); };
  add(0x000C, 0x0200, 0xFFFF);
  add(0x000E, 0x0201, 0xFFFF);
  add(0x0010, 0x0202, 0xFFFF);
  for (uint32_t j = 0; j <= 13; ++j) add(0x006A + 2 * j, 0x0209 + j, 0xFFFF);
  add(0x0022, 0x0300, 0x000F);
  add(0x0024, 0x0307, 0xFFFF);
  add(0x0026, 0x0308, 0x0001);
  add(0x0028, 0x030B, 0x007F);
  for (uint32_t j = 0; j <= 110; ++j) add(0x0092 + 2 * j, 0x030C + j, 0xFFFF);
  // 0x037B and 0x037C continue the rule of the registers before them, so that no two
  // registers share an EEPROM word.
  add(0x0170, 0x037B, 0xFFFF);
  add(0x0172, 0x037C, 0xFFFF);
  add(0x002E, 0x0400, 0x001F);
  add(0x0030, 0x0401, 0xFFFF);
  add(0x0032, 0x0402, 0xFFFF);
  add(0x0038, 0x0607, 0x001F);
  add(0x017C, 0x0608, 0xFFFF);
  add(0x017E, 0x0609, 0xFFFF);
  for (uint32_t j = 0; j <= 7; ++j) add(0x003A + 2 * j, 0x060A + j, 0xFFFF);
  add(0x019A, 0x037D, 0xFFFF);
  add(0x019C, 0x037E, 0xFFFF);
  // The six words from 0x019E hold registers 0x0219 to 0x021E in turn.
  for (uint32_t j = 0; j <= 5; ++j) add(0x019E + 2 * j, 0x0219 + j, 0xFFFF);
  return m;
}

EepromImageMap Port24Map() {
  EepromImageMap m = {
      {0x000E, 0x0201, 0xFFFF}, {0x0010, 0x0202, 0x00FF}, {0x0022, 0x0300, 0x000F},
      {0x0024, 0x0307, 0xFFFF}, {0x0026, 0x0308, 0x0001}, {0x0028, 0x030B, 0x007F},
      {0x002E, 0x0400, 0x001F}, {0x0030, 0x0401, 0xFFFF}, {0x0032, 0x0402, 0x00FF},
      {0x0038, 0x0607, 0x001F},
  };
  for (uint32_t j = 0; j <= 11; ++j) m.push_back({0x003A + 2 * j, 0x060A + j, 0xFFFF});
  return m;
}

}  // namespace

ProfileKind ProfileKindForVendor(uint32_t vendorId) {
  switch (vendorId) {
    case 0x6B2D7001:
    case 0x6B2D7003:
    case 0x6B2D7004:
      return ProfileKind::Port16;
    case 0x6B2D7002:
      return ProfileKind::Port24;
    default:
      return ProfileKind::Generic;
  }
}

ModelProfile ProfileForVendor(uint32_t vendorId) {
  ModelProfile p;
  p.kind = ProfileKindForVendor(vendorId);
  switch (p.kind) {
    case ProfileKind::Port16:
      p.portCount = 16;
      p.modelName = "LM8816";
      p.portList = {7, 15, 6, 14, 5, 13, 4, 12, 3, 11, 2, 10, 1, 9, 8, 0};
      p.trunkGroups = {{2, 0, 3, 1}, {6, 4, 7, 5}, {10, 8, 11, 9}, {15, 12, 14, 13}};
      p.accessControl = vendorId == 0x6B2D7003;
      p.keySettable = vendorId == 0x6B2D7004;
      break;
    case ProfileKind::Port24:
      p.portCount = 24;
      p.modelName = "TGR7724";
      for (int c = 0; c < 24; ++c) p.portList[c] = static_cast<uint8_t>(c ^ 1);
      p.trunkGroups = {{1, 0, 3, 2},     {5, 4, 7, 6},     {9, 8, 11, 10},
                       {13, 12, 15, 14}, {17, 16, 19, 18}, {21, 20, 23, 22}};
      break;
    case ProfileKind::Generic:
      p.portCount = 26;
      p.modelName = "Switch %d";
      for (int c = 0; c < 26; ++c) p.portList[c] = static_cast<uint8_t>(c);
      break;
  }
  return p;
}

FactoryDefaultList BuildFactoryDefaultList(ProfileKind kind) {
  switch (kind) {
    case ProfileKind::Port16:
      return Port16Defaults();
    case ProfileKind::Port24:
      return Port24Defaults();
    case ProfileKind::Generic:
      break;
  }
  return GenericDefaults();
}

EepromImageMap BuildEepromImageMap(ProfileKind kind) {
  switch (kind) {
    case ProfileKind::Port16:
      return Port16Map();
    case ProfileKind::Port24:
      return Port24Map();
    case ProfileKind::Generic:
      break;
  }
  return {};
}

}  // namespace brisfell
