#include "sim/state_file.h"

#include <nlohmann/json.hpp>

#include "engine/registers.h"
#include "engine/safe_file.h"
#include "engine/types.h"

namespace brisfell::sim {
namespace {

using nlohmann::ordered_json;

constexpr size_t kMaxStateFileBytes = 64u << 20;

// The file keeps settings only: not live status (from the port state), the MIB counters (from
// the traffic), the reset command or the EEPROM window (a command's passing state).
bool Kept(uint32_t r) { return RoleOf(static_cast<uint16_t>(r)) == RegisterRole::Setting; }

std::string Hex(uint32_t v, int digits) { return Format("0x%0*X", digits, v); }

// "0x0608" or 1544, at most `max`.
uint32_t Number(const ordered_json& j, uint32_t max, const std::string& where) {
  uint64_t v = 0;
  if (j.is_number_unsigned()) {
    v = j.get<uint64_t>();
  } else if (j.is_string()) {
    const std::string s = j.get<std::string>();
    size_t used = 0;
    try {
      v = std::stoull(s, &used, 16);
    } catch (...) {
      used = 0;
    }
    if (s.rfind("0x", 0) != 0 || used != s.size() || s.size() < 3) throw std::runtime_error(where + ": not a 0x number");
  } else {
    throw std::runtime_error(where + ": not a number");
  }
  if (v > max) throw std::runtime_error(where + ": out of range");
  return static_cast<uint32_t>(v);
}

}  // namespace

bool LoadSegmentState(Segment& segment, const std::string& path, std::string& error) {
  std::string text;
  bool missing = false;
  if (!ReadRegularFile(path, kMaxStateFileBytes, text, error, &missing)) return missing;  // missing: nothing saved yet
  try {
    const ordered_json doc = ordered_json::parse(text);
    if (!doc.is_object() || doc.value("format", "") != kStateFormat)
      throw std::runtime_error(std::string("not a \"") + kStateFormat + "\" file");
    for (const auto& entry : doc.at("switches")) {
      const auto mac = ParseMac(entry.at("mac").get<std::string>());
      if (!mac) throw std::runtime_error("bad switch MAC " + entry.at("mac").dump());
      EmulatedSwitch* sw = segment.FindSwitch(*mac);
      if (!sw) continue;
      const std::string where = FormatMac(*mac);
      if (entry.contains("registers"))
        for (const auto& [r, v] : entry["registers"].items())
          sw->SetRegister(static_cast<uint16_t>(Number(r, 0xFFFF, where + " register " + r)),
                          Number(v, 0xFFFF, where + " register " + r));
      if (entry.contains("eeprom"))
        for (const auto& [a, v] : entry["eeprom"].items())
          sw->SetEepromByte(static_cast<uint16_t>(Number(a, kEepromSize - 1, where + " EEPROM " + a)),
                            static_cast<uint8_t>(Number(v, 0xFF, where + " EEPROM " + a)));
      std::set<uint16_t> ignored;
      if (entry.contains("ignoreWrites"))
        for (const auto& r : entry["ignoreWrites"]) ignored.insert(static_cast<uint16_t>(Number(r, 0xFFFF, where)));
      sw->SetIgnoredWrites(std::move(ignored));
    }
  } catch (const std::exception& e) {
    error = path + ": " + e.what();
    return false;
  }
  return true;
}

bool SaveSegmentState(Segment& segment, const Scenario& scenario, const std::string& path, std::string& error) {
  VirtualClock clock;
  Segment fresh(scenario, clock);
  ordered_json switches = ordered_json::array();
  for (int i = 0; i < segment.SwitchCount(); ++i) {
    EmulatedSwitch& now = segment.Switch(i);
    const EmulatedSwitch* was = fresh.FindSwitch(now.MacAddress());
    ordered_json registers = ordered_json::object();
    ordered_json eeprom = ordered_json::object();
    for (uint32_t r = 0; r <= 0xFFFF; ++r) {
      if (!Kept(r)) continue;
      const uint32_t v = now.Register(static_cast<uint16_t>(r));
      if (!was || v != was->Register(static_cast<uint16_t>(r))) registers[Hex(r, 4)] = Hex(v, 4);
    }
    for (uint16_t a = 0; a < kEepromSize; ++a)
      if (!was || now.EepromByte(a) != was->EepromByte(a)) eeprom[Hex(a, 4)] = Hex(now.EepromByte(a), 2);
    ordered_json ignored = ordered_json::array();
    for (uint16_t r : now.IgnoredWrites()) ignored.push_back(Hex(r, 4));
    if (registers.empty() && eeprom.empty() && ignored.empty()) continue;
    ordered_json entry;
    entry["mac"] = FormatMac(now.MacAddress());
    entry["registers"] = registers;
    entry["eeprom"] = eeprom;
    if (!ignored.empty()) entry["ignoreWrites"] = ignored;
    switches.push_back(std::move(entry));
  }
  ordered_json doc;
  doc["format"] = kStateFormat;
  doc["switches"] = switches;

  // A new file renamed over the old one: a failed save leaves the last state intact. Owner-only:
  // the state holds the switches' keys.
  const std::string text = doc.dump(2) + "\n";
  return ReplaceFile(path, reinterpret_cast<const uint8_t*>(text.data()), text.size(), error, FileAccess::Private);
}

}  // namespace brisfell::sim
