// Port commands: show ports, show trunks, port, ports, trunk.
#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "cli/cli.h"
#include "cli/lockout_check.h"
#include "pages/ports/port_config_logic.h"
#include "pages/ports/port_dialogs_logic.h"
#include "pages/ports/port_registers.h"
#include "pages/ports/trunk_logic.h"

namespace brisfell::cli {
namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

// The Port Configuration list, typed.
const Schema& PortConfigSchema() {
  static const Schema schema = {{"port"},
                                {"enabled", FlagValue("enable", "disable")},
                                {"tx_bandwidth", TextOrNull({"no"})},
                                {"rx_bandwidth", TextOrNull({"no"})},
                                {"speed"},
                                {"pause", TextValue, false},
                                {"trunk", TextOrNull({"none"}), false}};
  return schema;
}

// The chip port of each row, as an extra field.
std::function<void(size_t, Json&)> ChipPorts(const SwitchRecord& record) {
  return [&record](size_t row, Json& j) { j["chip_port"] = record.portToChip.at(row); };
}

constexpr const char* kSettingsUsage =
    "settings: [enable|disable] [speed auto|10h|10f|100h|100f|1000f] [rx CODE] [tx CODE] "
    "[pause none|asym-partner|symmetric|asym-local]; CODE is 0-7 or no|128k|256k|512k|1m|2m|4m|8m";
constexpr int kSpeed1000Full = 5;

// The words of each setting, in the order of the dialog's choices.
const std::vector<std::string> kBandwidthWords = {"no", "128k", "256k", "512k", "1m", "2m", "4m", "8m"};
const std::vector<std::string> kSpeedWords = {"auto", "10h", "10f", "100h", "100f", "1000f"};
const std::vector<std::string> kPauseWords = {"none", "asym-partner", "symmetric", "asym-local"};

std::optional<int> WordIndex(const std::vector<std::string>& words, const std::string& text) {
  const auto at = std::find(words.begin(), words.end(), Lower(text));
  if (at == words.end()) return std::nullopt;
  return static_cast<int>(at - words.begin());
}

// The settings words, for completion.
KeywordGrammar SettingsGrammar() {
  return {{"enable", {}},          {"disable", {}},          {"speed", kSpeedWords},
          {"rx", kBandwidthWords}, {"tx", kBandwidthWords}, {"pause", kPauseWords}};
}

std::optional<int> ParseBandwidth(const std::string& text) {
  std::string t = Lower(text);
  if (t.size() > 3 && t.compare(t.size() - 3, 3, "bps") == 0) t.resize(t.size() - 3);
  for (int i = 0; i < 8; ++i)
    if (t == kBandwidthWords[i] || t == std::to_string(i)) return i;
  if (t == "disable" || t == "none" || t == "off") return 0;
  return std::nullopt;
}

std::optional<int> ParseSpeed(const std::string& text) { return WordIndex(kSpeedWords, text); }
std::optional<int> ParsePause(const std::string& text) { return WordIndex(kPauseWords, text); }

// The settings words given after the port(s); only the named settings are set, the others
// stay -1. An error text when the words do not parse.
std::optional<std::string> ParseSettings(const std::vector<std::string>& words, PortSettings& out) {
  std::set<std::string> seen;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string w = Lower(words[i]);
    // One value a setting: which of two would the operator mean?
    const std::string setting = w == "disable" ? "enable" : w;
    if (!seen.insert(setting).second)
      return (setting == "enable" ? std::string("enable/disable") : w) + " is given twice";
    if (w == "enable" || w == "disable") {
      out.enable = w == "enable" ? 0 : 1;
      continue;
    }
    if (w != "speed" && w != "rx" && w != "tx" && w != "pause") return "unknown setting: " + words[i];
    if (i + 1 >= words.size()) return w + " needs a value";
    const std::string& v = words[++i];
    std::optional<int> parsed = w == "speed" ? ParseSpeed(v) : w == "pause" ? ParsePause(v) : ParseBandwidth(v);
    if (!parsed) return "bad " + w + " value: " + v;
    (w == "speed" ? out.speed : w == "rx" ? out.rx : w == "tx" ? out.tx : out.pause) = *parsed;
  }
  return std::nullopt;
}

PortSettings Settings(const std::vector<std::string>& words) {
  PortSettings given;
  if (auto error = ParseSettings(words, given)) throw UsageError(*error + "\n" + kSettingsUsage);
  return given;
}

// "1000f" on ports without a gigabit ability: the page advertises 100M Full then; say so.
void NoteGigabitOnFastPorts(Session& s, const std::vector<int>& positions, const PortSettings& given) {
  if (given.speed != kSpeed1000Full) return;
  std::string names;
  for (int p : positions)
    if (s.Record().portToChip[p] < 24) names += (names.empty() ? "" : ", ") + PortLabel(p);
  if (names.empty()) return;
  const bool one = names.find(',') == std::string::npos;
  s.out().Note("port" + std::string(one ? " " : "s ") + names + (one ? " is" : " are") +
               " 10/100: 1000f advertises 100M Full there");
}

