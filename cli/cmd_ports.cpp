// Port commands: show ports, show trunks, port, ports, trunk.
#include <algorithm>
#include <cctype>

#include "cli/cli.h"
#include "pages/ports/port_config_logic.h"
#include "pages/ports/port_dialogs_logic.h"
#include "pages/ports/trunk_logic.h"

namespace brisfell::cli {
namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

constexpr const char* kSettingsUsage =
    "settings: [enable|disable] [speed auto|10h|10f|100h|100f|1000f] [rx CODE] [tx CODE] "
    "[pause none|asym-partner|symmetric|asym-local]; CODE is 0-7 or no|128k|256k|512k|1m|2m|4m|8m";

std::optional<int> ParseBandwidth(const std::string& text) {
  std::string t = Lower(text);
  if (t.size() > 3 && t.compare(t.size() - 3, 3, "bps") == 0) t.resize(t.size() - 3);
  static const char* kNames[8] = {"no", "128k", "256k", "512k", "1m", "2m", "4m", "8m"};
  for (int i = 0; i < 8; ++i)
    if (t == kNames[i] || t == std::to_string(i)) return i;
  if (t == "disable" || t == "none" || t == "off") return 0;
  return std::nullopt;
}

std::optional<int> ParseSpeed(const std::string& text) {
  static const char* kNames[6] = {"auto", "10h", "10f", "100h", "100f", "1000f"};
  const std::string t = Lower(text);
  for (int i = 0; i < 6; ++i)
    if (t == kNames[i]) return i;
  return std::nullopt;
}

std::optional<int> ParsePause(const std::string& text) {
  static const char* kNames[4] = {"none", "asym-partner", "symmetric", "asym-local"};
  const std::string t = Lower(text);
  for (int i = 0; i < 4; ++i)
    if (t == kNames[i]) return i;
  return std::nullopt;
}

// The settings words given after the port(s); only the named settings are set, the others
// stay -1. An error text when the words do not parse.
std::optional<std::string> ParseSettings(const std::vector<std::string>& words, PortSettings& out) {
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string w = Lower(words[i]);
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

int ShowPorts(Session& s) {
  if (!s.SelectSwitch()) return kExitFailed;
  Table table;
  if (!RefreshPortConfig(s.context(), table)) {
    s.Error("reading the switch's registers failed");
    return kExitFailed;
  }
  s.PrintTable(table);
  return kExitOk;
}

int ShowTrunks(Session& s) {
  if (!s.SelectSwitch()) return kExitFailed;
  const TrunkDialogState state = OpenTrunkDialog(s.context());
  if (!state.read) {
    s.Error("reading the trunk enable register failed");
    return kExitFailed;
  }
  Table table{{"Trunk", "Enabled"}, {}};
  for (int i = 0; i < state.visibleBoxes; ++i)
    table.rows.push_back({state.captions[i], state.ticked[i] ? "Enable" : "Disable"});
  s.PrintTable(table);
  return kExitOk;
}

int Port(Session& s, const std::string& portText, const std::vector<std::string>& words) {
  PortSettings given;
  if (auto error = ParseSettings(words, given)) {
    s.Error(*error + "\n" + kSettingsUsage);
    return kExitUsage;
  }
  if (!s.SelectSwitch()) return kExitFailed;
  PageContext& ctx = s.context();
  auto row = ParsePort(portText, ctx.PortCount());
  if (!row) {
    s.Error("bad port: " + portText);
    return kExitUsage;
  }
  ctx.selectedListRow = *row;
  // The dialog opens with the port's settings; the words given replace some of them.
  const PortDialogState state = OpenPortDialog(ctx);
  if (!state.read) {
    s.Error("reading the port's settings failed; nothing was written");
    return kExitFailed;
  }
  PortSettings chosen = state.settings;
  auto take = [](int value, int& setting) {
    if (value != -1) setting = value;
  };
  take(given.enable, chosen.enable);
  take(given.speed, chosen.speed);
  take(given.rx, chosen.rx);
  take(given.tx, chosen.tx);
  take(given.pause, chosen.pause);
  if (!ApplyPortDialog(ctx, state, chosen)) {
    s.Error("reading the port's settings failed; nothing was written");
    return kExitFailed;
  }
  return kExitOk;
}

int Ports(Session& s, const std::string& listText, const std::vector<std::string>& words) {
  PortsChoice choice;
  PortSettings given;
  if (auto error = ParseSettings(words, given)) {
    s.Error(*error + "\n" + kSettingsUsage);
    return kExitUsage;
  }
  if (!s.SelectSwitch()) return kExitFailed;
  PageContext& ctx = s.context();
  auto positions = ParsePortList(listText, ctx.PortCount());
  if (!positions) {
    s.Error("bad port list: " + listText + " (e.g. 1-4,9,G1)");
    return kExitUsage;
  }
  for (int p : *positions) choice.ports[p] = true;
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
  if (!ApplyPortsDialog(ctx, choice)) {
    s.Error("reading the port registers failed; nothing was written");
    return kExitFailed;
  }
  return kExitOk;
}

int Trunk(Session& s, const std::vector<std::string>& groupTexts) {
  if (!s.SelectSwitch()) return kExitFailed;
  PageContext& ctx = s.context();
  const TrunkDialogState state = OpenTrunkDialog(ctx);
  std::array<bool, kMaxTrunkBoxes> ticked{};
  const bool none = groupTexts.size() == 1 && Lower(groupTexts[0]) == "none";
  if (!none) {
    for (const auto& t : groupTexts) {
      auto g = ParseNumber(t);
      if (!g || *g < 1 || static_cast<int>(*g) > state.visibleBoxes) {
        s.Error(Format("bad trunk group: %s (this switch has groups 1 to %d, or none)", t.c_str(), state.visibleBoxes));
        return kExitUsage;
      }
      ticked[*g - 1] = true;
    }
  }
  if (!ApplyTrunkDialog(ctx, state, ticked)) {
    s.Error("reading the trunk enable register failed; nothing was written");
    return kExitFailed;
  }
  return kExitOk;
}

struct Args {
  std::string port;
  std::string list;
  std::vector<std::string> words;
  std::vector<std::string> groups;
};

CommandRegistrar registrar([](CLI::App& app, Session& s, CommandAction& run) {
  static Args a;
  CLI::App* show = SharedSubcommand(app, "show", "Show a page's list");
  OnRun(show->add_subcommand("ports", "The Port Configuration list"), run, [&s] { return ShowPorts(s); });
  OnRun(show->add_subcommand("trunks", "The trunk groups and whether each is enabled"), run,
        [&s] { return ShowTrunks(s); });

  auto* port = app.add_subcommand("port", std::string("Change one port's settings; ") + kSettingsUsage);
  port->add_option("port", a.port, "Port: 1-24, G1, G2")->required();
  port->add_option("settings", a.words, "Settings words");
  OnRun(port, run, [&s] { return Port(s, a.port, a.words); });

  auto* ports = app.add_subcommand("ports", std::string("Apply settings to many ports; ") + kSettingsUsage);
  ports->add_option("portlist", a.list, "PORTLIST, e.g. 1-4,9,G1")->required();
  ports->add_option("settings", a.words, "Settings words");
  OnRun(ports, run, [&s] { return Ports(s, a.list, a.words); });

  auto* trunk = app.add_subcommand("trunk", "Enable exactly the given trunk groups (or none)");
  trunk->add_option("groups", a.groups, "Group numbers, or none")->required();
  OnRun(trunk, run, [&s] { return Trunk(s, a.groups); });
});

}  // namespace
}  // namespace brisfell::cli
