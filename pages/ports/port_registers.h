// The per-port configuration registers, their texts, and the register reads every port page
// shares. Two chip ports share a 16-bit per-port register: chip port k owns bits 0-7 (even k)
// or 8-15 (odd k) of base + k/2.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "engine/engine.h"

namespace brisfell {

constexpr uint16_t kRegPortInterface = 0x0100;  // bits 2, 3: chip port 24, 25 is TBI
constexpr uint16_t kRegTrunkEnable = 0x0307;
constexpr uint16_t kRegPortDisable = 0x0608;    // two registers, one bit a chip port
constexpr uint16_t kRegPortBandwidth = 0x020A;  // 13 registers
constexpr uint16_t kRegPortAdvertise = 0x060A;  // 13 registers
constexpr uint16_t kRegPortStatus = 0x0619;     // 13 registers, read only
constexpr int kPortPairRegisters = 13;
constexpr uint32_t kSoftResetCommand = 0x0001;

constexpr uint8_t kAutoFlag = 0x80;

// Which register holds chip port k's byte in a block starting at `base`.
inline uint16_t PairRegister(uint16_t base, int chip) { return static_cast<uint16_t>(base + chip / 2); }
inline uint8_t PortByte(uint32_t value, int chip) {
  return static_cast<uint8_t>((value >> ((chip & 1) * 8)) & 0xFF);
}
// The register value with chip port k's byte replaced; everything else as given.
inline uint32_t WithPortByte(uint32_t value, int chip, uint8_t byte) {
  const int shift = (chip & 1) * 8;
  return (value & ~(0xFFu << shift)) | (static_cast<uint32_t>(byte) << shift);
}
inline uint16_t DisableRegister(int chip) { return static_cast<uint16_t>(kRegPortDisable + chip / 16); }
inline uint32_t DisableMask(int chip) { return 1u << (chip % 16); }

// Bandwidth code texts: as the lists show them, and as the dialogs offer them.
extern const std::array<const char*, 8> kBandwidthPageTexts;
extern const std::array<const char*, 8> kBandwidthDialogTexts;
// Pause code texts (bits 5-6 of the advertise byte).
extern const std::array<const char*, 4> kPauseTexts;

inline int RxBandwidthCode(uint8_t b) { return b & 0x07; }
inline int TxBandwidthCode(uint8_t b) { return (b >> 4) & 0x07; }
inline int PauseCode(uint8_t a) { return (a >> 5) & 0x03; }
inline uint8_t Abilities(uint8_t a) { return a & 0x1F; }

// "Speed Duplex" of the configuration list: the highest advertised ability, or "Auto" when
// the auto flag is set with all abilities, or "Error" when none is advertised.
std::string AdvertisedSpeedText(uint8_t advertise);

// "Trunk Setting" texts indexed by shown row (n = the switch's port count). Switches with more
// than 24 ports have eight fixed groups ("Trunked"/"none"); smaller ones take n/4 groups from
// their model's table ("Trunk %d"/"none"); a row in no group stays "".
std::vector<std::string> TrunkSettingTexts(const SwitchRecord& record, uint32_t trunkEnable);

// Registers read in a fixed order; the first failed read ends the sequence.
class RegisterReader {
 public:
  RegisterReader(Engine& engine, int sw) : engine_(engine), switch_(sw) {}
  bool Read(uint16_t reg);
  bool ReadRange(uint16_t first, int count);
  // Up to `tries` attempts for one register.
  bool ReadWithRetries(uint16_t reg, int tries);
  uint32_t operator[](uint16_t reg) const;
  const std::map<uint16_t, uint32_t>& Values() const { return values_; }

 private:
  Engine& engine_;
  int switch_;
  std::map<uint16_t, uint32_t> values_;
};

// Shown row of a chip port below the port count (the record's own map, as MapChipToPort).
inline int RowOfChip(const SwitchRecord& record, int chip) { return record.chipToPort[chip]; }

}  // namespace brisfell
