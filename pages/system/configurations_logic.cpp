#include "pages/system/configurations_logic.h"

#include "engine/safe_file.h"

namespace brisfell {
namespace {

constexpr uint16_t kSoftReset = 1;
constexpr uint16_t kHardwareReset = 2;

void Report(const ProgressFn& progress, int done, int total) {
  if (progress) progress(done, total);
}

void FileError(PageContext& ctx, const char* text) { ctx.prompt.Message(kErrorTitle, text, PromptIcon::Error); }

// "Open file failed!" and, on a line of its own, which file and why.
void OpenFileError(PageContext& ctx, const std::string& why) {
  ctx.prompt.Message(kErrorTitle, std::string(kOpenFileFailed) + "\n" + why, PromptIcon::Error);
}

}  // namespace

std::string ProposedConfigFileName(const Mac& m) {
  return Format(kConfigFileNameFormat, m[0], m[1], m[2], m[3], m[4], m[5]);
}

std::string MacMismatchQuestion(const Mac& f, const Mac& s) {
  return Format(
      "This configuration file was dumped from another Switch\n( %02X-%02X-%02X-%02X-%02X-%02X )\n"
      "Do you want to load/use same configuration on current Switch?\n( %02X-%02X-%02X-%02X-%02X-%02X )\n",
      f[0], f[1], f[2], f[3], f[4], f[5], s[0], s[1], s[2], s[3], s[4], s[5]);
}

// ---------------------------------------------------------------- Save to File

SaveFileResult SaveConfigToFile(PageContext& ctx, const ProgressFn& progress) {
  SaveFileResult result;
  const SwitchRecord* record = ctx.Record();
  if (!ctx.Ready() || !record || !record->factoryDefaults) return result;
  const int index = ctx.Switch();

  FileDialogRequest request;
  request.defaultExtension = kConfigFileExtension;
  request.proposedName = ProposedConfigFileName(record->mac);
  const auto chosen = ctx.prompt.SaveFileName(request);
  if (!chosen) {
    result.outcome = ConfigOutcome::Cancelled;
    return result;
  }
  result.path = *chosen;

  // A new file that replaces the chosen one only once the whole save succeeded; a link, FIFO
  // or device at that name is refused before any register is read.
  FileReplacement file;
  std::string why;
  if (!file.Begin(*chosen, FileAccess::Shared, why)) {
    OpenFileError(ctx, why);
    result.problem = why;
    result.outcome = ConfigOutcome::OpenFileFailed;
    return result;
  }

  // The model's list is the same for every switch of the model; this save fills a copy.
  result.rows = *record->factoryDefaults;
  const int total = static_cast<int>(result.rows.size());
  Report(progress, 0, total);
  std::vector<uint16_t> regs;
  for (const ConfigEntry& row : result.rows) regs.push_back(static_cast<uint16_t>(row.reg));
  std::map<uint16_t, uint32_t> values;
  bool read = false;
  {
    AdapterIo io(ctx.engine);
    read = ctx.engine.ReadRegisters(index, regs, values);
  }
  if (read) {
    for (ConfigEntry& row : result.rows) row.value = values[static_cast<uint16_t>(row.reg)] & row.mask;
    Report(progress, total, total);
  }
  if (!read) {
    file.Abandon();
    FileError(ctx, kGetRegisterFailed);
    result.outcome = ConfigOutcome::ReadFailed;
    return result;
  }

  const std::vector<uint8_t> bytes = EncodeConfigFile(record->mac, result.rows);
  if (!file.Write(bytes.data(), bytes.size(), why) || !file.Commit(why)) {
    OpenFileError(ctx, why);
    result.problem = why;
    result.outcome = ConfigOutcome::OpenFileFailed;
    return result;
  }
  result.outcome = ConfigOutcome::Done;
  return result;
}

// ---------------------------------------------------------------- Load from File

LoadFileResult LoadConfigFromFile(PageContext& ctx, const ProgressFn& progress) {
  LoadFileResult result;
  const SwitchRecord* record = ctx.Record();
  if (!ctx.Ready() || !record) return result;
  const int index = ctx.Switch();

  const auto chosen = ctx.prompt.OpenFileName(FileDialogRequest{});
  if (!chosen) {
    result.outcome = ConfigOutcome::Cancelled;
    return result;
  }
  result.path = *chosen;

  std::string why;
  const std::optional<ConfigParse> parse = ReadConfigFile(*chosen, why);
  if (!parse) {
    OpenFileError(ctx, why);
    result.problem = why;
    result.outcome = ConfigOutcome::OpenFileFailed;
    return result;
  }
  if (!parse->file) {
    FileError(ctx, kInvalidFileFormat);
    result.outcome = ConfigOutcome::InvalidFile;
    result.problem = parse->problem;
    return result;
  }
  const ConfigFile& file = *parse->file;
  result.entries = static_cast<int>(file.entries.size());

  if (file.header.mac != record->mac &&
      !ctx.prompt.AskYesNo(kMacMismatchTitle, MacMismatchQuestion(file.header.mac, record->mac),
                           PromptIcon::Question)) {
    result.outcome = ConfigOutcome::Declined;
    return result;
  }

  Report(progress, 0, result.entries);
  AdapterIo io(ctx.engine);
  for (int i = 0; i < result.entries; ++i) {
    const ConfigEntry& entry = file.entries[i];
    const uint16_t reg = static_cast<uint16_t>(entry.reg & 0xFFFF);
    uint32_t current = 0;
    // Without the switch's value the bits outside the mask are unknown: leave the register be.
    if (!ctx.engine.ReadRegister(index, reg, current, kRegisterTimeoutMs)) {
      result.unread.push_back(reg);
    } else {
      // Only the masked bits come from the file, even when its saved value has others set.
      const uint32_t value = (entry.value & entry.mask) | (current & ~entry.mask);
      ctx.engine.WriteRegister(index, reg, value);
      ++result.written;
      if (value != current) result.changed.push_back({reg, current, value});
    }
    Report(progress, i + 1, result.entries);
  }
  ctx.engine.WriteRegister(index, kRegReset, kSoftReset);
  result.outcome = ConfigOutcome::Done;
  return result;
}

// ---------------------------------------------------------------- EEPROM

EepromSaveResult SaveToEeprom(PageContext& ctx, const ProgressFn& progress, int base, int total) {
  EepromSaveResult result;
  const SwitchRecord* record = ctx.Record();
  if (!ctx.Ready() || !record) return result;
  if (!SaveToHardwareOffered(record->portCount) || !record->eepromMap) {
    result.outcome = EepromOutcome::NotOffered;
    return result;
  }
  const int index = ctx.Switch();
  const EepromImageMap& map = *record->eepromMap;
  if (total < 0) total = base + static_cast<int>(map.size());
  if (base == 0) Report(progress, 0, total);

  // The adapter is closed before a failure is shown.
  const char* failure = nullptr;
  {
    AdapterIo io(ctx.engine);
    for (const EepromImageRow& row : map) {
      const uint16_t address = static_cast<uint16_t>(row.address);
      result.failedRegister = static_cast<uint16_t>(row.reg);
      result.failedAddress = address;
      uint32_t value = 0;
      if (!ctx.engine.ReadRegister(index, static_cast<uint16_t>(row.reg), value, kRegisterTimeoutMs)) {
        result.outcome = EepromOutcome::RegisterReadFailed;
        failure = kGetRegisterFailed;
        break;
      }
      uint8_t low = 0, high = 0;
      if (!ctx.engine.ReadEepromByte(index, address, low, kEepromTimeoutMs) ||
          !ctx.engine.ReadEepromByte(index, static_cast<uint16_t>(address + 1), high, kEepromTimeoutMs)) {
        result.outcome = EepromOutcome::EepromReadFailed;
        failure = kEepromReadFailed;
        break;
      }
      const uint32_t v = value & row.mask;
      if (static_cast<uint32_t>(low + 256 * high) != v) {
        if (!ctx.engine.WriteEepromByte(index, address, static_cast<uint8_t>(v & 0xFF), kEepromTimeoutMs) ||
            !ctx.engine.WriteEepromByte(index, static_cast<uint16_t>(address + 1),
                                        static_cast<uint8_t>((v >> 8) & 0xFF), kEepromTimeoutMs)) {
          result.outcome = EepromOutcome::EepromWriteFailed;
          failure = kEepromWriteFailed;
          break;
        }
        ++result.wordsWritten;
      }
      ++result.words;
      Report(progress, base + result.words, total);
    }
  }
  if (failure) {
    ctx.prompt.Message(kApplicationTitle, failure, PromptIcon::Error);
    return result;
  }
  result.failedRegister = 0;
  result.failedAddress = 0;
  result.outcome = EepromOutcome::Saved;
  return result;
}

EepromSaveResult SaveToHardware(PageContext& ctx, const ProgressFn& progress) {
  EepromSaveResult result;
  const SwitchRecord* record = ctx.Record();
  if (!ctx.Ready() || !record) return result;
  if (!SaveToHardwareOffered(record->portCount)) {
    result.outcome = EepromOutcome::NotOffered;
    return result;
  }
  if (record->vendorId != kVendorSilentEepromSave &&
      !ctx.prompt.AskYesNo(kApplicationTitle, kSaveToHardwareQuestion, PromptIcon::Warning)) {
    result.outcome = EepromOutcome::Declined;
    return result;
  }
  return SaveToEeprom(ctx, progress);
}

// ---------------------------------------------------------------- Factory Default

FactoryDefaultResult FactoryDefault(PageContext& ctx, const ProgressFn& progress) {
  FactoryDefaultResult result;
  const SwitchRecord* record = ctx.Record();
  if (!ctx.Ready() || !record || !record->factoryDefaults) return result;
  result.ran = true;
  const int index = ctx.Switch();
  const FactoryDefaultList& list = *record->factoryDefaults;
  const bool throughEeprom = SaveToHardwareOffered(ctx.PortCount());

  int writes = 0;
  for (const auto& row : list)
    if (row.reg != kFactoryDefaultSkippedRegister) ++writes;
  const int mapRows = throughEeprom && record->eepromMap ? static_cast<int>(record->eepromMap->size()) : 0;
  const int total = writes + mapRows;

  Report(progress, 0, total);
  {
    AdapterIo io(ctx.engine);
    for (const auto& row : list) {
      if (row.reg == kFactoryDefaultSkippedRegister) continue;
      ctx.engine.WriteRegister(index, static_cast<uint16_t>(row.reg), row.factoryDefault);
      ++result.registersWritten;
      Report(progress, result.registersWritten, total);
    }
  }

  if (!throughEeprom) {
    AdapterIo io(ctx.engine);
    ctx.engine.WriteRegister(index, kRegReset, kSoftReset);
    result.reset = ResetSent::Soft;
    return result;
  }
  result.eeprom = SaveToEeprom(ctx, progress, writes, total);
  if (result.eeprom.outcome != EepromOutcome::Saved) return result;
  AdapterIo io(ctx.engine);
  ctx.engine.WriteRegister(index, kRegReset, kHardwareReset);
  result.reset = ResetSent::Hardware;
  return result;
}

// ---------------------------------------------------------------- outcomes

Outcome ToOutcome(ConfigOutcome outcome) {
  switch (outcome) {
    case ConfigOutcome::Done: return Outcome::Done();
    case ConfigOutcome::NotReady: return Outcome::NothingToDo("no switch is selected");
    case ConfigOutcome::Cancelled: return Outcome::NothingToDo("no file was chosen");
    case ConfigOutcome::Declined: return Outcome::Declined();
    case ConfigOutcome::OpenFileFailed: return Outcome::Refused(kOpenFileFailed);
    case ConfigOutcome::ReadFailed: return Outcome::Refused(kGetRegisterFailed);
    case ConfigOutcome::InvalidFile: return Outcome::Refused(kInvalidFileFormat);
  }
  return Outcome::Refused("");
}

Outcome ToOutcome(EepromOutcome outcome) {
  switch (outcome) {
    case EepromOutcome::Saved: return Outcome::Done();
    case EepromOutcome::NotReady: return Outcome::NothingToDo("no switch is selected");
    case EepromOutcome::NotOffered:
      return Outcome::Refused("Save to Hardware is offered only for switches of up to 24 ports");
    case EepromOutcome::Declined: return Outcome::Declined();
    case EepromOutcome::RegisterReadFailed: return Outcome::Refused(kGetRegisterFailed);
    case EepromOutcome::EepromReadFailed: return Outcome::Refused(kEepromReadFailed);
    case EepromOutcome::EepromWriteFailed: return Outcome::Refused(kEepromWriteFailed);
  }
  return Outcome::Refused("");
}

// ---------------------------------------------------------------- comparing

ConfigDiffResult DiffConfig(PageContext& ctx, const ConfigFile& file, const ProgressFn& progress) {
  ConfigDiffResult result;
  if (!ctx.Ready() || !ctx.Record()) return result;
  result.ran = true;
  const int index = ctx.Switch();
  const int total = static_cast<int>(file.entries.size());
  Report(progress, 0, total);
  AdapterIo io(ctx.engine);
  for (int i = 0; i < total; ++i) {
    const ConfigEntry& entry = file.entries[i];
    const uint16_t reg = static_cast<uint16_t>(entry.reg & 0xFFFF);
    uint32_t current = 0;
    if (!ctx.engine.ReadRegister(index, reg, current, kRegisterTimeoutMs))
      result.unread.push_back(reg);
    else if ((current & entry.mask) != (entry.value & entry.mask))
      result.differences.push_back({entry, current});
    Report(progress, i + 1, total);
  }
  return result;
}

}  // namespace brisfell