// Register-level changes, for when the list's texts show none (bits the page does not show).
std::vector<Change> RegisterChanges(const std::map<uint16_t, uint32_t>& before,
                                    const std::map<uint16_t, uint32_t>& after) {
  std::vector<Change> changes;
  for (const auto& [reg, value] : after) {
    const auto was = before.find(reg);
    if (was == before.end() || was->second == value) continue;
    Change c;
    c.subject = Format("register 0x%04X", reg);
    c.where = Json::object();
    c.where["register"] = reg;
    c.setting = "value";
    c.before = Format("0x%04X", was->second);
    c.after = Format("0x%04X", value);
    c.beforeValue = was->second;
    c.afterValue = value;
    changes.push_back(c);
  }
  return changes;
}

void Report(Session& s, const std::map<uint16_t, uint32_t>& before, const std::map<uint16_t, uint32_t>& after) {
  const SwitchRecord& r = s.Record();
  auto changes = DiffLists(DecodePortConfig(r, before), DecodePortConfig(r, after), PortConfigSchema(), "port ");
  if (changes.empty()) changes = RegisterChanges(before, after);
  s.out().Changed(changes);
}

int ShowPorts(Session& s) {
  Table table;
  if (!RefreshPortConfig(s.context(), table)) throw Failure("reading the switch's registers failed");
  s.out().List("ports", table, PortConfigSchema(), ChipPorts(s.Record()));
  return kExitOk;
}

// The Trunking dialog's boxes as a list.
Table TrunkTable(const TrunkDialogState& state, const std::array<bool, kMaxTrunkBoxes>& ticked) {
  Table table{{"Trunk", "Enabled"}, {}};
  for (int i = 0; i < state.visibleBoxes; ++i)
    table.rows.push_back({state.captions[i], ticked[i] ? "Enable" : "Disable"});
  return table;
}

const Schema& TrunkSchema() {
  static const Schema schema = {{"group", NumberInText}, {"enabled", FlagValue("Enable", "Disable")}};
  return schema;
}

TrunkDialogState ReadTrunks(Session& s) {
  const TrunkDialogState state = OpenTrunkDialog(s.context());
  if (!state.read) throw Failure("reading the trunk enable register failed");
  return state;
}

int ShowTrunks(Session& s) {
  const TrunkDialogState state = ReadTrunks(s);
  const Table table = TrunkTable(state, state.ticked);
  s.out().List("trunks", table, TrunkSchema(), [&](size_t row, Json& j) {
    const std::string& caption = table.rows[row][0];
    const size_t open = caption.find("(port ");
    j["ports"] = open == std::string::npos ? Json::array() : PortNamesValue(caption.substr(open + 6, caption.size() - open - 7));
    j["caption"] = caption;
  });
  return kExitOk;
}

int Port(Session& s, const std::string& portText, const std::vector<std::string>& words, bool force) {
  const PortSettings given = Settings(words);
  PageContext& ctx = s.context();
  const int position = s.Port(portText);
  Engine& e = s.engine();
  const int sw = ctx.Switch();
  const int chip = e.MapPortToChip(sw, position);
  RefuseLockout(s, LockoutRiskOf(ctx, 0, given.enable == 1 ? 1u << chip : 0), force);
  const std::array<uint16_t, 3> regs = {DisableRegister(chip), PairRegister(kRegPortAdvertise, chip),
                                        PairRegister(kRegPortBandwidth, chip)};
  RegisterReader reader(e, sw);
  {
    AdapterIo io(e);
    for (uint16_t r : regs) reader.Add(r);
    if (!reader.ReadAll()) throw Failure(ReadFailure(s, "reading the port's settings failed", "nothing was written"));
  }
  const SinglePortRegisters read{reader[regs[0]], reader[regs[1]], reader[regs[2]]};
  // The dialog opens with the port's settings; the words given replace some of them.
  PortSettings chosen = SettingsFromRegisters(read, chip);
  for (auto [value, setting] : {std::pair{given.enable, &chosen.enable}, {given.speed, &chosen.speed},
                                {given.rx, &chosen.rx}, {given.tx, &chosen.tx}, {given.pause, &chosen.pause}})
    if (value != -1) *setting = value;
  const SinglePortRegisters next = ApplySinglePort(read, chip, chosen);
  NoteGigabitOnFastPorts(s, {position}, given);
  if (next.disable == read.disable && next.advertise == read.advertise && next.bandwidth == read.bandwidth) {
    s.out().NothingToDo("port " + PortLabel(position) + ": nothing to change");
    return kExitOk;
  }
  PortDialogState state;
  state.row = position;
  state.chip = chip;
  if (!ApplyPortDialog(ctx, state, chosen, LockoutPolicy::kAllow))
    throw Failure(ReadFailure(s, "reading the port's settings failed", "nothing was written"));
  Report(s, reader.Values(), {{regs[0], next.disable}, {regs[1], next.advertise}, {regs[2], next.bandwidth}});
  return kExitOk;
}

