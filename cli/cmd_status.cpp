// Status commands: show status, show mib, mib-select, mib-clear, mib-all.
#include <algorithm>
#include <cctype>

#include "cli/cli.h"
#include "cli/status_schemas.h"
#include "pages/ports/port_registers.h"
#include "pages/status/mib_counter_logic.h"
#include "pages/status/port_status_logic.h"

namespace brisfell::cli {
namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

int ShowStatus(Session& s) {
  Table table;
  if (!RefreshPortStatus(s.context(), table)) throw Failure(ReadFailure(s, "reading the switch's registers failed"));
  s.out().List("ports", table, PortStatusSchema(), ChipPorts(s.Record()));
  return kExitOk;
}

int ShowMib(Session& s) {
  Table table;
  if (!RefreshMibCounters(s.context(), table)) throw Failure(ReadFailure(s, "reading the switch's registers failed"));
  s.out().List("ports", table, MibSchema(), ChipPorts(s.Record()));
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

// The counter selection registers, read in order; the list's units decoded from them.
std::map<uint16_t, uint32_t> ReadSelections(Session& s) {
  RegisterReader reader(s.engine(), s.context().Switch());
  AdapterIo io(s.engine());
  if (!reader.ReadRange(kRegMibSelect, kMibSelectRegisters))
    throw Failure(ReadFailure(s, "reading the counter selection failed", "nothing was written"));
  return reader.Values();
}

// What each port's counters count, before and after: the units of the MIB list.
void ReportSelections(Session& s, const std::map<uint16_t, uint32_t>& before) {
  const std::map<uint16_t, uint32_t> after = ReadSelections(s);
  const auto changes =
      DiffLists(DecodeMibCounters(s.Record(), before), DecodeMibCounters(s.Record(), after), MibSchema(), "port ");
  if (changes.empty())
    s.out().NothingToDo("counter selection: nothing changed");
  else
    s.out().Changed(changes);
}

int MibSelect(Session& s, const std::string& portText, const std::vector<std::string>& codeTexts) {
  std::array<int, 3> codes{};
  for (int c = 0; c < 3; ++c) codes[c] = *ParseCounterCode(codeTexts[c]);  // checked while parsing
  PageContext& ctx = s.context();
  ctx.selectedListRow = s.Port(portText);
  const auto before = ReadSelections(s);
  const MibConfigState state = OpenMibConfig(ctx);
  if (!ApplyMibConfig(ctx, state, codes))
    throw Failure(ReadFailure(s, "reading the counter selection failed", "nothing was written"));
  ReportSelections(s, before);
  return kExitOk;
}

int MibClear(Session& s, const std::string& target) {
  PageContext& ctx = s.context();
  Json cleared = Json::array();
  if (Lower(target) == "all") {
    if (!MibAllClear(ctx))
      throw Failure(ReadFailure(s, "reading a counter selection register failed", "clearing stopped there"));
    for (int p = 0; p < ctx.PortCount(); ++p) cleared.push_back(PortLabel(p));
    s.out().Line("counters cleared: all ports");
  } else {
    const int position = s.Port(target);
    if (!MibPortClear(ctx, position))
      throw Failure(ReadFailure(s, "reading the port's counter selection failed", "nothing was cleared"));
    cleared.push_back(PortLabel(position));
    s.out().Line("counters cleared: port " + PortLabel(position));
  }
  s.out().Doc()["cleared"] = cleared;
  return kExitOk;
}

int MibAll(Session& s, const std::string& unit) {
  const bool bytes = Lower(unit) == "bytes";
  const uint32_t pattern = bytes ? 0x000 : 0x555;
  const auto before = ReadSelections(s);
  if (std::all_of(before.begin(), before.end(), [&](const auto& r) { return (r.second & 0x0FFF) == pattern; })) {
    s.out().NothingToDo(std::string("every counter counts ") + (bytes ? "bytes" : "packets") + "; nothing to change");
    return kExitOk;
  }
  if (!(bytes ? MibAllBytes(s.context()) : MibAllPackets(s.context())))
    throw Failure(ReadFailure(s, "reading a counter selection register failed", "the change stopped there"));
  ReportSelections(s, before);
  return kExitOk;
}

struct Args {
  std::string port;
  std::vector<std::string> codes;
  std::string target;
  std::string unit;
};

CommandRegistrar registrar([](Commands& c) {
  static Args a;
  CLI::App* show = c.Group("show");
  c.Add(show, "status", "Show the Port Status list", Needs::kSwitch, ShowStatus);
  c.Add(show, "mib", "Show the MIB Counter list", Needs::kSwitch, ShowMib);

  CLI::App* select = c.Add(
      &c.App(), "mib-select", "Choose what a port's three counters count", Needs::kSwitch,
      [](Session& s) { return MibSelect(s, a.port, a.codes); }, true);
  select->add_option("port", a.port, "Port: 1-24, G1, G2")->required()->check(PortCheck());
  select->add_option("codes", a.codes, "Three codes: 0-3 or bytes|packets|crc|collisions")
      ->required()
      ->expected(3)
      ->check(CLI::Validator(
          [](std::string& t) -> std::string {
            return ParseCounterCode(t) ? std::string() : "bad counter code: " + t + " (0-3 or bytes|packets|crc|collisions)";
          },
          "CODE"));

  CLI::App* clear = c.Add(
      &c.App(), "mib-clear", "Clear the counters of a port, or of all ports", Needs::kSwitch,
      [](Session& s) { return MibClear(s, a.target); }, true);
  clear->add_option("target", a.target, "PORT or all")
      ->required()
      ->check(CLI::Validator(
          [](std::string& t) -> std::string {
            return Lower(t) == "all" || ParsePortName(t) ? std::string() : "bad port: " + t + " (a port or all)";
          },
          "PORT|all"));

  CLI::App* all = c.Add(
      &c.App(), "mib-all", "Make every counter count bytes or packets", Needs::kSwitch,
      [](Session& s) { return MibAll(s, a.unit); }, true);
  all->add_option("unit", a.unit, "bytes or packets")->required()->check(CLI::IsMember({"bytes", "packets"}, CLI::ignore_case));
});

}  // namespace
}  // namespace brisfell::cli
