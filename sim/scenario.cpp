#include "sim/scenario.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <stdexcept>
#include <type_traits>

#include "engine/safe_file.h"

namespace brisfell::sim {
namespace {

using nlohmann::json;

constexpr uint32_t kDefault16 = 0x6B2D7001;
constexpr uint32_t kDefault24 = 0x6B2D7002;
// A maker code this console does not know: such a switch is handled as the generic chip.
constexpr uint32_t kDefaultGeneric = 0x4C4A2601;
constexpr size_t kEepromSize = 2048;

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
  throw std::runtime_error("scenario: " + where + ": " + what);
}

// Builds the document as json::parse does, and knows at each value where it is
// ("switches[2].ports[0].speed"), so that a number beyond a double's range is refused naming
// its key instead of escaping as the library's own out-of-range error.
class PlacedDomParser : public nlohmann::detail::json_sax_dom_parser<json> {
 public:
  using Base = nlohmann::detail::json_sax_dom_parser<json>;
  PlacedDomParser(json& result, std::string base) : Base(result, true), base_(std::move(base)) {}

  bool null() { return Value(Base::null()); }
  bool boolean(bool v) { return Value(Base::boolean(v)); }
  bool number_integer(number_integer_t v) { return Value(Base::number_integer(v)); }
  bool number_unsigned(number_unsigned_t v) { return Value(Base::number_unsigned(v)); }
  bool number_float(number_float_t v, const string_t& s) { return Value(Base::number_float(v, s)); }
  bool string(string_t& v) { return Value(Base::string(v)); }
  bool binary(binary_t& v) { return Value(Base::binary(v)); }
  bool start_object(std::size_t n) {
    places_.push_back({false, {}, 0});
    return Base::start_object(n);
  }
  bool key(string_t& k) {
    places_.back().key = k;
    return Base::key(k);
  }
  bool end_object() { return Close(Base::end_object()); }
  bool start_array(std::size_t n) {
    places_.push_back({true, {}, 0});
    return Base::start_array(n);
  }
  bool end_array() { return Close(Base::end_array()); }

  template <class Exception>
  bool parse_error(std::size_t position, const std::string& token, const Exception& ex) {
    if constexpr (std::is_same_v<Exception, json::out_of_range>)
      Fail(Where(), "the number " + token + " is out of range");
    return Base::parse_error(position, token, ex);
  }

 private:
  struct Place {
    bool array = false;
    std::string key;
    size_t index = 0;  // the element being read
  };
  bool Value(bool ok) {
    if (!places_.empty() && places_.back().array) ++places_.back().index;
    return ok;
  }
  bool Close(bool ok) {
    places_.pop_back();
    return Value(ok);
  }
  std::string Where() const {
    std::string where = base_;
    for (const Place& p : places_)
      where += p.array ? "[" + std::to_string(p.index) + "]" : (where.empty() ? "" : ".") + p.key;
    return where.empty() ? "top level" : where;
  }
  std::string base_;
  std::vector<Place> places_;
};

// json::parse with numbers out of range refused at their place (`base` names where `text`
// sits in the whole). Syntax errors throw json::parse_error as json::parse does.
json ParseJson(const std::string& text, const std::string& base) {
  json doc;
  PlacedDomParser parser(doc, base);
  json::sax_parse(text, &parser);
  return doc;
}

void CheckKeys(const json& object, const std::string& where, const std::set<std::string>& allowed) {
  if (!object.is_object()) Fail(where, "must be a JSON object");
  for (const auto& item : object.items()) {
    if (allowed.count(item.key())) continue;
    std::string list;
    for (const auto& a : allowed) list += (list.empty() ? "" : ", ") + a;
    Fail(where, "unknown key \"" + item.key() + "\" (known: " + list + ")");
  }
}

// A non-negative integer, as a JSON number or as text ("0x6B2D7001", "42").
uint64_t Number(const json& value, const std::string& where, uint64_t max) {
  uint64_t n = 0;
  if (value.is_number_unsigned()) {
    n = value.get<uint64_t>();
  } else if (value.is_number_integer()) {
    Fail(where, "must not be negative");
  } else if (value.is_string()) {
    const std::string text = value.get<std::string>();
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || digits.size() > 16) Fail(where, "\"" + text + "\" is not a number");
    for (char c : digits) {
      const bool ok = hex ? std::isxdigit(static_cast<unsigned char>(c)) != 0
                          : std::isdigit(static_cast<unsigned char>(c)) != 0;
      if (!ok) Fail(where, "\"" + text + "\" is not a number");
    }
    try {
      n = std::stoull(digits, nullptr, hex ? 16 : 10);
    } catch (const std::exception&) {
      Fail(where, "\"" + text + "\" is out of range");
    }
  } else {
    Fail(where, "must be a non-negative integer or a text such as \"0x1A\"");
  }
  if (n > max) Fail(where, std::to_string(n) + " is above the largest allowed value " + std::to_string(max));
  return n;
}

