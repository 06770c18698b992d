// Register fields declared as data. A `BitField` is some bits of one register; a `PortField`
// is the same field repeated for every chip port through a block of registers. The per-port
// layouts of the chip are declared once here; page tables (form.h) bind fields to controls.
#pragma once

#include <cstdint>

#include "engine/registers.h"

namespace brisfell {

// `width` bits from bit `shift` of register `reg`.
struct BitField {
  uint16_t reg = 0;
  uint8_t shift = 0;
  uint8_t width = 1;

  constexpr uint32_t Mask() const { return ((width >= 32 ? 0u : 1u << width) - 1u) << shift; }
  constexpr uint32_t Get(uint32_t value) const { return (value & Mask()) >> shift; }
  // `value` with this field replaced by `field`; every other bit as given.
  constexpr uint32_t With(uint32_t value, uint32_t field) const {
    return (value & ~Mask()) | ((field << shift) & Mask());
  }
  constexpr bool operator==(const BitField&) const = default;
};

// A field repeated for every chip port: chip port k's copy sits in register
// base + k / perRegister, at bit (k % perRegister) * stride + shift.
struct PortField {
  uint16_t base = 0;
  uint8_t perRegister = 2;
  uint8_t stride = 8;
  uint8_t shift = 0;
  uint8_t width = 8;

  constexpr uint16_t Register(int chip) const { return static_cast<uint16_t>(base + chip / perRegister); }
  constexpr BitField Of(int chip) const {
    return {Register(chip), static_cast<uint8_t>(shift + (chip % perRegister) * stride), width};
  }
  constexpr uint32_t Get(uint32_t registerValue, int chip) const { return Of(chip).Get(registerValue); }
  constexpr uint32_t With(uint32_t registerValue, int chip, uint32_t field) const {
    return Of(chip).With(registerValue, field);
  }
  // How many registers hold chip ports 0 to ports - 1.
  constexpr int RegisterCount(int ports) const { return (ports + perRegister - 1) / perRegister; }
};

// The fault register's bit for a detected network loop; the loop ports are then in kLoopPort.
inline constexpr BitField kLoopFault{kRegFaultStatus, 2, 1};

// The chip's per-port layouts.
namespace port_field {
// Two chip ports a register, a byte each.
inline constexpr PortField kBandwidthByte{kRegPortBandwidth, 2, 8, 0, 8};
inline constexpr PortField kRxBandwidth{kRegPortBandwidth, 2, 8, 0, 3};
inline constexpr PortField kTxBandwidth{kRegPortBandwidth, 2, 8, 4, 3};
inline constexpr PortField kAdvertiseByte{kRegPortAdvertise, 2, 8, 0, 8};
inline constexpr PortField kAbilities{kRegPortAdvertise, 2, 8, 0, 5};
inline constexpr PortField kPause{kRegPortAdvertise, 2, 8, 5, 2};
inline constexpr PortField kAutoFlag{kRegPortAdvertise, 2, 8, 7, 1};
inline constexpr PortField kStatusByte{kRegPortStatus, 2, 8, 0, 8};
inline constexpr PortField kVlanIndex{kRegPortVlanIndex, 2, 8, 0, 5};
// Six bits a chip port, two a counter.
inline constexpr PortField kMibSelection{kRegMibSelect, 2, 6, 0, 6};
inline constexpr PortField kMibCounterCode[3] = {
    {kRegMibSelect, 2, 6, 0, 2}, {kRegMibSelect, 2, 6, 2, 2}, {kRegMibSelect, 2, 6, 4, 2}};
// Two bits a chip port, eight a register.
inline constexpr PortField kTagMode{kRegPortTagControl, 8, 2, 0, 2};
// One bit a chip port, sixteen a register.
inline constexpr PortField kDisable{kRegPortDisable, 16, 1, 0, 1};
inline constexpr PortField kHighPriority{kRegHighPriorityLow, 16, 1, 0, 1};
inline constexpr PortField kUnauthorised{kRegUnauthorisedLow, 16, 1, 0, 1};
// One bit a chip port in one register's whole 32-bit value.
inline constexpr PortField kIgmpRouter{kRegIgmpRouterPorts, 32, 1, 0, 1};
inline constexpr PortField kLoopPort{kRegLoopPorts, 32, 1, 0, 1};
}  // namespace port_field

}  // namespace brisfell
