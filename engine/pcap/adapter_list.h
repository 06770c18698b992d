// What the libpcap driver tells the engine about the machine's interfaces: which of them are
// Ethernet adapters the console can use, how each is described to the operator, and how the
// list is laid out in the buffer the engine hands over. Plain data handling, no capture calls,
// so it can be tested without privileges.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/types.h"

namespace brisfell::pcapdrv {

constexpr int kArpHardwareEthernet = 1;  // ARPHRD_ETHER: what DLT_EN10MB captures run on

// One interface as libpcap and the system describe it.
struct InterfaceInfo {
  std::string name;
  std::string pcapDescription;  // "" when libpcap has none
  bool loopback = false;        // PCAP_IF_LOOPBACK
  int hardwareType = -1;        // ARPHRD_* of the interface; -1 when unknown
  std::optional<Mac> mac;
};

// Ethernet adapters only: loopback, the "any" pseudo-device, bluetooth, usbmon, nflog, tunnels
// and whatever else has no Ethernet hardware type are left out.
bool IsEthernetInterface(const InterfaceInfo& info);

// "eth0 (MAC 02:42:AC:11:00:02; Intel PRO/1000)", or "...; no description)".
std::string DescribeInterface(const InterfaceInfo& info);

// Cuts `text` to at most `maxBytes` bytes without splitting a UTF-8 sequence.
std::string CutUtf8(const std::string& text, size_t maxBytes);

// Lays out the name list the engine walks: names each ended by a terminator (a zero byte, or a
// zero 16-bit unit when `wide`), an empty name, then one 8-bit NUL-terminated description per
// name. Adapters that would not fit in `size` bytes are left out, from the end. False when not
// even the empty list fits.
bool WriteNameList(const std::vector<InterfaceInfo>& adapters, uint8_t* buffer, uint32_t size, bool wide);

// The interface name held in a name slot (8-bit, or UTF-16 little-endian when `wide`).
std::string NameFromSlot(const uint8_t* name, bool wide);

// The reason shown when capturing is not allowed, naming the program to grant the capability to.
std::string PermissionDeniedText(const std::string& interfaceName, const std::string& programPath);

}  // namespace brisfell::pcapdrv