double Rate(const json& value, const std::string& where) {
  if (!value.is_number() || value.get<double>() < 0) Fail(where, "must be a non-negative number");
  return value.get<double>();
}

bool Bool(const json& value, const std::string& where) {
  if (!value.is_boolean()) Fail(where, "must be true or false");
  return value.get<bool>();
}

std::string Text(const json& value, const std::string& where) {
  if (!value.is_string()) Fail(where, "must be a text");
  return value.get<std::string>();
}

Mac MacOf(const json& value, const std::string& where) {
  const auto mac = ParseMac(Text(value, where));
  if (!mac) Fail(where, "\"" + value.get<std::string>() + "\" is not a MAC address");
  return *mac;
}

uint32_t PortMask(const json& value, const std::string& where) {
  if (!value.is_array()) Fail(where, "must be a list of chip ports");
  uint32_t mask = 0;
  for (size_t i = 0; i < value.size(); ++i)
    mask |= 1u << Number(value[i], where + "[" + std::to_string(i) + "]", kMaxChipPorts - 1);
  return mask;
}

const std::map<std::string, TrafficKind>& TrafficNames() {
  static const std::map<std::string, TrafficKind> names = {
      {"rxBytes", TrafficKind::RxBytes},       {"rxPackets", TrafficKind::RxPackets},
      {"txBytes", TrafficKind::TxBytes},       {"txPackets", TrafficKind::TxPackets},
      {"dropBytes", TrafficKind::DropBytes},   {"dropPackets", TrafficKind::DropPackets},
      {"crcErrors", TrafficKind::CrcErrors},   {"collisions", TrafficKind::Collisions},
  };
  return names;
}

void ParseTraffic(const json& object, const std::string& where, PortTraffic& traffic) {
  std::set<std::string> allowed = {"perSecond"};
  for (const auto& [name, kind] : TrafficNames()) allowed.insert(name);
  CheckKeys(object, where, allowed);
  for (const auto& [name, kind] : TrafficNames()) {
    if (object.contains(name)) traffic.Total(kind) = Number(object[name], where + "." + name, UINT64_MAX);
  }
  if (object.contains("perSecond")) {
    const json& rates = object["perSecond"];
    std::set<std::string> names;
    for (const auto& [name, kind] : TrafficNames()) names.insert(name);
    CheckKeys(rates, where + ".perSecond", names);
    for (const auto& [name, kind] : TrafficNames()) {
      if (rates.contains(name)) traffic.Rate(kind) = Rate(rates[name], where + ".perSecond." + name);
    }
  }
}

