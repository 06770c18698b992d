// Engine commands: adapters, discover, read, write, eeprom-read, eeprom-write.
#include <algorithm>
#include <iostream>

#include "cli/cli.h"
#include "pages/status/overview_logic.h"

namespace brisfell::cli {
namespace {

constexpr uint32_t kEepromBytes = 2048;  // the EEPROM control register has 11 address bits

std::string Hex(uint32_t v, int digits) { return Format("0x%0*X", digits, v); }

int Adapters(Session& s) {
  Engine& e = s.engine();
  Table t{{"Index", "Name", "Description"}, {}};
  for (int i = 0; i < e.AdapterCount(); ++i)
    t.rows.push_back({std::to_string(i), e.AdapterName(i), e.AdapterDescription(i)});
  s.out().List("adapters", t, {{"index", NumberValue}, {"name"}, {"description", TextValue, false}});
  return kExitOk;
}

// The Overview page's two rows of every switch, side by side, one line a switch.
int Discover(Session& s) {
  Engine& e = s.engine();
  Table t{{"Index", "Name", "MAC Address", "Chip ID", "Vendor ID", "Ports", "Key", "Down Link Port", "Up Link MAC",
           "Up Link Port"},
          {}};
  const int current = e.CurrentSwitchIndex();
  for (int i = 0; i < e.SwitchCount(); ++i) {
    const SwitchRecord& r = *e.GetSwitchRecord(i);
    e.SetCurrentSwitchIndex(i);
    const OverviewTables o = BuildOverview(e);
    const auto& device = o.devices.rows.at(0);
    const auto& topology = o.topology.rows.at(0);
    t.rows.push_back({std::to_string(i), device[0], device[1], device[2], device[3], std::to_string(r.portCount),
                      Hex(r.AuthKey(), 4), topology[1], topology[2], topology[3]});
  }
  e.SetCurrentSwitchIndex(current);
  const Schema schema = {{"index", NumberValue},
                         {"name"},
                         {"mac"},
                         {"chip_id", NumberValue, false},
                         {"vendor_id", NumberValue, false},
                         {"port_count", NumberValue, false},
                         {"auth_key", NumberValue, false},
                         {"down_link_port"},
                         {"up_link_mac"},
                         {"up_link_port"}};
  s.out().List("switches", t, schema, [&](size_t row, Json& j) {
    const SwitchRecord& r = *e.GetSwitchRecord(static_cast<int>(row));
    j["down_link_chip_port"] = r.downLinkPort;
    j["up_link_chip_port"] = r.upLinkPort;
  });
  s.out().Doc()["new_replies"] = s.lastDiscoveryResult();
  const int n = s.lastDiscoveryResult();
  s.out().Line(Format("%d new repl%s", n, n == 1 ? "y" : "ies"));
  return kExitOk;
}

int Read(Session& s, const std::vector<std::string>& ranges) {
  Engine& e = s.engine();
  AdapterIo io(e);
  Json out = Json::array();
  std::vector<uint16_t> regs;
  for (const auto& text : ranges) {
    const NumberRange range = *ParseNumberRange(text, 0xFFFF);  // checked while parsing
    for (uint32_t reg = range.first; reg <= range.last; ++reg) regs.push_back(static_cast<uint16_t>(reg));
  }
  // A long range is read and printed a slice at a time, so that its lines come as it goes.
  constexpr size_t kSlice = 256;
  for (size_t from = 0; from < regs.size(); from += kSlice) {
    const std::vector<uint16_t> slice(regs.begin() + static_cast<std::ptrdiff_t>(from),
                                      regs.begin() + static_cast<std::ptrdiff_t>(std::min(regs.size(), from + kSlice)));
    std::map<uint16_t, uint32_t> values;
    if (!e.ReadRegisters(e.CurrentSwitchIndex(), slice, values)) throw Failure(ReadFailure(s, "reading the registers failed"));
    for (uint16_t reg : slice) {
      Json j = Json::object();
      j["register"] = reg;
      j["value"] = values[reg];
      out.push_back(j);
      s.out().Line(Hex(reg, 4) + " " + Hex(values[reg], 8));
    }
  }
  s.out().Doc()["registers"] = out;
  return kExitOk;
}

// Whether a register holds plain settings on this switch (its configuration list names it).
bool PlainSetting(const SwitchRecord& r, uint16_t reg) {
  if (!r.factoryDefaults) return false;
  for (const auto& row : *r.factoryDefaults)
    if (row.reg == reg) return true;
  return false;
}

int Write(Session& s, const std::string& regText, const std::string& valueText) {
  const auto reg = static_cast<uint16_t>(*ParseNumber(regText));
  const uint32_t value = *ParseNumber(valueText);
  Engine& e = s.engine();
  const int sw = e.CurrentSwitchIndex();
  AdapterIo io(e);
  if (!io.ok()) throw Failure("the adapter cannot be opened for register access");
  uint32_t old = 0;
  const bool read = e.ReadRegister(sw, reg, old, kRegisterTimeoutMs);
  const std::string subject = "register " + Hex(reg, 4);
  // Commands (reset, EEPROM) are written whatever the register reads.
  if (read && old == value && PlainSetting(s.Record(), reg)) {
    s.out().NothingToDo(subject + ": already " + Hex(value, 8) + "; nothing to change");
    return kExitOk;
  }
  e.WriteRegister(sw, reg, value);
  Change c;
  c.subject = subject;
  c.where = Json::object();
  c.where["register"] = reg;
  c.setting = "value";
  c.before = read ? Hex(old, 8) : "";
  c.after = Hex(value, 8);
  c.beforeValue = read ? Json(old) : Json(nullptr);
  c.afterValue = value;
  s.out().Changed(c);
  return kExitOk;
}

struct EepromArgs {
  std::string address;
  std::string count;
  std::vector<std::string> bytes;
};

uint32_t EepromStart(const EepromArgs& a, size_t count) {
  const uint32_t first = *ParseNumber(a.address);
  if (static_cast<uint64_t>(first) + count > kEepromBytes)
    throw UsageError(Format("bad EEPROM range: %zu byte%s from %s (addresses 0 to %u)", count, count == 1 ? "" : "s",
                            a.address.c_str(), kEepromBytes - 1));
  return first;
}

size_t EepromCount(const EepromArgs& a) { return a.count.empty() ? 1 : *ParseNumber(a.count); }

int EepromRead(Session& s, const EepromArgs& a) {
  const uint32_t first = EepromStart(a, EepromCount(a));
  Engine& e = s.engine();
  AdapterIo io(e);
  Json bytes = Json::array();
  for (uint32_t address = first; address < first + EepromCount(a); ++address) {
    uint8_t b = 0;
    if (!e.ReadEepromByte(e.CurrentSwitchIndex(), static_cast<uint16_t>(address), b, kEepromTimeoutMs))
      throw Failure(Format("reading EEPROM byte 0x%04X failed", address));
    Json j = Json::object();
    j["address"] = address;
    j["value"] = b;
    bytes.push_back(j);
    s.out().Line(Hex(address, 4) + " " + Hex(b, 2));
  }
  s.out().Doc()["eeprom"] = bytes;
  return kExitOk;
}

// Reads each byte first: only bytes that differ are written (an EEPROM wears), and each one
// written is read back.
int EepromWrite(Session& s, const EepromArgs& a) {
  const uint32_t first = EepromStart(a, a.bytes.size());
  Engine& e = s.engine();
  const int sw = e.CurrentSwitchIndex();
  const bool dryRun = s.Options().dryRun;
  AdapterIo io(e);
  bool changed = false;
  for (size_t i = 0; i < a.bytes.size(); ++i) {
    const auto address = static_cast<uint16_t>(first + i);
    const auto byte = static_cast<uint8_t>(*ParseNumber(a.bytes[i]));
    uint8_t old = 0;
    if (!e.ReadEepromByte(sw, address, old, kEepromTimeoutMs))
      throw Failure(Format("reading EEPROM byte 0x%04X failed; it was not written", address));
    if (old == byte) continue;
    if (!e.WriteEepromByte(sw, address, byte, kEepromTimeoutMs))
      throw Failure(Format("writing EEPROM byte 0x%04X failed", address));
    uint8_t found = byte;
    if (!dryRun && (!e.ReadEepromByte(sw, address, found, kEepromTimeoutMs) || found != byte)) {
      Json details = Json::object();
      details["address"] = address;
      details["expected"] = byte;
      details["found"] = found;
      throw Failure(Format("the switch did not take the write: EEPROM byte 0x%04X: expected 0x%02X, found 0x%02X",
                           address, byte, found),
                    details);
    }
    Change c;
    c.subject = "EEPROM " + Hex(address, 4);
    c.where = Json::object();
    c.where["address"] = address;
    c.setting = "value";
    c.before = Hex(old, 2);
    c.after = Hex(byte, 2);
    c.beforeValue = old;
    c.afterValue = byte;
    s.out().Changed(c);
    changed = true;
  }
  if (!changed) s.out().NothingToDo(Format("EEPROM 0x%04X: already holds these bytes; nothing to change", first));
  return kExitOk;
}

CLI::Validator RegisterRangeCheck() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        return ParseNumberRange(text, 0xFFFF) ? std::string() : "bad register or range: " + text + " (0 to 0xFFFF)";
      },
      "REG[-REG]");
}

