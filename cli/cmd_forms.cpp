// The form pages from the command line, from their tables: `show PAGE` prints what the page
// shows, `PAGE SETTING VALUE...` changes what is named and keeps the rest as the switch has it
// (read first, then written as the page's Update would). Also `show faults` and `reset`.
#include <algorithm>
#include <set>

#include "cli/cli.h"
#include "pages/common/form.h"
#include "pages/common/trunk_groups.h"
#include "pages/features/feature_forms.h"
#include "pages/form_catalog.h"
#include "pages/system/device_reset_logic.h"
#include "pages/system/fault_info_logic.h"

namespace brisfell::cli {
namespace {

std::string Key(const std::string& keyword) {
  std::string key = keyword;
  std::replace(key.begin(), key.end(), '-', '_');
  return key;
}

// The label as the page shows it, without the layout's blanks and trailing colon.
std::string Caption(const FormField& f) {
  std::string text = f.label;
  while (!text.empty() && (text.back() == ':' || text.back() == ' ')) text.pop_back();
  while (!text.empty() && text.front() == ' ') text.erase(text.begin());
  return text;
}

bool IsOnOff(const FormField& f) {
  return f.kind == FieldKind::RadioPair && std::string(f.words[0]) == "on" && std::string(f.words[1]) == "off";
}

Json PortNames(uint32_t positions, int portCount) {
  Json names = Json::array();
  for (int p = 0; p < std::min(portCount, kMaxChipPorts); ++p)
    if ((positions >> p) & 1) names.push_back(PortLabel(p));
  return names;
}

// A field's value typed: on/off pairs as booleans, other choices as their words, port sets as
// port names; null where nothing is known.
Json Typed(const FormField& f, const FieldValue& v, int portCount) {
  if (f.kind == FieldKind::PortSet) return PortNames(v.ticked, portCount);
  if (v.choice < 0) return nullptr;
  if (IsOnOff(f)) return v.choice == 0;
  return FieldWord(f, v);
}

std::string ValuesHelp(const FormField& f) {
  if (f.kind == FieldKind::PortSet) return "PORTLIST|all|none";
  if (f.kind == FieldKind::RadioPair) return std::string(f.words[0]) + "|" + f.words[1];
  std::string out;
  for (const char* w : f.itemWords) out += (out.empty() ? "" : "|") + std::string(w);
  return out;
}

// The words a field takes, for completion (a port list is typed, "all" and "none" offered).
std::vector<std::string> ValueWords(const FormField& f) {
  if (f.kind == FieldKind::PortSet) return {"all", "none"};
  if (f.kind == FieldKind::RadioPair) return {f.words[0], f.words[1]};
  return {f.itemWords.begin(), f.itemWords.end()};
}

std::string SettingsHelp(const FormTable& formTable) {
  std::string out;
  for (const FormField& f : formTable.fields) out += (out.empty() ? "" : " ") + ("[" + std::string(f.keyword) + " " + ValuesHelp(f) + "]");
  return out;
}

// A page of one setting takes its value alone ("igmp on").
bool TakesBareValue(const FormTable& formTable) { return formTable.fields.size() == 1; }

// The words as (field, value) pairs, checked for everything that does not depend on the switch.
std::vector<std::pair<int, std::string>> ParseSettings(const FormTable& formTable, const std::vector<std::string>& words) {
  std::vector<std::pair<int, std::string>> given;
  if (words.empty()) throw UsageError(std::string("nothing to change; settings: ") + SettingsHelp(formTable));
  std::vector<std::string> w = words;
  if (TakesBareValue(formTable) && w.size() == 1) w.insert(w.begin(), formTable.fields[0].keyword);
  std::set<int> seen;
  for (size_t i = 0; i < w.size(); i += 2) {
    const int field = formTable.IndexOf(w[i]);
    if (field < 0) throw UsageError("unknown setting: " + w[i] + " (settings: " + SettingsHelp(formTable) + ")");
    const FormField& f = formTable.fields[static_cast<size_t>(field)];
    if (i + 1 >= w.size()) throw UsageError(w[i] + " needs a value: " + ValuesHelp(f));
    if (!seen.insert(field).second) throw UsageError(w[i] + " is given twice");
    const std::string& value = w[i + 1];
    const bool ok = f.kind == FieldKind::PortSet ? value == "all" || value == "none" || ParsePortNames(value).has_value()
                                                 : ChoiceFromWord(f, value) >= 0;
    if (!ok) throw UsageError("bad " + w[i] + " value: " + value + " (" + ValuesHelp(f) + ")");
    given.emplace_back(field, value);
  }
  return given;
}

// What the page's extra controls show, beside the table's fields.
void ShowExtras(Session& s, const FormTable& formTable, const FormState& state, Table& table) {
  if (formTable.keyword != std::string("igmp")) return;
  auto it = state.lastRead.find(kRegIgmpRouterPorts);
  const std::string text = it == state.lastRead.end() ? "" : RouterPortsText(s.Record(), it->second);
  table.rows.push_back({"IP Multicast Router Port", text});
  Json ports = Json::array();
  size_t start = 0;
  for (size_t comma; (comma = text.find(',', start)) != std::string::npos; start = comma + 1)
    ports.push_back(text.substr(start, comma - start));
  s.out().Doc()["router_ports"] = ports;
}

FormState ReadForm(Session& s, const FormTable& formTable, const char* doing) {
  FormState state = NewFormState(formTable, s.Record().portCount);
  const Outcome read = FormRefresh(s.context(), formTable, state);
  if (read.kind == OutcomeKind::ReadFailed) throw Failure(read.message + (doing ? std::string("; ") + doing : ""));
  return state;
}

int ShowForm(Session& s, const FormTable& formTable) {
  const FormState state = ReadForm(s, formTable, nullptr);
  const int n = s.Record().portCount;
  Table table{{"Setting", "Value"}, {}};
  for (size_t i = 0; i < formTable.fields.size(); ++i) {
    const FormField& f = formTable.fields[i];
    table.rows.push_back({Caption(f), FieldText(f, state.values[i], n)});
    s.out().Doc()[Key(f.keyword)] = Typed(f, state.values[i], n);
  }
  ShowExtras(s, formTable, state, table);
  if (!s.out().Json()) s.out().List("settings", table, {{"setting"}, {"value"}});
  return kExitOk;
}

int SetForm(Session& s, const FormTable& formTable, const std::vector<std::string>& words) {
  const auto given = ParseSettings(formTable, words);
  const int n = s.Record().portCount;
  // Ports are checked against this switch before anything is read or written.
  std::vector<uint32_t> positions(given.size(), 0);
  for (size_t g = 0; g < given.size(); ++g) {
    const auto& [field, value] = given[g];
    if (formTable.fields[static_cast<size_t>(field)].kind != FieldKind::PortSet) continue;
    if (value == "all") positions[g] = n >= 32 ? ~0u : (1u << n) - 1;
    if (value != "all" && value != "none")
      for (int p : s.Ports(value)) positions[g] |= 1u << p;
  }
  const FormState before = ReadForm(s, formTable, "nothing was written");
  FormState after = before;
  for (size_t g = 0; g < given.size(); ++g) {
    const auto& [field, value] = given[g];
    const FormField& f = formTable.fields[static_cast<size_t>(field)];
    FieldValue& v = after.values[static_cast<size_t>(field)];
    if (f.kind == FieldKind::PortSet) {
      v.ticked = positions[g];
      v.tickedChosen = true;
    } else {
      v.choice = ChoiceFromWord(f, value);
    }
  }
  const auto changes = FormChanges(formTable, before, after);
  if (changes.empty()) {
    s.out().NothingToDo(std::string(formTable.keyword) + ": nothing to change");
    return kExitOk;
  }
  const int status = ExitStatusFor(s, FormUpdate(s.context(), formTable, after));
  if (status != kExitOk) return status;
  for (const FieldChange& c : changes) {
    const size_t i = static_cast<size_t>(formTable.IndexOf(c.keyword));
    Change change;
    change.subject = formTable.keyword;
    change.where = Json::object();
    change.where["page"] = formTable.keyword;
    change.setting = Key(c.keyword);
    change.before = c.before;
    change.after = c.after;
    change.beforeValue = Typed(formTable.fields[i], before.values[i], n);
    change.afterValue = Typed(formTable.fields[i], after.values[i], n);
    s.out().Changed(change);
  }
  return kExitOk;
}

int ShowFaults(Session& s) {
  FaultInfo info;
  const Outcome read = RefreshFaultInfo(s.context(), info);
  if (read.kind == OutcomeKind::ReadFailed) throw Failure(read.message);
  const SwitchRecord& r = s.Record();
  Table table{{"Setting", "Value"}, {}};
  std::string groups = info.faultGroups;
  for (size_t at; (at = groups.find("\r\n")) != std::string::npos;) groups.replace(at, 2, at + 2 < groups.size() ? "; " : "");
  table.rows = {{"Trunk Port Fault", info.trunkFault},
                {"Fault Trunk Port Group", groups},
                {"Network Loop Fault", info.loopFault},
                {"Loop Port Detected", PortListText(info.loopPorts, r.portCount)}};
  if (ShowsGigaPhy(r.portCount)) {
    table.rows.push_back({"GigaPHY1", info.gigaPhy1});
    table.rows.push_back({"GigaPHY2", info.gigaPhy2});
  }
  Json& doc = s.out().Doc();
  doc["trunk_port_fault"] = info.trunkFault == "Error";
  Json faulty = Json::array();
  // The faulty groups by number, as the trunking dialog numbers them.
  for (int g = 1; g <= TrunkGroupCount(r); ++g)
    if (info.faultGroups.find(TrunkFaultLine(r, g)) != std::string::npos) faulty.push_back(g);
  doc["faulty_trunk_groups"] = faulty;
  doc["network_loop_fault"] = info.loopFault == "Error";
  doc["loop_ports"] = PortNames(info.loopPorts, r.portCount);
  doc["giga_phy_1_present"] = ShowsGigaPhy(r.portCount) ? Json(info.gigaPhy1 == "Exist") : Json(nullptr);
  doc["giga_phy_2_present"] = ShowsGigaPhy(r.portCount) ? Json(info.gigaPhy2 == "Exist") : Json(nullptr);
  if (!s.out().Json()) s.out().List("faults", table, {{"setting"}, {"value"}});
  return kExitOk;
}

int Reset(Session& s, const std::string& kind) {
  const bool hard = kind == "hard";
  const int status = ExitStatusFor(s, hard ? HardwareReset(s.context()) : SoftReset(s.context()));
  if (status != kExitOk) return status;
  s.out().Line(std::string(hard ? "hardware" : "soft") + " reset " + Sent(s) + " to " + FormatMac(s.Record().mac));
  s.out().Doc()["reset"] = kind;
  return kExitOk;
}

}  // namespace

CommandRegistrar registrar([](Commands& c) {
  CLI::App* show = c.Group("show");
  static const std::vector<const FormTable*> catalog = FormCatalog();
  // One list of words per page; they outlive parsing like every command's arguments.
  static std::vector<std::vector<std::string>> words(catalog.size());
  for (size_t slot = 0; slot < catalog.size(); ++slot) {
    const FormTable* formTable = catalog[slot];
    if (!formTable->tableCommands) continue;
    c.Add(show, formTable->keyword, std::string("Show the ") + formTable->caption + " page", Needs::kSwitch,
          [formTable](Session& s) { return ShowForm(s, *formTable); });
    std::vector<std::string>& mine = words[slot];
    CLI::App* set = c.Add(
        &c.App(), formTable->keyword, std::string("Change the ") + formTable->caption + " settings: " + SettingsHelp(*formTable),
        Needs::kSwitch, [formTable, &mine](Session& s) { return SetForm(s, *formTable, mine); }, true,
        [formTable, &mine] { ParseSettings(*formTable, mine); });
    set->add_option("settings", mine, "SETTING VALUE pairs")->required();
    KeywordGrammar grammar;
    for (const FormField& f : formTable->fields) grammar.emplace_back(f.keyword, ValueWords(f));
    if (TakesBareValue(*formTable))
      for (const std::string& value : ValueWords(formTable->fields[0])) grammar.emplace_back(value, std::vector<std::string>{});
    c.Keywords(set, std::move(grammar));
  }
  c.Add(show, "faults", "Show the Fault Information page", Needs::kSwitch, ShowFaults);
  static std::string resetKind;
  CLI::App* reset = c.Add(
      &c.App(), "reset", "Reset the switch: soft, or hard (asks unless --yes)", Needs::kSwitch,
      [](Session& s) { return Reset(s, resetKind); }, true);
  reset->add_option("kind", resetKind, "soft|hard")->required()->check(CLI::IsMember({"soft", "hard"}));
});

}  // namespace brisfell::cli