void ParsePortState(const json& object, const std::string& where, PortState& port) {
  if (object.contains("link")) port.link = Bool(object["link"], where + ".link");
  if (object.contains("speed")) {
    const auto speed = Number(object["speed"], where + ".speed", 1000);
    if (speed != 10 && speed != 100 && speed != 1000) Fail(where + ".speed", "must be 10, 100 or 1000");
    port.speed = static_cast<int>(speed);
  }
  if (object.contains("duplex")) {
    const std::string d = Text(object["duplex"], where + ".duplex");
    if (d != "full" && d != "half") Fail(where + ".duplex", "must be \"full\" or \"half\"");
    port.fullDuplex = d == "full";
  }
  if (object.contains("flowControl")) port.flowControl = Bool(object["flowControl"], where + ".flowControl");
  if (object.contains("traffic")) ParseTraffic(object["traffic"], where + ".traffic", port.traffic);
}

struct PendingUplink {
  bool given = false;
  json switchRef;  // null: the station's own segment
  int port = 0;
  int via = 0;
};

int ResolveSwitch(const json& ref, const std::string& where, const std::vector<SwitchSetup>& switches) {
  if (ref.is_string()) {
    for (size_t i = 0; i < switches.size(); ++i)
      if (switches[i].name == ref.get<std::string>()) return static_cast<int>(i);
    Fail(where, "no switch is named \"" + ref.get<std::string>() + "\"");
  }
  const auto index = Number(ref, where, UINT32_MAX);
  if (index >= switches.size()) Fail(where, "switch index " + std::to_string(index) + " is out of range");
  return static_cast<int>(index);
}

