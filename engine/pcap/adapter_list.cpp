#include "engine/pcap/adapter_list.h"

#include <cstring>

namespace brisfell::pcapdrv {
namespace {

constexpr size_t kDescriptionBytes = 127;  // the engine's description slot, less its NUL

}  // namespace

bool IsEthernetInterface(const InterfaceInfo& info) {
  if (info.loopback || info.name.empty() || info.name == "any") return false;
  // Capture-only pseudo-devices (bluetooth, usbmon, nflog, dbus) are no network interfaces,
  // so they have no hardware type.
  return info.hardwareType == kArpHardwareEthernet;
}

std::string CutUtf8(const std::string& text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  size_t end = maxBytes;
  // Step back over continuation bytes so the cut falls between two characters.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

std::string DescribeInterface(const InterfaceInfo& info) {
  const std::string mac = info.mac ? "MAC " + FormatMac(*info.mac) : "MAC unknown";
  const std::string what = info.pcapDescription.empty() ? "no description" : info.pcapDescription;
  return info.name + " (" + mac + "; " + what + ")";
}

bool WriteNameList(const std::vector<InterfaceInfo>& adapters, uint8_t* buffer, uint32_t size, bool wide) {
  const size_t unit = wide ? 2 : 1;
  std::vector<std::string> descriptions;
  for (const auto& a : adapters) descriptions.push_back(CutUtf8(DescribeInterface(a), kDescriptionBytes));
  auto needed = [&](size_t count) {
    size_t n = unit;  // the empty name that ends the list
    for (size_t i = 0; i < count; ++i) n += (adapters[i].name.size() + 1) * unit + descriptions[i].size() + 1;
    return n;
  };
  size_t count = adapters.size();
  while (count > 0 && needed(count) > size) --count;
  if (needed(count) > size) return false;

  std::memset(buffer, 0, size);
  size_t pos = 0;
  for (size_t i = 0; i < count; ++i) {
    for (char c : adapters[i].name) {
      buffer[pos] = static_cast<uint8_t>(c);
      pos += unit;  // the high byte of a UTF-16 unit stays zero: interface names are ASCII
    }
    pos += unit;
  }
  pos += unit;
  for (size_t i = 0; i < count; ++i) {
    std::memcpy(buffer + pos, descriptions[i].data(), descriptions[i].size());
    pos += descriptions[i].size() + 1;
  }
  return true;
}

std::string NameFromSlot(const uint8_t* name, bool wide) {
  std::string out;
  if (!name) return out;
  if (!wide) return std::string(reinterpret_cast<const char*>(name));
  for (size_t k = 0; name[k] != 0 || name[k + 1] != 0; k += 2) out += static_cast<char>(name[k]);
  return out;
}

std::string PermissionDeniedText(const std::string& interfaceName, const std::string& programPath) {
  const std::string program = programPath.empty() ? "build/bin/brisfell" : programPath;
  return interfaceName + ": permission denied: run as root or grant the capability: sudo setcap " +
         "cap_net_raw+ep " + program;
}

}  // namespace brisfell::pcapdrv