int Ports(Session& s, const std::string& listText, const std::vector<std::string>& words, bool force) {
  const PortSettings given = Settings(words);
  PageContext& ctx = s.context();
  const std::vector<int> positions = s.Ports(listText);
  PortsChoice choice;
  for (int p : positions) choice.ports[p] = true;
  // Only the groups given are applied; the others keep the dialog's starting choices unticked.
  auto take = [](int value, bool& apply, int& setting) {
    if (value == -1) return;
    apply = true;
    setting = value;
  };
  take(given.enable, choice.applyEnable, choice.settings.enable);
  take(given.speed, choice.applySpeed, choice.settings.speed);
  take(given.rx, choice.applyRx, choice.settings.rx);
  take(given.tx, choice.applyTx, choice.settings.tx);
  take(given.pause, choice.applyPause, choice.settings.pause);

  Engine& e = s.engine();
  const int sw = ctx.Switch();
  RegisterReader reader(e, sw);
  {
    AdapterIo io(e);
    for (uint16_t r : PortsDialogRegisters()) reader.Add(r);
    if (!reader.ReadAll()) throw Failure(ReadFailure(s, "reading the port registers failed", "nothing was written"));
  }
  uint32_t mask = 0;
  for (int p : positions) mask |= 1u << e.MapPortToChip(sw, p);
  RefuseLockout(s, LockoutRiskOf(ctx, 0, choice.applyEnable && choice.settings.enable == 1 ? mask : 0), force);
  std::map<uint16_t, uint32_t> after = reader.Values();
  ApplyPortsGroups(after, mask, ctx.PortCount(), choice);
  NoteGigabitOnFastPorts(s, positions, given);
  if (after == reader.Values()) {
    s.out().NothingToDo("ports " + listText + ": nothing to change");
    return kExitOk;
  }
  if (!ApplyPortsDialog(ctx, choice, LockoutPolicy::kAllow)) throw Failure("reading the port registers failed; nothing was written");
  Report(s, reader.Values(), after);
  return kExitOk;
}

int Trunk(Session& s, const std::vector<std::string>& groupTexts) {
  const TrunkDialogState state = ReadTrunks(s);
  std::array<bool, kMaxTrunkBoxes> ticked{};
  if (!(groupTexts.size() == 1 && Lower(groupTexts[0]) == "none")) {
    for (const auto& t : groupTexts) {
      const auto g = ParseNumber(t);
      if (!g || *g < 1 || static_cast<int>(*g) > state.visibleBoxes)
        throw UsageError(Format("bad trunk group: %s (this switch has groups 1-%d, or none)", t.c_str(),
                                state.visibleBoxes));
      ticked[*g - 1] = true;
    }
  }
  const auto changes = DiffLists(TrunkTable(state, state.ticked), TrunkTable(state, ticked), TrunkSchema(), "");
  if (changes.empty()) {
    s.out().NothingToDo("trunk groups: nothing to change");
    return kExitOk;
  }
  if (!ApplyTrunkDialog(s.context(), state, ticked))
    throw Failure("reading the trunk enable register failed; nothing was written");
  s.out().Changed(changes);
  return kExitOk;
}

struct Args {
  std::string port;
  std::string list;
  std::vector<std::string> words;
  std::vector<std::string> groups;
  bool force = false;
};

CommandRegistrar registrar([](Commands& c) {
  static Args a;
  CLI::App* show = c.Group("show");
  c.Add(show, "ports", "Show the Port Configuration list", Needs::kSwitch, ShowPorts);
  c.Add(show, "trunks", "Show the trunk groups and whether each is enabled", Needs::kSwitch, ShowTrunks);

  // The settings words are checked while parsing, so that a typo sends nothing.
  auto settingsCheck = [] { Settings(a.words); };
  CLI::App* port = c.Add(
      &c.App(), "port", "Change one port's settings", Needs::kSwitch,
      [](Session& s) { return Port(s, a.port, a.words, a.force); }, true, settingsCheck);
  port->add_option("port", a.port, "Port: 1-24, G1, G2")->required()->check(PortCheck());
  port->add_option("settings", a.words, kSettingsUsage)->required()->type_name("SETTING...");
  port->add_flag("--force", a.force, kForceHelp);
  c.Keywords(port, SettingsGrammar());

  CLI::App* ports = c.Add(
      &c.App(), "ports", "Change the settings of many ports", Needs::kSwitch,
      [](Session& s) { return Ports(s, a.list, a.words, a.force); }, true, settingsCheck);
  ports->add_option("portlist", a.list, "PORTLIST, e.g. 1-4,9,G1")->required()->check(PortListCheck());
  ports->add_option("settings", a.words, kSettingsUsage)->required()->type_name("SETTING...");
  ports->add_flag("--force", a.force, kForceHelp);
  c.Keywords(ports, SettingsGrammar());

  CLI::App* trunk = c.Add(
      &c.App(), "trunk", "Enable exactly the given trunk groups (or none)", Needs::kSwitch,
      [](Session& s) { return Trunk(s, a.groups); }, true);
  trunk->add_option("groups", a.groups, "Group numbers, or none")->required()->check(
      CLI::Validator(
          [](std::string& t) -> std::string {
            return Lower(t) == "none" || ParseNumber(t) ? std::string() : "bad trunk group: " + t;
          },
          "GROUP"));
});

}  // namespace
}  // namespace brisfell::cli
