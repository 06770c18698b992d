#include "engine/registers.h"

#include <algorithm>

#include "engine/profiles.h"
#include "engine/types.h"

namespace brisfell {
namespace {

RegisterBits Bits(const BitField& f, const char* meaning) { return {f.shift, f.width, meaning}; }
RegisterBits Bits(const PortField& f, const char* meaning) { return {f.shift, f.width, meaning}; }

RegisterBlock One(uint16_t reg, const char* name, RegisterRole role, const char* caption,
                  std::vector<RegisterBits> bits = {}) {
  return {reg, 1, 1, name, role, caption, 0, std::move(bits)};
}

RegisterBlock Range(uint16_t first, uint16_t count, const char* name, RegisterRole role, const char* caption,
                    std::vector<RegisterBits> bits = {}) {
  return {first, count, 1, name, role, caption, 0, std::move(bits)};
}

// A per-port block: `share` is one chip port's share of a register.
RegisterBlock PerPort(const PortField& share, uint16_t count, const char* name, RegisterRole role,
                      const char* caption, std::vector<RegisterBits> bits) {
  return {share.base, count, 1, name, role, caption, share.perRegister, std::move(bits)};
}

RegisterBlock VlanPart(int part, const char* caption, RegisterBits bits) {
  return {static_cast<uint16_t>(kRegVlanTable + part), kVlanTableEntries, 3, "VlanTable", RegisterRole::Setting,
          caption, 0, {bits}};
}

std::vector<RegisterBlock> Build() {
  using R = RegisterRole;
  namespace b = reg_bit;
  namespace pf = port_field;
  std::vector<RegisterBlock> t = {
      One(kRegReset, "Reset", R::Command, "reset command", {{0, 16, "1: soft reset, 2: hardware reset"}}),
      One(kRegPortInterface, "PortInterface", R::Status, "port interface",
          {Bits(b::kTbiPort24, "chip port 24 is TBI (else GMII)"), Bits(b::kTbiPort25, "chip port 25 is TBI (else GMII)")}),
      PerPort(pf::kLoopPort, 1, "LoopPorts", R::Status, "loop ports", {Bits(pf::kLoopPort, "a loop was seen")}),
      One(kRegFaultStatus, "FaultStatus", R::Status, "fault status",
          {Bits(b::kTrunkFault, "trunk port fault"), Bits(b::kLoopFault, "network loop fault"),
           Bits(b::kGigaPhy1Missing, "first gigabit PHY not present"),
           Bits(b::kGigaPhy2Missing, "second gigabit PHY not present"),
           Bits(b::kFaultyTrunkGroups, "trunk groups with a fault, a bit a group")}),
      One(kRegGlobalControl, "GlobalControl", R::Setting, "global control, loop detection",
          {Bits(b::kLoopDetection, "loop detection enabled")}),
      PerPort(pf::kUnauthorised, 2, "UnauthorisedPorts", R::Setting, "management-unauthorised ports",
              {Bits(pf::kUnauthorised, "not authorised for management")}),
      One(kRegAuthKey, "AuthKey", R::Setting, "authentication key", {Bits(b::kAuthKey, "RRCP authentication key")}),
      PerPort(pf::kBandwidthByte, kPortPairRegisters, "PortBandwidth", R::Setting, "PortBandwidth",
              {Bits(pf::kRxBandwidth, "receive bandwidth code"), Bits(pf::kTxBandwidth, "transmit bandwidth code")}),
      One(kRegEepromControl, "EepromControl", R::Eeprom, "EEPROM control",
          {Bits(b::kEepromAddress, "EEPROM byte address"), Bits(b::kEepromRead, "1: read command, 0: write command"),
           Bits(b::kEepromBusyBit, "busy"), Bits(b::kEepromFailedBit, "failed, issue again")}),
      One(kRegEepromData, "EepromData", R::Eeprom, "EEPROM data",
          {Bits(b::kEepromByteToWrite, "byte to write"), Bits(b::kEepromByteRead, "byte read")}),
      Range(0x0219, 6, "", R::Setting, "shown by no page"),
      Range(0x0300, 3, "", R::Setting, "shown by no page"),
      One(kRegTrunkEnable, "TrunkEnable", R::Setting, "TrunkEnable", {Bits(b::kTrunkGroups, "trunk-group enable bits")}),
      One(kRegIgmpControl, "IgmpControl", R::Setting, "IGMP snooping enable",
          {Bits(b::kIgmpSnooping, "IGMP snooping enabled")}),
      PerPort(pf::kIgmpRouter, 1, "IgmpRouterPorts", R::Status, "IGMP router ports",
              {Bits(pf::kIgmpRouter, "leads to an IP multicast router")}),
      One(kRegVlanControl, "VlanControl", R::Setting, "VlanControl",
          {Bits(b::kVlanFunction, "VLAN function"), Bits(b::kUnicastLeaky, "unicast inter-VLAN leaky"),
           Bits(b::kArpLeaky, "ARP broadcast inter-VLAN leaky"), Bits(b::kMulticastLeaky, "IP multicast inter-VLAN leaky"),
           Bits(b::kTagAware, "802.1Q tag aware"), Bits(b::kAdmitTaggedOnly, "admit only VLAN-tagged frames"),
           Bits(b::kIngressFilter, "ingress filtering")}),
      PerPort(pf::kVlanIndex, kPortPairRegisters, "PortVlanIndex", R::Setting, "PortVlanIndex",
              {Bits(pf::kVlanIndex, "VLAN table entry")}),
      PerPort(pf::kTagMode, 4, "PortTagControl", R::Setting, "PortTagControl",
              {Bits(pf::kTagMode, "output tag mode: remove, insert for high priority, insert, don't touch")}),
      VlanPart(0, "members, chip ports 0-15", {0, 16, "member bits"}),
      VlanPart(1, "members, chip ports 16-25", {0, 10, "member bits"}),
      VlanPart(2, "VLAN ID", {0, 12, "VLAN ID, 0 for a port-based entry"}),
      Range(kRegVlanTable + 3 * kVlanTableEntries, 2, "", R::Setting, "shown by no page"),
      One(kRegQosControl, "QosControl", R::Setting, "QoS control",
          {Bits(b::kTosPriority, "TOS/DiffServ priority"), Bits(b::kDot1pPriority, "802.1p priority"),
           Bits(b::kAdaptedFlowControl, "adapted flow control"), Bits(b::kWeightedRatio, "weighted ratio code")}),
      PerPort(pf::kHighPriority, 2, "HighPriorityPorts", R::Setting, "forced high-priority ports",
              {Bits(pf::kHighPriority, "forced high priority")}),
      One(kRegPortControl, "PortControl", R::Setting, "global control, back pressure and storm filtering",
          {Bits(b::kBackPressureOff, "half-duplex back pressure disabled"),
           Bits(b::kStormFilterOff, "broadcast storm filtering disabled")}),
      PerPort(pf::kDisable, 2, "PortDisable", R::Setting, "PortDisable", {Bits(pf::kDisable, "port disabled")}),
      PerPort(pf::kAdvertiseByte, kPortPairRegisters, "PortAdvertise", R::Setting, "PortAdvertise",
              {Bits(pf::kAbilities, "advertised abilities"), Bits(pf::kPause, "pause code"),
               Bits(pf::kAutoFlag, "auto flag")}),
      PerPort(pf::kStatusByte, kPortPairRegisters, "PortStatus", R::Status, "PortStatus",
              {Bits(pf::kStatusSpeed, "speed: 10, 100, 1000"), Bits(pf::kStatusFullDuplex, "full duplex"),
               Bits(pf::kStatusLink, "link up"), Bits(pf::kStatusFlowControl, "flow control")}),
      PerPort(pf::kMibSelection, kMibSelectRegisters, "MibSelect", R::Setting, "MibSelect",
              {Bits(pf::kMibCounterCode[0], "counter 1 code"), Bits(pf::kMibCounterCode[1], "counter 2 code"),
               Bits(pf::kMibCounterCode[2], "counter 3 code")}),
      PerPort(pf::kMibCounter[0], kMibCounterSpan, "MibCounter", R::Counter, "MibCounter 1", {{0, 32, "count"}}),
      PerPort(pf::kMibCounter[1], kMibCounterSpan, "MibCounter", R::Counter, "MibCounter 2", {{0, 32, "count"}}),
      PerPort(pf::kMibCounter[2], kMibCounterSpan, "MibCounter", R::Counter, "MibCounter 3", {{0, 32, "count"}}),
  };
  std::sort(t.begin(), t.end(), [](const RegisterBlock& a, const RegisterBlock& b) { return a.first < b.first; });
  return t;
}

}  // namespace

const std::vector<RegisterBlock>& RegisterTable() {
  static const std::vector<RegisterBlock> table = Build();
  return table;
}

const RegisterBlock* FindRegister(uint16_t reg) {
  // Asked for every frame the emulator handles: one look-up, not a search.
  static const std::vector<int16_t> blockOf = [] {
    std::vector<int16_t> index(0x10000, -1);
    const auto& table = RegisterTable();
    for (size_t i = 0; i < table.size(); ++i)
      for (int k = 0; k < table[i].count; ++k) index[table[i].first + k * table[i].stride] = static_cast<int16_t>(i);
    return index;
  }();
  const int16_t i = blockOf[reg];
  return i < 0 ? nullptr : &RegisterTable()[static_cast<size_t>(i)];
}

RegisterRole RoleOf(uint16_t reg) {
  const RegisterBlock* b = FindRegister(reg);
  return b ? b->role : RegisterRole::Setting;
}

std::string RegisterCaption(uint16_t reg) {
  const RegisterBlock* b = FindRegister(reg);
  if (!b) return "";
  const int i = (reg - b->first) / b->stride;
  if (b->stride > 1) return Format("%s entry %d, %s", b->name, i, b->caption);
  const int n = b->portsPerRegister;
  if (n == 0 || n >= kMaxChipPorts) return b->caption;
  const int first = i * n;
  const int last = std::min(first + n - 1, kMaxChipPorts - 1);
  if (n == 1) return Format("%s, chip port %d", b->caption, first);
  if (n == 2) return Format("%s, chip ports %d and %d", b->caption, first, last);
  return Format("%s, chip ports %d-%d", b->caption, first, last);
}

std::string RegisterName(uint16_t reg) {
  const RegisterBlock* b = FindRegister(reg);
  return b && *b->name ? b->name : Format("0x%04X", reg);
}

}  // namespace brisfell
