// Status commands: show status, show mib, mib-select, mib-clear, mib-all.
#include <algorithm>
#include <cctype>

#include "cli/cli.h"
#include "pages/status/mib_counter_logic.h"
#include "pages/status/port_status_logic.h"

namespace brisfell::cli {
namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

int ShowTable(Session& s, bool (*refresh)(PageContext&, Table&)) {
  if (!s.SelectSwitch()) return kExitFailed;
  Table table;
  if (!refresh(s.context(), table)) {
    s.Error("reading the switch's registers failed");
    return kExitFailed;
  }
  s.PrintTable(table);
  return kExitOk;
}

// A counter code by number (0-3) or by what it counts.
std::optional<int> ParseCounterCode(const std::string& text) {
  const std::string t = Lower(text);
  if (t == "0" || t == "bytes" || t == "byte") return 0;
  if (t == "1" || t == "packets" || t == "packet") return 1;
  if (t == "2" || t == "crc") return 2;
  if (t == "3" || t == "collisions" || t == "collision") return 3;
  return std::nullopt;
}

int MibSelect(Session& s, const std::string& portText, const std::vector<std::string>& codeTexts) {
  std::array<int, 3> codes{};
  if (codeTexts.size() != 3) {
    s.Error("usage: mib-select PORT C1 C2 C3 (each 0-3 or bytes|packets|crc|collisions)");
    return kExitUsage;
  }
  for (int c = 0; c < 3; ++c) {
    auto code = ParseCounterCode(codeTexts[c]);
    if (!code) {
      s.Error("bad counter code: " + codeTexts[c] + " (0-3 or bytes|packets|crc|collisions)");
      return kExitUsage;
    }
    codes[c] = *code;
  }
  if (!s.SelectSwitch()) return kExitFailed;
  PageContext& ctx = s.context();
  auto row = ParsePort(portText, ctx.PortCount());
  if (!row) {
    s.Error("bad port: " + portText);
    return kExitUsage;
  }
  ctx.selectedListRow = *row;
  const MibConfigState state = OpenMibConfig(ctx);
  if (!ApplyMibConfig(ctx, state, codes)) {
    s.Error("reading the counter selection failed; nothing was written");
    return kExitFailed;
  }
  return kExitOk;
}

int MibClear(Session& s, const std::string& target) {
  if (!s.SelectSwitch()) return kExitFailed;
  PageContext& ctx = s.context();
  bool done = false;
  if (Lower(target) == "all") {
    done = MibAllClear(ctx);
  } else {
    auto row = ParsePort(target, ctx.PortCount());
    if (!row) {
      s.Error("bad port: " + target + " (a port or all)");
      return kExitUsage;
    }
    done = MibPortClear(ctx, *row);
  }
  if (!done) {
    s.Error("reading a counter selection register failed; clearing stopped there");
    return kExitFailed;
  }
  return kExitOk;
}

int MibAll(Session& s, const std::string& unit) {
  const std::string u = Lower(unit);
  if (u != "bytes" && u != "packets") {
    s.Error("usage: mib-all bytes|packets");
    return kExitUsage;
  }
  if (!s.SelectSwitch()) return kExitFailed;
  if (!(u == "bytes" ? MibAllBytes(s.context()) : MibAllPackets(s.context()))) {
    s.Error("reading a counter selection register failed; the change stopped there");
    return kExitFailed;
  }
  return kExitOk;
}

struct Args {
  std::string port;
  std::vector<std::string> codes;
  std::string target;
  std::string unit;
};

CommandRegistrar registrar([](CLI::App& app, Session& s, CommandAction& run) {
  static Args a;
  CLI::App* show = SharedSubcommand(app, "show", "Show a page's list");
  OnRun(show->add_subcommand("status", "The Port Status list"), run, [&s] { return ShowTable(s, RefreshPortStatus); });
  OnRun(show->add_subcommand("mib", "The MIB Counter list"), run, [&s] { return ShowTable(s, RefreshMibCounters); });

  auto* select = app.add_subcommand("mib-select", "Choose what a port's three counters count");
  select->add_option("port", a.port, "Port: 1-24, G1, G2")->required();
  select->add_option("codes", a.codes, "Three codes: 0-3 or bytes|packets|crc|collisions")->required()->expected(3);
  OnRun(select, run, [&s] { return MibSelect(s, a.port, a.codes); });

  auto* clear = app.add_subcommand("mib-clear", "Clear the counters of a port, or of all ports");
  clear->add_option("target", a.target, "PORT or all")->required();
  OnRun(clear, run, [&s] { return MibClear(s, a.target); });

  auto* all = app.add_subcommand("mib-all", "Make every counter count bytes or packets");
  all->add_option("unit", a.unit, "bytes or packets")->required();
  OnRun(all, run, [&s] { return MibAll(s, a.unit); });
});

}  // namespace
}  // namespace brisfell::cli
