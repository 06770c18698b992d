// The switch chip's registers, by name, in one place. Register bits and per-port fields are
// indexed by chip port; what each bit means is declared with the pages that show it (the
// field tables in pages/common/fields.h and each page's table).
#pragma once

#include <cstdint>

namespace brisfell {

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

// Trunks, IGMP and VLANs.
constexpr uint16_t kRegTrunkEnable = 0x0307;
constexpr uint16_t kRegIgmpControl = 0x0308;        // bit 0: snooping on
constexpr uint16_t kRegIgmpRouterPorts = 0x0309;    // bit k: chip port k leads to a router
constexpr uint16_t kRegVlanControl = 0x030B;
constexpr uint16_t kRegPortVlanIndex = 0x030C;      // + p/2, five bits a chip port
constexpr uint16_t kRegPortTagControl = 0x0319;     // + p/8, two bits a chip port
constexpr uint16_t kRegVlanTable = 0x031D;          // + 3k: members low, members high, VLAN ID

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
