// Tag commands: show tags, tag. They run the Tag Control page's logic; `tag` sets the output
// tag mode of many ports as the page's dialog would for each, one write per register.
#include <string>

#include "cli/cli.h"
#include "pages/vlan/tag_control_logic.h"

namespace brisfell::cli {
namespace {

const Schema& TagSchema() {
  static const Schema schema = {
      {"port"}, {"tag_control"}, {"vid_index", NumberValue}, {"vid", NumberValue}};
  return schema;
}

Table ReadTags(Session& s) {
  Table table;
  if (RefreshTagControl(s.context(), table).kind != OutcomeKind::Done)
    throw Failure(ReadFailure(s, "reading the tag control registers failed"));
  return table;
}

int ShowTags(Session& s) {
  const Table table = ReadTags(s);
  const SwitchRecord& record = s.Record();
  s.out().List("tags", table, TagSchema(), [&](size_t row, Json& j) {
    j["chip_port"] = record.portToChip.at(row);
    // The command's own word for the mode, as `tag` takes it.
    for (int m = 0; m < kTagModeCount; ++m)
      if (table.rows[row][1] == kTagModeTexts[m]) j["mode"] = kTagModeWords[m];
  });
  return kExitOk;
}

int Tag(Session& s, const std::string& listText, const std::string& modeWord) {
  const std::vector<int> positions = s.Ports(listText);
  const int mode = TagModeFromWord(modeWord);
  const Table before = ReadTags(s);
  const std::string nothing = (positions.size() == 1 ? "port " : "ports ") + listText + ": nothing to change";
  const Outcome outcome = ApplyTagModes(s.context(), positions, mode);
  if (outcome.kind == OutcomeKind::NothingToDo) {
    s.out().NothingToDo(nothing);  // said once, naming the ports
    return kExitOk;
  }
  const int status = ExitStatusFor(s, outcome);
  if (status != kExitOk) return status;
  const auto changes = DiffLists(before, ReadTags(s), TagSchema(), "port ");
  if (changes.empty()) s.out().NothingToDo(nothing);
  s.out().Changed(changes);
  return kExitOk;
}

std::string ModeWordsText() {
  std::string text;
  for (const char* w : kTagModeWords) text += (text.empty() ? "" : "|") + std::string(w);
  return text;
}

CommandRegistrar registrar([](Commands& c) {
  static std::string ports, mode;
  c.Add(c.Group("show"), "tags", "Show every port's output tag mode, VLAN index and VLAN ID", Needs::kSwitch,
        ShowTags);

  CLI::App* tag = c.Add(
      &c.App(), "tag",
      "Set the output tag mode of ports: remove the tag, insert it into high-priority (insert-high) or all "
      "(insert-all) untagged frames, or keep frames as they are",
      Needs::kSwitch, [](Session& s) { return Tag(s, ports, mode); }, true);
  tag->add_option("ports", ports, "PORTLIST, e.g. 1-4,9,G1")->required()->check(PortListCheck());
  tag->add_option("mode", mode, ModeWordsText())
      ->required()
      ->check(CLI::Validator(
          [](std::string& t) {
            return TagModeFromWord(t) >= 0 ? std::string() : "bad tag mode: " + t + " (" + ModeWordsText() + ")";
          },
          ModeWordsText()));
});

}  // namespace
}  // namespace brisfell::cli
