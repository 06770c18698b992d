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

}  // namespace

std::vector<AuditFinding> AuditSwitch(PageContext& context, int index) {
  std::vector<AuditFinding> findings;
  Engine& engine = context.engine;
  const SwitchRecord* record = engine.GetSwitchRecord(index);
  if (!record || context.Adapter() < 0) return findings;
  engine.SetCurrentSwitchIndex(index);
  auto add = [&](const char* check, std::string text, std::string command) {
    findings.push_back({index, record->mac, record->modelName, check, std::move(text), std::move(command)});
  };
  const SecurityVariant variant = SecurityVariantOf(record);
  const std::string stationPort = StationPortText(context);

  SecurityState security = NewSecurityState(context);
  FormState global = NewFormState(GlobalConfigForm(), record->portCount);
  std::vector<std::string> unread;
  std::optional<uint8_t> accessByte;
  {
    AdapterIo io(engine);
    if (!FormRefresh(context, DeviceSecurityForm(), security.ports).ok()) unread.push_back("the management ports");
    if (variant.accessControl) {
      uint8_t byte = 0;
      if (engine.ReadEepromByte(index, kEepromRemoteAccess, byte, kEepromTimeoutMs))
        accessByte = byte;
      else
        unread.push_back("the remote-access setting");
    }
    if (!FormRefresh(context, GlobalConfigForm(), global).ok()) unread.push_back("the global settings");
  }

  // The default key counts where it can be changed; elsewhere only the ports can be closed.
  const bool defaultKey = record->AuthKey() == kDefaultAuthKey;
  if (defaultKey && variant.keySettable)
    add(kAuditDefaultKey, "uses the default key 0x5A3C: anyone on the segment can manage it", "set-key 0xNNNN");
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

std::vector<AuditFinding> AuditSwitches(PageContext& context) {
  std::vector<AuditFinding> all;
  const int current = context.engine.CurrentSwitchIndex();
  for (int i = 0; i < context.engine.SwitchCount(); ++i) {
    auto found = AuditSwitch(context, i);
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