SwitchSetup ParseSwitch(const json& object, const std::string& where, size_t index, PendingUplink& uplink) {
  CheckKeys(object, where,
            {"name", "mac", "vendorId", "model", "eepromVendorId", "chipId", "key", "uplink", "allPorts",
             "ports", "tbiPorts", "loopPorts", "faultStatus", "igmpRouterPorts", "registers", "eeprom",
             "eepromBusyPolls", "eepromWriteProtected", "muted"});
  SwitchSetup s;
  s.name = object.contains("name") ? Text(object["name"], where + ".name") : "switch" + std::to_string(index + 1);
  if (!object.contains("mac")) Fail(where, "a switch needs a \"mac\"");
  s.mac = MacOf(object["mac"], where + ".mac");

  if (object.contains("vendorId") && object.contains("model"))
    Fail(where, "give either \"vendorId\" or \"model\", not both");
  if (object.contains("vendorId")) {
    s.vendorId = static_cast<uint32_t>(Number(object["vendorId"], where + ".vendorId", UINT32_MAX));
  } else if (object.contains("model")) {
    const std::string model = Text(object["model"], where + ".model");
    if (model == "16-port") {
      s.vendorId = kDefault16;
    } else if (model == "24-port") {
      s.vendorId = kDefault24;
    } else if (model == "26-port" || model == "generic") {
      s.vendorId = kDefaultGeneric;
    } else {
      Fail(where + ".model", "must be \"16-port\", \"24-port\" or \"26-port\"");
    }
  }
  if (object.contains("eepromVendorId"))
    s.eepromVendorId = static_cast<uint32_t>(Number(object["eepromVendorId"], where + ".eepromVendorId", UINT32_MAX));
  const int portCount = ModelPortCount(s);
  s.chipId = object.contains("chipId")
                 ? static_cast<uint16_t>(Number(object["chipId"], where + ".chipId", 0xFFFF))
                 : static_cast<uint16_t>(0x5300 + portCount);
  if (object.contains("key")) s.key = static_cast<uint16_t>(Number(object["key"], where + ".key", 0xFFFF));

  if (object.contains("uplink")) {
    const json& u = object["uplink"];
    const std::string uw = where + ".uplink";
    CheckKeys(u, uw, {"switch", "port", "via"});
    uplink.given = true;
    if (!u.contains("via")) Fail(uw, "needs \"via\", this switch's own chip port toward the station");
    uplink.via = static_cast<int>(Number(u["via"], uw + ".via", kMaxChipPorts - 1));
    if (u.contains("switch")) {
      if (!u.contains("port")) Fail(uw, "needs \"port\", the chip port of the upstream switch");
      uplink.switchRef = u["switch"];
      uplink.port = static_cast<int>(Number(u["port"], uw + ".port", kMaxChipPorts - 1));
    } else if (u.contains("port")) {
      Fail(uw, "\"port\" needs \"switch\"");
    }
  }

  if (object.contains("allPorts")) {
    const std::string aw = where + ".allPorts";
    CheckKeys(object["allPorts"], aw, {"link", "speed", "duplex", "flowControl", "traffic"});
    PortState all;
    ParsePortState(object["allPorts"], aw, all);
    s.ports.fill(all);
  }
  if (object.contains("ports")) {
    const json& ports = object["ports"];
    if (!ports.is_array()) Fail(where + ".ports", "must be a list");
    for (size_t i = 0; i < ports.size(); ++i) {
      const std::string pw = where + ".ports[" + std::to_string(i) + "]";
      CheckKeys(ports[i], pw, {"chip", "chips", "link", "speed", "duplex", "flowControl", "traffic"});
      std::vector<int> chips;
      if (ports[i].contains("chip") == ports[i].contains("chips")) Fail(pw, "give exactly one of \"chip\" and \"chips\"");
      if (ports[i].contains("chip")) {
        chips.push_back(static_cast<int>(Number(ports[i]["chip"], pw + ".chip", kMaxChipPorts - 1)));
      } else {
        const uint32_t mask = PortMask(ports[i]["chips"], pw + ".chips");
        for (int k = 0; k < kMaxChipPorts; ++k)
          if (mask & (1u << k)) chips.push_back(k);
      }
      for (int k : chips) {
        if (k >= portCount) Fail(pw, "chip port " + std::to_string(k) + " is beyond this model's " + std::to_string(portCount) + " ports");
        ParsePortState(ports[i], pw, s.ports[k]);
      }
    }
  }
  if (object.contains("tbiPorts")) {
    s.tbiPorts = PortMask(object["tbiPorts"], where + ".tbiPorts");
    if (s.tbiPorts & ~((1u << 24) | (1u << 25))) Fail(where + ".tbiPorts", "only chip ports 24 and 25 have a TBI interface");
  }
  if (object.contains("loopPorts")) s.loopPorts = PortMask(object["loopPorts"], where + ".loopPorts");
  if (object.contains("faultStatus"))
    s.faultStatus = static_cast<uint16_t>(Number(object["faultStatus"], where + ".faultStatus", 0xFFFF));
  if (object.contains("igmpRouterPorts")) s.igmpRouterPorts = PortMask(object["igmpRouterPorts"], where + ".igmpRouterPorts");
  if (object.contains("registers")) {
    const json& regs = object["registers"];
    if (!regs.is_object()) Fail(where + ".registers", "must be an object of register: value");
    for (const auto& item : regs.items()) {
      const std::string rw = where + ".registers." + item.key();
      const auto reg = Number(json(item.key()), rw, 0xFFFF);
      s.registers[static_cast<uint16_t>(reg)] = static_cast<uint32_t>(Number(item.value(), rw, UINT32_MAX));
    }
  }
  if (object.contains("eeprom")) {
    const json& bytes = object["eeprom"];
    if (!bytes.is_object()) Fail(where + ".eeprom", "must be an object of address: byte");
    for (const auto& item : bytes.items()) {
      const std::string ew = where + ".eeprom." + item.key();
      const auto address = Number(json(item.key()), ew, kEepromSize - 1);
      s.eeprom[static_cast<uint16_t>(address)] = static_cast<uint8_t>(Number(item.value(), ew, 0xFF));
    }
  }
  if (object.contains("eepromBusyPolls"))
    s.eepromBusyPolls = static_cast<int>(Number(object["eepromBusyPolls"], where + ".eepromBusyPolls", 1000));
  if (object.contains("eepromWriteProtected"))
    s.eepromWriteProtected = Bool(object["eepromWriteProtected"], where + ".eepromWriteProtected");
  if (object.contains("muted")) s.muted = Bool(object["muted"], where + ".muted");
  return s;
}

