// Configuration commands: config save/load/show/diff, factory-default, save-eeprom. They run
// the Configurations page's logic; long actions draw a progress line on a terminal.
#include <unistd.h>

#include <filesystem>
#include <iostream>

#include "cli/cli.h"
#include "pages/system/configurations_logic.h"

namespace brisfell::cli {
namespace {

std::string Hex(uint32_t v) { return Format("0x%04X", v); }

std::string SwitchText(Session& s) {
  return FormatMac(s.Record().mac) + " (" + s.engine().ModelName(s.context().Switch()) + ")";
}

// "label done/total" redrawn in place on stderr, only when stderr is a terminal and the output
// is not JSON. Actions run on its context, whose prompt ends the line before any box or
// question is printed; the line is also ended however the action ends.
class ProgressLine : public Prompt {
 public:
  ProgressLine(Session& s, std::string label)
      : inner_(s.prompt()), context_(s.context().engine, *this), label_(std::move(label)) {
    context_.selectedListRow = s.context().selectedListRow;
    context_.showStatus = s.context().showStatus;
    on_ = !s.Options().json && ::isatty(STDERR_FILENO);
  }
  ~ProgressLine() override { End(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  PageContext& Context() { return context_; }
  ProgressFn Fn() {
    if (!on_) return {};
    return [this](int done, int total) {
      std::cerr << "\r" << label_ << " " << done << "/" << total << std::flush;
      drawn_ = true;
    };
  }
  // Ends the line, before anything else is printed.
  void End() {
    if (drawn_) std::cerr << "\n";
    drawn_ = false;
  }

  void Message(const std::string& title, const std::string& text, PromptIcon icon) override {
    End();
    inner_.Message(title, text, icon);
  }
  bool AskYesNo(const std::string& title, const std::string& text, PromptIcon icon) override {
    End();
    return inner_.AskYesNo(title, text, icon);
  }
  std::optional<std::string> SaveFileName(const FileDialogRequest& r) override { return inner_.SaveFileName(r); }
  std::optional<std::string> OpenFileName(const FileDialogRequest& r) override { return inner_.OpenFileName(r); }

 private:
  Prompt& inner_;
  PageContext context_;
  std::string label_;
  bool on_ = false;
  bool drawn_ = false;
};

// Which model's register list a file's entries are, if any.
std::string ListOfModel(const std::vector<ConfigEntry>& entries) {
  const std::pair<ProfileKind, const char*> kinds[] = {
      {ProfileKind::Port16, "LM8816"}, {ProfileKind::Port24, "TGR7724"}, {ProfileKind::Generic, "26-port"}};
  for (const auto& [kind, name] : kinds) {
    const FactoryDefaultList list = BuildFactoryDefaultList(kind);
    bool same = list.size() == entries.size();
    for (size_t i = 0; i < list.size() && same; ++i) same = list[i].reg == entries[i].reg && list[i].mask == entries[i].mask;
    if (same) return name;
  }
  return "";
}

// The file as a load reads it, or why it cannot be used.
struct CheckedFile {
  std::optional<ConfigFile> file;
  std::string error;
  Json details = Json::object();
};

CheckedFile ReadChecked(const std::string& path) {
  CheckedFile c;
  c.details["file"] = path;
  std::string why;
  const auto parse = ReadConfigFile(path, why);
  if (!parse) {
    c.error = std::string(kOpenFileFailed) + " " + why;
    c.details["problem"] = why;
  } else if (!parse->file) {
    c.error = std::string(kInvalidFileFormat) + " " + path + ": " + parse->problem;
    c.details["problem"] = parse->problem;
  } else {
    c.file = parse->file;
  }
  return c;
}

// ---------------------------------------------------------------- config save / load

int Save(Session& s, const std::string& path) {
  // The save dialog asks before replacing a file; so does the command line.
  std::error_code ec;
  if (std::filesystem::exists(path, ec) &&
      !s.prompt().AskYesNo(kSaveToFileText, path + " already exists.\nDo you want to replace it?", PromptIcon::Warning))
    return ExitStatusFor(s, Outcome::Declined());
  s.prompt().SetNextFileName(path);
  ProgressLine line(s, "Reading registers");
  const SaveFileResult r = SaveConfigToFile(line.Context(), line.Fn());
  line.End();
  if (r.outcome != ConfigOutcome::Done) return ExitStatusFor(s, ToOutcome(r.outcome));
  Json& doc = s.out().Doc();
  doc["file"] = path;
  doc["mac"] = FormatMac(s.Record().mac);
  doc["entries"] = r.rows.size();
  doc["bytes"] = kConfigHeaderSize + kConfigEntrySize * r.rows.size();
  s.out().Line(Format("Saved %zu registers of %s to %s", r.rows.size(), SwitchText(s).c_str(), path.c_str()));
  return kExitOk;
}

int Load(Session& s, const std::string& path) {
  s.prompt().SetNextFileName(path);
  ProgressLine line(s, "Writing registers");
  const LoadFileResult r = LoadConfigFromFile(line.Context(), line.Fn());
  line.End();
  if (r.outcome == ConfigOutcome::InvalidFile) s.out().Note(path + ": " + r.problem);
  if (r.outcome != ConfigOutcome::Done) return ExitStatusFor(s, ToOutcome(r.outcome));

  std::vector<Change> changes;
  for (const RegisterChange& c : r.changed) {
    Change change;
    change.subject = "register " + Hex(c.reg);
    change.where = Json{{"register", c.reg}};
    change.setting = "value";
    change.before = Hex(c.before);
    change.after = Hex(c.after);
    change.beforeValue = c.before;
    change.afterValue = c.after;
    changes.push_back(change);
  }
  if (changes.empty()) s.out().NothingToDo("registers: nothing changed");
  s.out().Changed(changes);
  Json& doc = s.out().Doc();
  doc["file"] = path;
  doc["mac"] = FormatMac(s.Record().mac);
  doc["entries"] = r.entries;
  doc["written"] = r.written;
  doc["unread"] = r.unread;
  doc["soft_reset"] = true;
  s.out().Line(Format("Loaded %d of %d registers from %s into %s; soft reset %s", r.written, r.entries,
                      path.c_str(), SwitchText(s).c_str(), Sent(s)));
  if (r.unread.empty()) return kExitOk;
  std::string regs;
  for (uint16_t reg : r.unread) regs += (regs.empty() ? "" : ", ") + Hex(reg);
  throw Failure("these registers could not be read and were left as they were: " + regs);
}

// ---------------------------------------------------------------- config show / diff

const Schema& EntrySchema() {
  static const Schema schema = {{"register", NumberValue},
                                {"holds"},
                                {"saved", NumberValue},
                                {"mask", NumberValue},
                                {"default", NumberValue, false}};
  return schema;
}

int Show(Session& s, const std::string& path) {
  const CheckedFile c = ReadChecked(path);
  if (!c.file) throw Failure(c.error, c.details);
  const ConfigHeader& h = c.file->header;
  const std::string model = ListOfModel(c.file->entries);
  Json& doc = s.out().Doc();
  doc["file"] = path;
  doc["mac"] = FormatMac(h.mac);
  doc["data_offset"] = h.dataOffset;
  doc["data_length"] = h.dataLength;
  doc["checksum"] = h.checksum;
  doc["model_list"] = model.empty() ? Json(nullptr) : Json(model);
  s.out().Line("File: " + path);
  s.out().Line("Switch: " + FormatMac(h.mac));
  s.out().Line(Format("Format: valid (data at offset %u, %u bytes, checksum 0x%08X)", h.dataOffset, h.dataLength,
                      h.checksum));
  s.out().Line(Format("Entries: %zu", c.file->entries.size()) +
               (model.empty() ? " (no model's register list)" : " (the " + model + " register list)"));
  Table t{{"Register", "Holds", "Saved", "Mask", "Default"}, {}};
  for (const auto& e : c.file->entries) {
    const uint16_t reg = static_cast<uint16_t>(e.reg & 0xFFFF);
    t.rows.push_back({Hex(reg), RegisterCaption(reg), Hex(e.value), Hex(e.mask), Hex(e.factoryDefault)});
  }
  s.out().List("entries", t, EntrySchema(), [&](size_t row, Json& j) {
    j["fields"] = ConfigRegisterFields(static_cast<uint16_t>(c.file->entries[row].reg & 0xFFFF));
  });
  return kExitOk;
}

// As diff(1): 0 when every entry's masked bits equal the switch's, 1 when some differ, 2 when
// the comparison could not be made.
constexpr int kExitDiffTrouble = 2;

int Diff(Session& s, const std::string& path) {
  const CheckedFile c = ReadChecked(path);
  if (!c.file) {
    s.Error(c.error, c.details);
    return kExitDiffTrouble;
  }
  // The switch is selected here, after the file, so that no failure ends with the status that
  // means "different".
  if (!s.SelectSwitch()) return kExitDiffTrouble;
  // Another model's registers mean other things: every "difference" would be noise.
  const std::string fileModel = ListOfModel(c.file->entries);
  const FactoryDefaultList* own = s.Record().factoryDefaults;
  const std::string switchModel = own ? ListOfModel(*own) : "";
  if (!fileModel.empty() && !switchModel.empty() && fileModel != switchModel) {
    Json details = c.details;
    details["file_model"] = fileModel;
    details["switch_model"] = switchModel;
    s.Error("the file holds a " + fileModel + " switch's registers, but " + FormatMac(s.Record().mac) + " is a " +
                switchModel + " switch: nothing compared",
            details);
    return kExitDiffTrouble;
  }
  ProgressLine line(s, "Reading registers");
  const ConfigDiffResult r = DiffConfig(line.Context(), *c.file, line.Fn());
  line.End();
  if (!r.ran) {
    s.Error("no switch is selected");
    return kExitDiffTrouble;
  }
  const Mac& mac = s.Record().mac;
  if (c.file->header.mac != mac)
    s.out().Note("the file was taken from " + FormatMac(c.file->header.mac) + "; comparing with " + SwitchText(s));
  Table t{{"Register", "Holds", "Mask", "File", "Switch"}, {}};
  for (const auto& x : r.differences) {
    const uint16_t reg = static_cast<uint16_t>(x.entry.reg & 0xFFFF);
    t.rows.push_back({Hex(reg), RegisterCaption(reg), Hex(x.entry.mask), Hex(x.entry.value & x.entry.mask),
                      Hex(x.current & x.entry.mask)});
    // Few rows: the page captions of the register's bits fit beside them.
    std::string captions;
    for (const auto& f : ConfigRegisterFields(reg)) captions += (captions.empty() ? "" : ", ") + f;
    if (!s.out().Json() && !captions.empty()) t.rows.back()[1] += " (" + captions + ")";
  }
  const Schema schema = {
      {"register", NumberValue}, {"holds"}, {"mask", NumberValue}, {"file", NumberValue}, {"switch", NumberValue}};
  Json& doc = s.out().Doc();
  doc["file"] = path;
  doc["file_mac"] = FormatMac(c.file->header.mac);
  doc["mac"] = FormatMac(mac);
  doc["compared"] = c.file->entries.size() - r.unread.size();
  doc["equal"] = r.differences.empty() && r.unread.empty();
  if (r.differences.empty())
    s.out().Line(Format("No differences in %zu registers", c.file->entries.size() - r.unread.size()));
  // Equal: the line above says so; a table of no rows would only be its header.
  if (s.out().Json() || !r.differences.empty())
    s.out().List("differences", t, schema, [&](size_t row, Json& j) {
      j["fields"] = ConfigRegisterFields(static_cast<uint16_t>(r.differences[row].entry.reg & 0xFFFF));
      j["switch_value"] = r.differences[row].current;
    });
  doc["unread"] = r.unread;
  if (!r.unread.empty()) {
    std::string regs;
    for (uint16_t reg : r.unread) regs += (regs.empty() ? "" : ", ") + Hex(reg);
    s.Error("these registers could not be read: " + regs);
    return kExitDiffTrouble;
  }
  return r.differences.empty() ? kExitOk : kExitFailed;
}

// ---------------------------------------------------------------- factory-default / save-eeprom

const char* EepromOutcomeName(EepromOutcome o) {
  switch (o) {
    case EepromOutcome::NotReady: return "not_ready";
    case EepromOutcome::NotOffered: return "not_offered";
    case EepromOutcome::Declined: return "declined";
    case EepromOutcome::Saved: return "saved";
    case EepromOutcome::RegisterReadFailed: return "register_read_failed";
    case EepromOutcome::EepromReadFailed: return "eeprom_read_failed";
    case EepromOutcome::EepromWriteFailed: return "eeprom_write_failed";
  }
  return "";
}

int FactoryDefaults(Session& s) {
  const bool eeprom = SaveToHardwareOffered(s.Record().portCount);
  // The page's button asks nothing; a command typed by mistake gets one question.
  const std::string question =
      "Factory Default writes the power-on defaults into the settings of " + SwitchText(s) +
      (eeprom ? ", saves them to its EEPROM and resets it.\n" : " and soft-resets it.\n") + "Continue?";
  if (!s.prompt().AskYesNo(kFactoryDefaultText, question, PromptIcon::Warning))
    return ExitStatusFor(s, Outcome::Declined());
  ProgressLine line(s, kFactoryDefaultText);
  const FactoryDefaultResult r = FactoryDefault(line.Context(), line.Fn());
  line.End();
  if (!r.ran) throw Failure("no switch is selected");
  const char* reset = r.reset == ResetSent::Hardware ? "hardware" : r.reset == ResetSent::Soft ? "soft" : "none";
  Json& doc = s.out().Doc();
  doc["mac"] = FormatMac(s.Record().mac);
  doc["written"] = r.registersWritten;
  // The words `reset` takes.
  doc["reset"] = r.reset == ResetSent::Hardware ? "hard" : reset;
  if (eeprom)
    doc["eeprom"] = Json{{"outcome", EepromOutcomeName(r.eeprom.outcome)}, {"words_written", r.eeprom.wordsWritten}};
  std::string text = Format("Wrote %d power-on defaults to %s", r.registersWritten, SwitchText(s).c_str());
  if (eeprom && r.eeprom.outcome == EepromOutcome::Saved)
    text += Format("; saved to its EEPROM (%d words changed)", r.eeprom.wordsWritten);
  text += r.reset == ResetSent::None ? "; no reset sent" : std::string("; ") + reset + " reset " + Sent(s);
  s.out().Line(text);
  return eeprom ? ExitStatusFor(s, ToOutcome(r.eeprom.outcome)) : kExitOk;
}

int SaveEeprom(Session& s) {
  ProgressLine line(s, kSaveToHardwareText);
  const EepromSaveResult r = SaveToHardware(line.Context(), line.Fn());
  line.End();
  if (r.outcome != EepromOutcome::Saved) return ExitStatusFor(s, ToOutcome(r.outcome));
  Json& doc = s.out().Doc();
  doc["mac"] = FormatMac(s.Record().mac);
  doc["words"] = r.words;
  doc["words_written"] = r.wordsWritten;
  s.out().Line(Format("Saved %d registers to the EEPROM of %s (%d words changed)", r.words, SwitchText(s).c_str(),
                      r.wordsWritten));
  return kExitOk;
}

CommandRegistrar registrar([](Commands& c) {
  static std::string savePath, loadPath, showPath, diffPath;
  CLI::App* config = c.Group("config");
  c.Add(config, "save", "Save the switch's settings to a file (asks before replacing one unless --yes)",
        Needs::kSwitch, [](Session& s) { return Save(s, savePath); })
      ->add_option("file", savePath, "Configuration file (.qsw)")
      ->type_name("FILE")
      ->required();
  c.Add(
       config, "load",
       "Load a file into the switch, then soft-reset it (a file from another switch asks unless --yes)",
       Needs::kSwitch, [](Session& s) { return Load(s, loadPath); }, true)
      ->add_option("file", loadPath, "Configuration file (.qsw)")
      ->type_name("FILE")
      ->required();
  c.Add(config, "show", "Decode a file entry by entry and check it as a load would", Needs::kNothing,
        [](Session& s) { return Show(s, showPath); })
      ->add_option("file", showPath, "Configuration file (.qsw)")
      ->type_name("FILE")
      ->required();
  c.Add(config, "diff",
        "Compare a file with the switch: the registers whose masked bits differ (exit 0 equal, 1 different, "
        "2 trouble)",
        Needs::kNothing, [](Session& s) { return Diff(s, diffPath); })
      ->add_option("file", diffPath, "Configuration file (.qsw)")
      ->type_name("FILE")
      ->required();
  c.Add(
      &c.App(), "factory-default",
      "Write the power-on defaults; up to 24 ports save them to EEPROM and reset (asks unless --yes)",
      Needs::kSwitch, FactoryDefaults, true);
  c.Add(
      &c.App(), "save-eeprom",
      "Save to Hardware: the settings into the switch's EEPROM, up to 24 ports (asks unless --yes)",
      Needs::kSwitch, SaveEeprom, true);
});

}  // namespace
}  // namespace brisfell::cli
