// Engine commands: discover, read, write, eeprom-read, eeprom-write.
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/cli.h"

namespace brisfell::cli {
namespace {

std::string Hex(uint32_t v, int digits) { return Format("0x%0*X", digits, v); }

int Adapters(Session& s) {
  Engine* e = s.OpenEngine();
  if (!e) return kExitFailed;
  if (s.Options().json) {
    nlohmann::json list = nlohmann::json::array();
    for (int i = 0; i < e->AdapterCount(); ++i)
      list.push_back({{"index", i}, {"name", e->AdapterName(i)}, {"description", e->AdapterDescription(i)}});
    std::cout << nlohmann::json{{"adapters", list}}.dump() << "\n";
    return kExitOk;
  }
  Table t;
  t.columns = {"Index", "Name", "Description"};
  for (int i = 0; i < e->AdapterCount(); ++i)
    t.rows.push_back({std::to_string(i), e->AdapterName(i), e->AdapterDescription(i)});
  s.PrintTable(t);
  return kExitOk;
}

int Discover(Session& s) {
  if (!s.Discover()) return kExitFailed;
  Engine& e = s.engine();
  if (s.Options().json) {
    nlohmann::json list = nlohmann::json::array();
    for (int i = 0; i < e.SwitchCount(); ++i) {
      const SwitchRecord& r = *e.GetSwitchRecord(i);
      list.push_back({{"index", i},
                      {"mac", FormatMac(r.mac)},
                      {"model", r.modelName},
                      {"portCount", r.portCount},
                      {"chipId", Hex(r.chipId, 4)},
                      {"vendorId", Hex(r.vendorId, 8)},
                      {"authKey", Hex(r.AuthKey(), 4)},
                      {"downLinkPort", r.downLinkPort},
                      {"upLinkMac", FormatMac(r.upLinkMac)},
                      {"upLinkPort", r.upLinkPort}});
    }
    std::cout << nlohmann::json{{"switches", list}, {"newReplies", s.lastDiscoveryResult()}}.dump() << "\n";
    return kExitOk;
  }
  Table t;
  t.columns = {"Index", "MAC", "Model", "Ports", "Chip ID", "Vendor ID", "Key", "Down Link Port", "Up Link MAC",
               "Up Link Port"};
  for (int i = 0; i < e.SwitchCount(); ++i) {
    const SwitchRecord& r = *e.GetSwitchRecord(i);
    t.rows.push_back({std::to_string(i), FormatMac(r.mac), r.modelName, std::to_string(r.portCount),
                      Hex(r.chipId, 4), Hex(r.vendorId, 8), Hex(r.AuthKey(), 4), std::to_string(r.downLinkPort),
                      FormatMac(r.upLinkMac), std::to_string(r.upLinkPort)});
  }
  s.PrintTable(t);
  std::cout << s.lastDiscoveryResult() << " new repl" << (s.lastDiscoveryResult() == 1 ? "y" : "ies") << "\n";
  return kExitOk;
}

// "0x0700" or "0x0700-0x0705".
bool ParseRegisterRange(const std::string& text, uint32_t& first, uint32_t& last) {
  size_t dash = text.find('-');
  auto a = ParseNumber(text.substr(0, dash));
  auto b = dash == std::string::npos ? a : ParseNumber(text.substr(dash + 1));
  if (!a || !b || *a > 0xFFFF || *b > 0xFFFF || *a > *b) return false;
  first = *a;
  last = *b;
  return true;
}

int Read(Session& s, const std::vector<std::string>& ranges) {
  std::vector<std::pair<uint32_t, uint32_t>> parsed;
  for (const auto& r : ranges) {
    uint32_t a = 0, b = 0;
    if (!ParseRegisterRange(r, a, b)) {
      s.Error("bad register or range: " + r);
      return kExitUsage;
    }
    parsed.emplace_back(a, b);
  }
  if (!s.SelectSwitch()) return kExitFailed;
  Engine& e = s.engine();
  AdapterIo io(e);
  nlohmann::json out = nlohmann::json::array();
  for (auto [a, b] : parsed) {
    for (uint32_t reg = a; reg <= b; ++reg) {
      uint32_t value = 0;
      if (!e.ReadRegister(e.CurrentSwitchIndex(), static_cast<uint16_t>(reg), value, kRegisterTimeoutMs)) {
        s.Error(Format("reading register 0x%04X timed out", reg));
        return kExitFailed;
      }
      if (s.Options().json)
        out.push_back({{"register", Hex(reg, 4)}, {"value", Hex(value, 8)}});
      else
        std::cout << Hex(reg, 4) << " " << Hex(value, 8) << "\n";
    }
  }
  if (s.Options().json) std::cout << nlohmann::json{{"registers", out}}.dump() << "\n";
  return kExitOk;
}

int Write(Session& s, const std::string& regText, const std::string& valueText) {
  auto reg = ParseNumber(regText);
  auto value = ParseNumber(valueText);
  if (!reg || *reg > 0xFFFF || !value) {
    s.Error("usage: write REG VALUE (numbers in decimal or 0x hexadecimal)");
    return kExitUsage;
  }
  if (!s.SelectSwitch()) return kExitFailed;
  Engine& e = s.engine();
  AdapterIo io(e);
  if (!io.ok() || !e.WriteRegister(e.CurrentSwitchIndex(), static_cast<uint16_t>(*reg), *value)) {
    s.Error("the adapter cannot be opened for register access");
    return kExitFailed;
  }
  return kExitOk;
}

int EepromRead(Session& s, const std::string& addrText, const std::string& countText) {
  auto addr = ParseNumber(addrText);
  auto count = countText.empty() ? std::optional<uint32_t>(1) : ParseNumber(countText);
  if (!addr || !count || *count == 0 || *addr + *count > 2048) {
    s.Error("usage: eeprom-read ADDR [COUNT] (addresses 0 to 2047)");
    return kExitUsage;
  }
  if (!s.SelectSwitch()) return kExitFailed;
  Engine& e = s.engine();
  AdapterIo io(e);
  nlohmann::json bytes = nlohmann::json::array();
  for (uint32_t a = *addr; a < *addr + *count; ++a) {
    uint8_t b = 0;
    if (!e.ReadEepromByte(e.CurrentSwitchIndex(), static_cast<uint16_t>(a), b, kEepromTimeoutMs)) {
      s.Error(Format("reading EEPROM byte 0x%04X failed", a));
      return kExitFailed;
    }
    if (s.Options().json)
      bytes.push_back({{"address", Hex(a, 4)}, {"value", Hex(b, 2)}});
    else
      std::cout << Hex(a, 4) << " " << Hex(b, 2) << "\n";
  }
  if (s.Options().json) std::cout << nlohmann::json{{"eeprom", bytes}}.dump() << "\n";
  return kExitOk;
}

int EepromWrite(Session& s, const std::string& addrText, const std::vector<std::string>& byteTexts) {
  auto addr = ParseNumber(addrText);
  std::vector<uint8_t> bytes;
  for (const auto& t : byteTexts) {
    auto b = ParseNumber(t);
    if (!b || *b > 0xFF) {
      s.Error("bad byte: " + t);
      return kExitUsage;
    }
    bytes.push_back(static_cast<uint8_t>(*b));
  }
  if (!addr || bytes.empty() || *addr + bytes.size() > 2048) {
    s.Error("usage: eeprom-write ADDR BYTE... (addresses 0 to 2047)");
    return kExitUsage;
  }
  if (!s.SelectSwitch()) return kExitFailed;
  Engine& e = s.engine();
  AdapterIo io(e);
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto a = static_cast<uint16_t>(*addr + i);
    if (!e.WriteEepromByte(e.CurrentSwitchIndex(), a, bytes[i], kEepromTimeoutMs)) {
      s.Error(Format("writing EEPROM byte 0x%04X failed", a));
      return kExitFailed;
    }
  }
  return kExitOk;
}

struct Args {
  std::vector<std::string> ranges;
  std::string reg, value, addr, count;
  std::vector<std::string> bytes;
};

CommandRegistrar registrar([](CLI::App& app, Session& s, CommandAction& run) {
  static Args a;
  OnRun(app.add_subcommand("adapters", "List the network adapters"), run, [&s] { return Adapters(s); });
  OnRun(app.add_subcommand("discover", "Discover the switches on the adapter"), run, [&s] { return Discover(s); });

  auto* read = app.add_subcommand("read", "Read registers: REG or FIRST-LAST, one line each");
  read->add_option("registers", a.ranges)->required();
  OnRun(read, run, [&s] { return Read(s, a.ranges); });

  auto* write = app.add_subcommand("write", "Write one register");
  write->add_option("register", a.reg)->required();
  write->add_option("value", a.value)->required();
  OnRun(write, run, [&s] { return Write(s, a.reg, a.value); });

  auto* er = app.add_subcommand("eeprom-read", "Read EEPROM bytes");
  er->add_option("address", a.addr)->required();
  er->add_option("count", a.count);
  OnRun(er, run, [&s] { return EepromRead(s, a.addr, a.count); });

  auto* ew = app.add_subcommand("eeprom-write", "Write EEPROM bytes");
  ew->add_option("address", a.addr)->required();
  ew->add_option("bytes", a.bytes)->required();
  OnRun(ew, run, [&s] { return EepromWrite(s, a.addr, a.bytes); });
});

}  // namespace
}  // namespace brisfell::cli