std::string SwitchWhere(const Scenario& scenario, size_t i) {
  return "switches[" + std::to_string(i) + "] (" + scenario.switches[i].name + ")";
}

double Share(const json& value, const std::string& where) {
  if (!value.is_number() || value.get<double>() < 0 || value.get<double>() > 1)
    Fail(where, "must be a share from 0 to 1");
  return value.get<double>();
}

// Milliseconds (fractions allowed), up to a minute.
int64_t DelayUs(const json& value, const std::string& where) {
  if (!value.is_number() || value.get<double>() < 0 || value.get<double>() > 60'000)
    Fail(where, "must be a number of milliseconds from 0 to 60000");
  return static_cast<int64_t>(value.get<double>() * 1000.0 + 0.5);
}

// The "faults" object. Switches are muted by name or index.
void ParseFaults(const json& object, const std::string& where, Scenario& scenario) {
  CheckKeys(object, where,
            {"seed", "drop", "dropToSwitches", "dropToStation", "replyDelayMs", "duplicateReplies", "duplicateDelayMs",
             "strayIpv4", "strayOtherRegister", "strayOtherMac", "strayTruncated", "lateNextReply", "lateReplyDelayMs",
             "echoStationFrames", "mute"});
  Faults& f = scenario.faults;
  auto at = [&](const char* key) { return where + "." + key; };
  if (object.contains("seed")) f.seed = Number(object["seed"], at("seed"), UINT64_MAX);
  if (object.contains("drop")) f.dropToSwitches = f.dropToStation = Share(object["drop"], at("drop"));
  if (object.contains("dropToSwitches")) f.dropToSwitches = Share(object["dropToSwitches"], at("dropToSwitches"));
  if (object.contains("dropToStation")) f.dropToStation = Share(object["dropToStation"], at("dropToStation"));
  if (object.contains("replyDelayMs")) f.replyDelayUs = DelayUs(object["replyDelayMs"], at("replyDelayMs"));
  if (object.contains("duplicateReplies")) f.duplicateReplies = Share(object["duplicateReplies"], at("duplicateReplies"));
  if (object.contains("duplicateDelayMs")) f.duplicateDelayUs = DelayUs(object["duplicateDelayMs"], at("duplicateDelayMs"));
  if (object.contains("strayIpv4")) f.strayIpv4 = Share(object["strayIpv4"], at("strayIpv4"));
  if (object.contains("strayOtherRegister")) f.strayOtherRegister = Share(object["strayOtherRegister"], at("strayOtherRegister"));
  if (object.contains("strayOtherMac")) f.strayOtherMac = Share(object["strayOtherMac"], at("strayOtherMac"));
  if (object.contains("strayTruncated")) f.strayTruncated = Share(object["strayTruncated"], at("strayTruncated"));
  if (object.contains("lateNextReply")) f.lateNextReply = Bool(object["lateNextReply"], at("lateNextReply"));
  if (object.contains("lateReplyDelayMs")) f.lateReplyDelayUs = DelayUs(object["lateReplyDelayMs"], at("lateReplyDelayMs"));
  if (object.contains("echoStationFrames")) f.echoStationFrames = Bool(object["echoStationFrames"], at("echoStationFrames"));
  if (object.contains("mute")) {
    const json& list = object["mute"];
    if (!list.is_array()) Fail(at("mute"), "must be a list of switch names or indexes");
    for (size_t i = 0; i < list.size(); ++i)
      scenario.switches[ResolveSwitch(list[i], at("mute") + "[" + std::to_string(i) + "]", scenario.switches)].muted = true;
  }
}

}  // namespace

