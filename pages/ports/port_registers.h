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
#include "pages/common/fields.h"
#include "pages/common/trunk_groups.h"

namespace brisfell {


constexpr uint8_t kAutoFlag = 0x80;

// Which register holds chip port k's byte in a block starting at `base`.
inline uint16_t PairRegister(uint16_t base, int chip) { return PortField{base, 2, 8, 0, 8}.Register(chip); }
inline uint8_t PortByte(uint32_t value, int chip) {
  return static_cast<uint8_t>(port_field::kBandwidthByte.Get(value, chip));
}
// The register value with chip port k's byte replaced; everything else as given.
inline uint32_t WithPortByte(uint32_t value, int chip, uint8_t byte) {
  return port_field::kBandwidthByte.With(value, chip, byte);
}
inline uint16_t DisableRegister(int chip) { return port_field::kDisable.Register(chip); }
inline uint32_t DisableMask(int chip) { return port_field::kDisable.Of(chip).Mask(); }

// Bandwidth code texts: as the lists show them, and as the dialogs offer them.
extern const std::array<const char*, 8> kBandwidthPageTexts;
extern const std::array<const char*, 8> kBandwidthDialogTexts;
// Pause code texts (bits 5-6 of the advertise byte).
extern const std::array<const char*, 4> kPauseTexts;

// Fields of a port's byte (the byte of an even chip port sits where the field tables put chip 0).
inline int RxBandwidthCode(uint8_t b) { return static_cast<int>(port_field::kRxBandwidth.Get(b, 0)); }
inline int TxBandwidthCode(uint8_t b) { return static_cast<int>(port_field::kTxBandwidth.Get(b, 0)); }
inline int PauseCode(uint8_t a) { return static_cast<int>(port_field::kPause.Get(a, 0)); }
inline uint8_t Abilities(uint8_t a) { return static_cast<uint8_t>(port_field::kAbilities.Get(a, 0)); }

// "Speed Duplex" of the configuration list: the highest advertised ability, or "Auto" when
// the auto flag is set with all abilities, or "Error" when none is advertised.
std::string AdvertisedSpeedText(uint8_t advertise);

// Registers read in one pipelined batch: Add and AddRange list them, ReadAll reads them all
// (true only when every one was read; LastFailure of the engine says what failed). Read and
// ReadRange add and read at once.
class RegisterReader {
 public:
  RegisterReader(Engine& engine, int sw) : engine_(engine), switch_(sw) {}
  RegisterReader& Add(uint16_t reg);
  RegisterReader& AddRange(uint16_t first, int count);
  bool ReadAll();
  bool Read(uint16_t reg) { return Add(reg).ReadAll(); }
  bool ReadRange(uint16_t first, int count) { return AddRange(first, count).ReadAll(); }
  uint32_t operator[](uint16_t reg) const;
  const std::map<uint16_t, uint32_t>& Values() const { return values_; }

 private:
  Engine& engine_;
  int switch_;
  std::vector<uint16_t> pending_;
  std::map<uint16_t, uint32_t> values_;
};

// Shown row of a chip port below the port count (the record's own map, as MapChipToPort).
inline int RowOfChip(const SwitchRecord& record, int chip) { return record.chipToPort[chip]; }

}  // namespace brisfell