CommandRegistrar registrar([](Commands& c) {
  static std::vector<std::string> ranges;
  static std::string reg, value;
  static EepromArgs er, ew;
  CLI::App& app = c.App();

  c.Add(&app, "adapters", "List the network adapters", Needs::kEngine, Adapters);
  c.Add(&app, "discover", "Discover the switches on the adapter and show where each one hangs", Needs::kTable,
        Discover);

  c.Add(&app, "read", "Read registers: REG or FIRST-LAST, one line each", Needs::kSwitch,
        [](Session& s) { return Read(s, ranges); })
      ->add_option("registers", ranges, "Registers or ranges, e.g. 0x0607 0x0700-0x0705")
      ->required()
      ->check(RegisterRangeCheck());

  CLI::App* write = c.Add(
      &app, "write", "Write one register", Needs::kSwitch, [](Session& s) { return Write(s, reg, value); }, true);
  write->add_option("register", reg, "Register, 0 to 0xFFFF")->required()->check(NumberCheck("register", 0, 0xFFFF));
  write->add_option("value", value, "Value, 0 to 0xFFFFFFFF")
      ->required()
      ->check(NumberCheck("value", 0, 0xFFFFFFFF));

  CLI::App* eread = c.Add(
      &app, "eeprom-read", "Read EEPROM bytes", Needs::kSwitch, [](Session& s) { return EepromRead(s, er); }, false,
      [] { EepromStart(er, EepromCount(er)); });
  eread->add_option("address", er.address, "First address, 0 to 2047")
      ->required()
      ->check(NumberCheck("EEPROM address", 0, kEepromBytes - 1));
  eread->add_option("count", er.count, "Number of bytes (default 1)")->check(NumberCheck("count", 1, kEepromBytes));

  CLI::App* ewrite = c.Add(
      &app, "eeprom-write", "Write EEPROM bytes", Needs::kSwitch, [](Session& s) { return EepromWrite(s, ew); }, true,
      [] { EepromStart(ew, ew.bytes.size()); });
  ewrite->add_option("address", ew.address, "First address, 0 to 2047")
      ->required()
      ->check(NumberCheck("EEPROM address", 0, kEepromBytes - 1));
  ewrite->add_option("bytes", ew.bytes, "Bytes, 0 to 0xFF each")->required()->check(NumberCheck("byte", 0, 0xFF));
});

}  // namespace
}  // namespace brisfell::cli