uint32_t EepromVendorId(const SwitchSetup& desc) { return desc.eepromVendorId ? desc.eepromVendorId : desc.vendorId; }

uint32_t ModelVendorId(const SwitchSetup& desc) {
  if ((desc.vendorId >> 16) == kKnownMakerCode) return desc.vendorId;
  if ((EepromVendorId(desc) >> 16) == kKnownMakerCode) return EepromVendorId(desc);
  return desc.vendorId;
}

int ModelPortCount(const SwitchSetup& desc) { return ProfileForVendor(ModelVendorId(desc)).portCount; }

void ValidateScenario(const Scenario& scenario) {
  const auto& sw = scenario.switches;
  for (size_t i = 0; i < sw.size(); ++i) {
    const std::string where = SwitchWhere(scenario, i);
    const SwitchSetup& s = sw[i];
    if (s.mac[0] & 1) Fail(where + ".mac", "must not be a group (multicast or broadcast) address");
    if (s.mac == scenario.stationMac) Fail(where + ".mac", "is the station's own address");
    for (size_t j = 0; j < i; ++j) {
      if (sw[j].mac == s.mac) Fail(where + ".mac", "is used by " + SwitchWhere(scenario, j) + " too");
      if (!s.name.empty() && sw[j].name == s.name) Fail(where + ".name", "is used by switches[" + std::to_string(j) + "] too");
    }
    const int ports = ModelPortCount(s);
    if (s.towardStation < 0 || s.towardStation >= ports)
      Fail(where, "its port toward the station, chip port " + std::to_string(s.towardStation) +
                      ", is beyond its " + std::to_string(ports) + " ports");
    if (s.upstream >= static_cast<int>(sw.size()) || s.upstream < -1) Fail(where, "hangs on a switch that does not exist");
    if (s.upstream == static_cast<int>(i)) Fail(where, "cannot hang on itself");
    if (s.upstream >= 0) {
      const int upPorts = ModelPortCount(sw[s.upstream]);
      if (s.upstreamPort < 0 || s.upstreamPort >= upPorts)
        Fail(where, "hangs on chip port " + std::to_string(s.upstreamPort) + " of " + SwitchWhere(scenario, s.upstream) +
                        ", which has " + std::to_string(upPorts) + " ports");
    }
    for (int k = 0; k < kMaxChipPorts; ++k) {
      const int speed = s.ports[k].speed;
      if (speed != 10 && speed != 100 && speed != 1000)
        Fail(where + ".ports", "chip port " + std::to_string(k) + " has speed " + std::to_string(speed));
    }
    if (s.eepromBusyPolls < 0) Fail(where + ".eepromBusyPolls", "must not be negative");
    for (const auto& [address, byte] : s.eeprom) {
      (void)byte;
      if (address >= kEepromSize) Fail(where + ".eeprom", "address " + std::to_string(address) + " is beyond the EEPROM");
    }
    // Walking toward the station must end: no switch may (indirectly) hang on itself.
    int at = static_cast<int>(i);
    for (size_t steps = 0; at >= 0; ++steps) {
      if (steps > sw.size()) Fail(where, "its uplinks form a loop");
      at = sw[at].upstream;
    }
  }
}

