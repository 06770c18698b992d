// The switch chip's registers in one place: their numbers, the fields of their bits, the
// per-port layouts, and a declared table (name, role, caption and fields of every register the
// system knows) that the engine, the emulator and the configuration file's listing read.
// Register bits and per-port fields are indexed by chip port.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brisfell {

// ---------------------------------------------------------------- numbers

// Commands and identity.
constexpr uint16_t kRegReset = 0x0000;           // write 1: soft reset, 2: hardware reset
constexpr uint32_t kSoftResetCommand = 0x0001;
constexpr uint32_t kHardwareResetCommand = 0x0002;

// Status and faults.
constexpr uint16_t kRegPortInterface = 0x0100;  // bits 2, 3: chip port 24, 25 is TBI
constexpr uint16_t kRegLoopPorts = 0x0101;      // bit k: a loop was seen on chip port k
constexpr uint16_t kRegFaultStatus = 0x0102;

// Global control, management access and the EEPROM window.
constexpr uint16_t kRegGlobalControl = 0x0200;      // bit 2: loop detection
constexpr uint16_t kRegUnauthorisedLow = 0x0201;    // bit k: chip port k may not manage (0-15)
constexpr uint16_t kRegUnauthorisedHigh = 0x0202;   // the same for chip ports 16 and up
constexpr uint16_t kRegAuthKey = 0x0209;
constexpr uint16_t kRegPortBandwidth = 0x020A;      // 13 registers, a byte a chip port
constexpr uint16_t kRegEepromControl = 0x0217;
constexpr uint16_t kRegEepromData = 0x0218;
// The EEPROM control register's bits: the address, the direction, and the chip's state.
constexpr uint32_t kEepromAddressMask = 0x07FF;
constexpr uint32_t kEepromReadCommand = 1u << 11;
constexpr uint32_t kEepromBusy = 1u << 12;
constexpr uint32_t kEepromFailed = 1u << 13;
// What the control register keeps of the last command: its address and its direction.
constexpr uint32_t kEepromCommandMask = kEepromAddressMask | kEepromReadCommand;
// EEPROM byte, on the models that keep it: bit 0 set = this console's access is disabled from
// the next hardware reset on (written as 3 to disable, 0 to enable).
constexpr uint16_t kEepromRemoteAccess = 0x000C;
// EEPROM bytes 26 to 29: a copy of the vendor identifier, lowest byte first.
constexpr uint16_t kEepromVendorCopy = 26;

// Trunks, IGMP and VLANs.
constexpr uint16_t kRegTrunkEnable = 0x0307;
constexpr uint16_t kRegIgmpControl = 0x0308;        // bit 0: snooping on
constexpr uint16_t kRegIgmpRouterPorts = 0x0309;    // bit k: chip port k leads to a router
constexpr uint16_t kRegVlanControl = 0x030B;
constexpr uint16_t kRegPortVlanIndex = 0x030C;      // + p/2, five bits a chip port
constexpr uint16_t kRegPortTagControl = 0x0319;     // + p/8, two bits a chip port
constexpr uint16_t kRegVlanTable = 0x031D;          // + 3k: members low, members high, VLAN ID
constexpr int kVlanTableEntries = 32;

// QoS.
constexpr uint16_t kRegQosControl = 0x0400;
constexpr uint16_t kRegHighPriorityLow = 0x0401;    // bit k: chip port k forced high (0-15)
constexpr uint16_t kRegHighPriorityHigh = 0x0402;   // the same for chip ports 16 and up

// Ports.
constexpr uint16_t kRegPortControl = 0x0607;        // bits 1, 4: back pressure, storm filter off
constexpr uint16_t kRegPortDisable = 0x0608;        // two registers, one bit a chip port
constexpr uint16_t kRegPortAdvertise = 0x060A;      // 13 registers, a byte a chip port
constexpr uint16_t kRegPortStatus = 0x0619;         // 13 registers, read only
constexpr int kPortPairRegisters = 13;

// MIB counters.
constexpr uint16_t kRegMibSelect = 0x0700;     // 13 registers, six bits a chip port
constexpr uint16_t kRegMibCounter1 = 0x070D;   // + chip port
constexpr uint16_t kRegMibCounter2 = 0x0727;
constexpr uint16_t kRegMibCounter3 = 0x0741;
constexpr uint16_t kRegMibLast = 0x075A;
constexpr int kMibSelectRegisters = 13;
constexpr int kMibCountersPerPort = 3;
constexpr int kMibCounterSpan = kRegMibCounter2 - kRegMibCounter1;  // counter c of chip port k: 0x070D + 26c + k

// ---------------------------------------------------------------- fields

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
inline constexpr PortField kStatusSpeed{kRegPortStatus, 2, 8, 0, 2};
inline constexpr PortField kStatusFullDuplex{kRegPortStatus, 2, 8, 2, 1};
inline constexpr PortField kStatusLink{kRegPortStatus, 2, 8, 4, 1};
inline constexpr PortField kStatusFlowControl{kRegPortStatus, 2, 8, 5, 2};
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
// A whole register a chip port.
inline constexpr PortField kMibCounter[3] = {
    {kRegMibCounter1, 1, 32, 0, 32}, {kRegMibCounter2, 1, 32, 0, 32}, {kRegMibCounter3, 1, 32, 0, 32}};
}  // namespace port_field

