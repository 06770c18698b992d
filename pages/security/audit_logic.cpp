#include "pages/security/audit_logic.h"

#include <algorithm>
#include <optional>

#include "pages/features/feature_forms.h"
#include "pages/security/device_security_logic.h"
#include "pages/security/lockout_guard.h"

namespace brisfell {
namespace {

// The choice a form's radio pair holds after a refresh; -1 when it was not read.
int ChoiceOf(const FormTable& formTable, const FormState& state, const char* keyword) {
  const int i = formTable.IndexOf(keyword);
  return i < 0 ? -1 : state.values.at(static_cast<size_t>(i)).choice;
}

// The port to keep management on: the one this console reaches the switch through.
std::string StationPortText(const PageContext& context) {
  const int chip = StationChipPort(context);
  return chip < 0 ? "PORTLIST" : PortLabel(context.engine.MapChipToPort(context.Switch(), chip));
}

// What the audit reads of one switch: the registers of the security and global forms, and
// the remote-access byte on the models that keep one.
struct AuditReading {
  SwitchRead registers;
  std::optional<uint8_t> accessByte;
  std::optional<uint16_t> savedKey;  // the key the EEPROM holds, where it keeps one
};

// Reads every switch at once (each with its own window of gets), then their EEPROM bytes.
std::vector<AuditReading> ReadForAudit(PageContext& context, const std::vector<int>& indexes) {
  Engine& engine = context.engine;
  std::vector<SwitchRead> reads;
  std::vector<EepromRead> bytes;
  for (int index : indexes) {
    const SwitchRecord* record = engine.GetSwitchRecord(index);
    if (!record) continue;
    std::vector<uint16_t> regs = FormRegisters(DeviceSecurityForm(), *record);
    for (uint16_t r : FormRegisters(GlobalConfigForm(), *record)) regs.push_back(r);
    reads.push_back({index, regs});
    if (SecurityVariantOf(record).accessControl) bytes.push_back({index, kEepromRemoteAccess});
    if (const int key = KeyEepromAddress(record); key >= 0 && SecurityVariantOf(record).keySettable) {
      bytes.push_back({index, static_cast<uint16_t>(key)});
      bytes.push_back({index, static_cast<uint16_t>(key + 1)});
    }
  }
  {
    AdapterIo io(engine);
    engine.ReadSwitches(reads);
    if (!bytes.empty()) engine.ReadEepromBytes(bytes, kEepromTimeoutMs);
  }
  std::vector<AuditReading> out;
  for (SwitchRead& read : reads) {
    AuditReading a;
    const SwitchRecord* record = engine.GetSwitchRecord(read.index);
    const int keyAddress = KeyEepromAddress(record);
    std::optional<uint8_t> keyLow, keyHigh;
    for (const EepromRead& b : bytes) {
      if (b.index != read.index || !b.ok) continue;
      if (b.address == kEepromRemoteAccess) a.accessByte = b.byte;
      if (b.address == keyAddress) keyLow = b.byte;
      if (b.address == keyAddress + 1) keyHigh = b.byte;
    }
    if (keyLow && keyHigh) a.savedKey = static_cast<uint16_t>(*keyLow | *keyHigh << 8);
    a.registers = std::move(read);
    out.push_back(std::move(a));
  }
  return out;
}

std::vector<AuditFinding> Findings(PageContext& context, const AuditReading& reading) {
  std::vector<AuditFinding> findings;
  Engine& engine = context.engine;
  const int index = reading.registers.index;
  const SwitchRecord* record = engine.GetSwitchRecord(index);
  if (!record) return findings;
  engine.SetCurrentSwitchIndex(index);
  auto add = [&](const char* check, std::string text, std::string command) {
    findings.push_back({index, record->mac, record->modelName, check, std::move(text), std::move(command)});
  };
  const SecurityVariant variant = SecurityVariantOf(record);
  const std::string stationPort = StationPortText(context);

  SecurityState security = NewSecurityState(context);
  FormState global = NewFormState(GlobalConfigForm(), record->portCount);
  std::vector<std::string> unread;
  const std::optional<uint8_t> accessByte = reading.accessByte;
  const SwitchRead& read = reading.registers;
  if (!FormTake(DeviceSecurityForm(), *record, read.values, "", security.ports).ok()) unread.push_back("the management ports");
  if (variant.accessControl && !accessByte) unread.push_back("the remote-access setting");
  if (!FormTake(GlobalConfigForm(), *record, read.values, "", global).ok()) unread.push_back("the global settings");

  // The default key counts where it can be changed; elsewhere only the ports can be closed.
  const bool defaultKey = record->AuthKey() == kDefaultAuthKey;
  if (defaultKey && variant.keySettable)
    add(kAuditDefaultKey, "uses the default key 0x5A3C: anyone on the segment can manage it",
        "set-key 0xNNNN --yes");  // --yes: and saved to the EEPROM, or it comes back at power-up
  if (reading.savedKey && *reading.savedKey != record->AuthKey())
    add(kAuditKeyNotSaved, KeyNotSavedText(record->AuthKey(), *reading.savedKey), "save-eeprom --yes");
  if (variant.keySettable && KeyEepromAddress(record) >= 0 && !reading.savedKey)
    unread.push_back("the key saved in the EEPROM");
  const uint32_t allPorts = (1u << std::clamp(record->portCount, 0, kMaxChipPorts)) - 1;
  const bool maskRead = security.ports.read.count(kRegUnauthorisedLow) &&
                        (record->portCount <= 16 || security.ports.read.count(kRegUnauthorisedHigh));
  if (maskRead && (security.ports.values.at(0).ticked & allPorts) == allPorts)
    add(kAuditEveryPortManages,
        defaultKey && !variant.keySettable
            ? "every port may carry management frames, under the default key 0x5A3C this model cannot change"
            : "every port may carry management frames",
        "authorize " + stationPort);
  if (accessByte && !(*accessByte & 1))
    add(kAuditRemoteAccess, "remote access is enabled and can be disabled", "access disable --yes");
  const FormTable& g = GlobalConfigForm();
  if (ChoiceOf(g, global, "loop-detect") == 1) add(kAuditLoopDetectionOff, "loop detection is off", "global loop-detect on");
  if (ChoiceOf(g, global, "storm-filter") == 1)
    add(kAuditStormFilterOff, "broadcast storm filtering is off", "global storm-filter on");
  for (const auto& what : unread) add(kAuditNotChecked, "not checked: could not read " + what, "");
  return findings;
}

}  // namespace

std::vector<AuditFinding> AuditSwitch(PageContext& context, int index) {
  if (!context.engine.GetSwitchRecord(index) || context.Adapter() < 0) return {};
  const auto readings = ReadForAudit(context, {index});
  return readings.empty() ? std::vector<AuditFinding>{} : Findings(context, readings.front());
}

std::vector<AuditFinding> AuditSwitches(PageContext& context) {
  std::vector<AuditFinding> all;
  if (context.Adapter() < 0) return all;
  const int current = context.engine.CurrentSwitchIndex();
  std::vector<int> indexes;
  for (int i = 0; i < context.engine.SwitchCount(); ++i) indexes.push_back(i);
  for (const AuditReading& reading : ReadForAudit(context, indexes)) {
    auto found = Findings(context, reading);
    all.insert(all.end(), found.begin(), found.end());
  }
  context.engine.SetCurrentSwitchIndex(current);
  return all;
}

bool AuditFixApplicable(const AuditFinding& f) {
  const std::string check = f.check;
  // "authorize PORTLIST" when the station's port is not known: the operator must choose.
  return (check == kAuditEveryPortManages && f.command.find("PORTLIST") == std::string::npos) ||
         check == kAuditRemoteAccess || check == kAuditLoopDetectionOff || check == kAuditStormFilterOff;
}

namespace {

Outcome ApplyOnCurrent(PageContext& context, const AuditFinding& f) {
  const std::string check = f.check;
  if (check == kAuditEveryPortManages) {
    const int chip = StationChipPort(context);
    if (chip < 0) return Outcome::Refused("the port this console comes in through is not known");
    SecurityState state = NewSecurityState(context);
    const Outcome read = RefreshSecurity(context, state);
    if (!read.ok()) return read;
    // Every box is set at once, so both registers are known whatever the read gave.
    state.ports.values.at(0).ticked = 1u << context.engine.MapChipToPort(context.Switch(), chip);
    state.ports.values.at(0).tickedChosen = true;
    return UpdateSecurity(context, state, LockoutPolicy::kAsk);
  }
  if (check == kAuditRemoteAccess) {
    SecurityState state = NewSecurityState(context);
    RefreshSecurity(context, state);
    // The access step acts on what its button says: only a read that says "enabled" disables.
    if (state.accessCaption != kDisableAccessCaption)
      return Outcome::ReadFailed("could not read the remote-access setting; nothing was written");
    return ToggleRemoteAccess(context, state);
  }
  const char* keyword = check == kAuditLoopDetectionOff ? "loop-detect" : "storm-filter";
  const FormTable& g = GlobalConfigForm();
  FormState state = NewFormState(g, context.PortCount());
  const Outcome read = FormRefresh(context, g, state);
  if (!read.ok()) return read;
  const int field = g.IndexOf(keyword);
  state.values.at(static_cast<size_t>(field)).choice = ChoiceFromWord(g.fields.at(static_cast<size_t>(field)), "on");
  return FormUpdate(context, g, state);
}

}  // namespace

Outcome ApplyAuditFix(PageContext& context, const AuditFinding& finding) {
  if (!AuditFixApplicable(finding)) return Outcome::Refused("this finding has no fix that can be applied as it stands");
  Engine& engine = context.engine;
  Mac mac{};
  if (context.Adapter() < 0 || !engine.GetSwitchMac(finding.switchIndex, mac) || mac != finding.mac)
    return Outcome::Refused("switch " + FormatMac(finding.mac) + " is no longer in the table: run the audit again");
  const int current = engine.CurrentSwitchIndex();
  engine.SetCurrentSwitchIndex(finding.switchIndex);
  const Outcome outcome = ApplyOnCurrent(context, finding);
  engine.SetCurrentSwitchIndex(current);
  return outcome;
}

std::string AuditProgram(const std::string& adapterName, bool emulated, const std::string& scenarioFile) {
  if (!emulated) return "brisfell-cli -a " + adapterName;
  return "brisfell-cli --sim" + (scenarioFile.empty() ? "" : " " + scenarioFile);
}

std::string FixCommandLine(const AuditFinding& finding, const std::string& program) {
  if (finding.command.empty()) return "";
  return program + " -s " + FormatMac(finding.mac) + " " + finding.command;
}

Table AuditTable(const std::vector<AuditFinding>& findings, const std::string& program) {
  Table table{{"Index", "MAC Address", "Model", "Check", "Finding", "Fix"}, {}};
  for (const AuditFinding& f : findings)
    table.rows.push_back({std::to_string(f.switchIndex), FormatMac(f.mac), f.model, f.check, f.text,
                          program.empty() ? f.command : FixCommandLine(f, program)});
  return table;
}

}  // namespace brisfell