Scenario ParseScenario(const std::string& text) {
  json doc;
  try {
    doc = ParseJson(text, "");
  } catch (const json::parse_error& e) {
    throw std::runtime_error(std::string("scenario: not valid JSON: ") + e.what());
  }
  CheckKeys(doc, "top level", {"name", "description", "station", "switches", "faults"});
  Scenario scenario;
  if (doc.contains("name")) scenario.name = Text(doc["name"], "name");
  if (doc.contains("description")) scenario.description = Text(doc["description"], "description");

  json stationSwitch;
  int stationPort = 0;
  scenario.stationMac = {0x02, 0x0B, 0xF1, 0x00, 0x00, 0x01};
  if (doc.contains("station")) {
    const json& st = doc["station"];
    CheckKeys(st, "station", {"mac", "switch", "port"});
    if (st.contains("mac")) scenario.stationMac = MacOf(st["mac"], "station.mac");
    if (st.contains("switch")) {
      if (!st.contains("port")) Fail("station", "needs \"port\", the chip port of its switch it is plugged into");
      stationSwitch = st["switch"];
      stationPort = static_cast<int>(Number(st["port"], "station.port", kMaxChipPorts - 1));
    } else if (st.contains("port")) {
      Fail("station", "\"port\" needs \"switch\"");
    }
  }
  if (scenario.stationMac[0] & 1) Fail("station.mac", "must not be a group (multicast or broadcast) address");

  std::vector<PendingUplink> uplinks;
  if (doc.contains("switches")) {
    const json& list = doc["switches"];
    if (!list.is_array()) Fail("switches", "must be a list");
    for (size_t i = 0; i < list.size(); ++i) {
      PendingUplink uplink;
      scenario.switches.push_back(ParseSwitch(list[i], "switches[" + std::to_string(i) + "]", i, uplink));
      uplinks.push_back(uplink);
    }
  }

  int attached = -1;
  if (!stationSwitch.is_null()) {
    attached = ResolveSwitch(stationSwitch, "station.switch", scenario.switches);
    scenario.switches[attached].upstream = -1;
    scenario.switches[attached].towardStation = stationPort;
  }
  for (size_t i = 0; i < scenario.switches.size(); ++i) {
    SwitchSetup& s = scenario.switches[i];
    const PendingUplink& u = uplinks[i];
    const std::string where = SwitchWhere(scenario, i);
    if (static_cast<int>(i) == attached) {
      if (u.given) Fail(where, "the station is plugged into it, so it cannot have an uplink as well");
      continue;
    }
    if (!u.given) Fail(where, "is not connected: give it an \"uplink\" (or plug the station into it)");
    s.towardStation = u.via;
    s.upstream = u.switchRef.is_null() ? -1 : ResolveSwitch(u.switchRef, where + ".uplink.switch", scenario.switches);
    s.upstreamPort = u.port;
  }
  if (doc.contains("faults")) ParseFaults(doc["faults"], "faults", scenario);
  ValidateScenario(scenario);
  return scenario;
}

void ApplyFaultsText(Scenario& scenario, const std::string& text) {
  json object = json::object();
  size_t first = text.find_first_not_of(" \t\n");
  if (first != std::string::npos && text[first] == '{') {
    try {
      object = ParseJson(text, "faults");
    } catch (const json::parse_error& e) {
      throw std::runtime_error(std::string("faults: not valid JSON: ") + e.what());
    }
  } else {
    size_t start = 0;
    while (start < text.size()) {
      const size_t comma = std::min(text.find(',', start), text.size());
      const std::string item = text.substr(start, comma - start);
      start = comma + 1;
      if (item.empty()) continue;
      const size_t eq = item.find('=');
      const std::string key = item.substr(0, eq);
      // A flag on its own is set: "lateNextReply".
      const std::string value = eq == std::string::npos ? "true" : item.substr(eq + 1);
      json parsed;
      try {
        parsed = ParseJson(value, "faults." + key);
      } catch (const json::parse_error&) {
        parsed = value;  // a switch name
      }
      if (key == "mute") {
        object["mute"].push_back(parsed);
      } else {
        object[key] = parsed;
      }
    }
  }
  ParseFaults(object, "faults", scenario);
}

Scenario LoadScenarioFile(const std::string& path) {
  std::string text, error;
  if (!ReadRegularFile(path, kMaxScenarioFileBytes, text, error))
    throw std::runtime_error("cannot read scenario file " + error);
  try {
    return ParseScenario(text);
  } catch (const std::runtime_error& e) {
    throw std::runtime_error("\"" + path + "\": " + e.what());
  }
}

}  // namespace brisfell::sim