// The bits of the switch-wide registers.
namespace reg_bit {
inline constexpr BitField kTbiPort24{kRegPortInterface, 2, 1};
inline constexpr BitField kTbiPort25{kRegPortInterface, 3, 1};
inline constexpr BitField kTrunkFault{kRegFaultStatus, 1, 1};
inline constexpr BitField kLoopFault{kRegFaultStatus, 2, 1};
inline constexpr BitField kGigaPhy1Missing{kRegFaultStatus, 3, 1};
inline constexpr BitField kGigaPhy2Missing{kRegFaultStatus, 4, 1};
inline constexpr BitField kFaultyTrunkGroups{kRegFaultStatus, 5, 8};
inline constexpr BitField kLoopDetection{kRegGlobalControl, 2, 1};
inline constexpr BitField kAuthKey{kRegAuthKey, 0, 16};
inline constexpr BitField kEepromAddress{kRegEepromControl, 0, 11};
inline constexpr BitField kEepromRead{kRegEepromControl, 11, 1};
inline constexpr BitField kEepromBusyBit{kRegEepromControl, 12, 1};
inline constexpr BitField kEepromFailedBit{kRegEepromControl, 13, 1};
inline constexpr BitField kEepromByteToWrite{kRegEepromData, 0, 8};
inline constexpr BitField kEepromByteRead{kRegEepromData, 8, 8};
inline constexpr BitField kTrunkGroups{kRegTrunkEnable, 0, 8};
inline constexpr BitField kIgmpSnooping{kRegIgmpControl, 0, 1};
inline constexpr BitField kVlanFunction{kRegVlanControl, 0, 1};
inline constexpr BitField kUnicastLeaky{kRegVlanControl, 1, 1};
inline constexpr BitField kArpLeaky{kRegVlanControl, 2, 1};
inline constexpr BitField kMulticastLeaky{kRegVlanControl, 3, 1};
inline constexpr BitField kTagAware{kRegVlanControl, 4, 1};
inline constexpr BitField kAdmitTaggedOnly{kRegVlanControl, 5, 1};
inline constexpr BitField kIngressFilter{kRegVlanControl, 6, 1};
inline constexpr BitField kTosPriority{kRegQosControl, 0, 1};
inline constexpr BitField kDot1pPriority{kRegQosControl, 1, 1};
inline constexpr BitField kAdaptedFlowControl{kRegQosControl, 2, 1};
inline constexpr BitField kWeightedRatio{kRegQosControl, 3, 2};
inline constexpr BitField kBackPressureOff{kRegPortControl, 1, 1};
inline constexpr BitField kStormFilterOff{kRegPortControl, 4, 1};
}  // namespace reg_bit

// ---------------------------------------------------------------- the table

// What a register is to the system.
enum class RegisterRole : uint8_t {
  Setting,  // read and written by the pages, saved and restored
  Command,  // written to make the chip act; reads give nothing
  Status,   // the chip's live state: read only, kept through a reset
  Counter,  // a MIB counter: read only, the whole 32-bit value
  Eeprom,   // the EEPROM window: the passing state of a command
};

// Some bits of a register, or of each chip port's share of a per-port register.
struct RegisterBits {
  uint8_t shift = 0;
  uint8_t width = 1;
  const char* meaning = "";
};

// Registers of one kind, first + stride * i for i below count.
struct RegisterBlock {
  uint16_t first = 0;
  uint16_t count = 1;
  uint16_t stride = 1;      // 3 for each part of the VLAN table's entries
  const char* name = "";    // the one name the system gives it ("" for those it leaves unnamed)
  RegisterRole role = RegisterRole::Setting;
  const char* caption = "";  // in words, as the configuration file's listing shows it
  uint8_t portsPerRegister = 0;  // per-port registers: chip ports a register (0: none)
  std::vector<RegisterBits> bits;

  bool Holds(uint16_t reg) const {
    return reg >= first && (reg - first) % stride == 0 && (reg - first) / stride < count;
  }
};

// Every register the system knows, in ascending order of first register.
const std::vector<RegisterBlock>& RegisterTable();
// The block holding `reg`, or nothing.
const RegisterBlock* FindRegister(uint16_t reg);
// A register the table does not know is taken for a setting.
RegisterRole RoleOf(uint16_t reg);
// "PortAdvertise, chip ports 2 and 3", "VlanTable entry 1, members, chip ports 0-15"; "" for
// a register the table does not know.
std::string RegisterCaption(uint16_t reg);
// "GlobalControl", "PortAdvertise", ...; "0x%04X" for a register without a name.
std::string RegisterName(uint16_t reg);

// Registers whose content the chip owns rather than the console: status and counters (read
// only), the reset command, the EEPROM window (the chip fills in the byte read and the busy
// and failed bits), the IGMP router ports it learns, and the authentication key (a switch
// that took a new key no longer answers to the old one). A write to them cannot be verified
// by reading it back.
constexpr bool IsChipOwnedRegister(uint16_t reg) {
  return reg == kRegReset || (reg >= kRegPortInterface && reg <= kRegFaultStatus) || reg == kRegAuthKey ||
         reg == kRegEepromControl || reg == kRegEepromData || reg == kRegIgmpRouterPorts ||
         (reg >= kRegPortStatus && reg < kRegPortStatus + kPortPairRegisters) ||
         (reg >= kRegMibCounter1 && reg <= kRegMibLast);
}

}  // namespace brisfell
