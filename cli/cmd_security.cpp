// Device security commands: show security, authorize, set-key, access.
#include <algorithm>
#include <cctype>

#include "cli/cli.h"
#include "cli/lockout_check.h"
#include "pages/security/device_security_logic.h"

namespace brisfell::cli {
namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

constexpr const char* kAuthorised = "authorised";
constexpr const char* kNotAuthorised = "not authorised";

// The port boxes as a list: one row a shown port.
Table ManagementTable(const FormState& ports, int portCount) {
  Table table{{"Port", "Management"}, {}};
  const uint32_t ticked = ports.values.empty() ? 0 : ports.values[0].ticked;
  for (int p = 0; p < std::min(portCount, kMaxChipPorts); ++p)
    table.rows.push_back({PortLabel(p), (ticked >> p) & 1 ? kAuthorised : kNotAuthorised});
  return table;
}

const Schema& ManagementSchema() {
  static const Schema schema = {{"port"}, {"management", FlagValue(kAuthorised, kNotAuthorised)}};
  return schema;
}

std::function<void(size_t, Json&)> ChipPorts(const SwitchRecord& record) {
  return [&record](size_t row, Json& j) { j["chip_port"] = record.portToChip.at(row); };
}

// What the access button's caption says about remote access: true enabled, false disabled,
// nullopt unknown.
std::optional<bool> RemoteAccessOf(const std::string& caption) {
  if (caption == kDisableAccessCaption) return true;
  if (caption == kEnableAccessCaption) return false;
  return std::nullopt;
}

int ShowSecurity(Session& s) {
  const SwitchRecord& r = s.Record();
  SecurityState state = NewSecurityState(s.context());
  const Outcome read = RefreshSecurity(s.context(), state);
  if (!read.ok()) throw Failure(read.message);
  const std::optional<bool> access = state.variant.accessControl ? RemoteAccessOf(state.accessCaption) : std::nullopt;
  s.out().Line(std::string(kAuthKeyLabel) + " " + state.keyText +
               (state.variant.keySettable ? " (can be set)" : " (this model's key cannot be set)"));
  if (access)
    s.out().Line(std::string("Remote access: ") + (*access ? "enabled" : "disabled after the next hardware reset"));
  s.out().List("ports", ManagementTable(state.ports, r.portCount), ManagementSchema(), ChipPorts(r));
  Json& doc = s.out().Doc();
  doc["auth_key"] = ParseKeyText(state.keyText) ? Json(*ParseKeyText(state.keyText)) : Json(nullptr);
  doc["auth_key_settable"] = state.variant.keySettable;
  doc["remote_access_control"] = state.variant.accessControl;
  doc["remote_access"] = access ? Json(*access) : Json(nullptr);
  return kExitOk;
}

int Authorize(Session& s, const std::string& target, bool force) {
  PageContext& ctx = s.context();
  const SwitchRecord& r = s.Record();
  uint32_t chosen = 0;
  const std::string t = Lower(target);
  if (t == "all") {
    chosen = (1u << r.portCount) - 1;
  } else if (t != "none") {
    for (int p : s.Ports(target)) chosen |= 1u << p;
  }
  SecurityState state = NewSecurityState(ctx);
  const Outcome read = FormRefresh(ctx, DeviceSecurityForm(), state.ports);
  const FormState was = state.ports;
  // Every port is named, so both registers are known whatever the read gave.
  state.ports.values[0].ticked = chosen;
  state.ports.values[0].tickedChosen = true;
  if (read.ok() && was.values[0].ticked == chosen) {
    s.out().NothingToDo("management ports: nothing to change");
    return kExitOk;
  }
  RefuseLockout(s, LockoutRiskOf(ctx, UnauthorisedChipsAfterUpdate(ctx, state), 0), force);
  const Outcome written = UpdateSecurity(ctx, state, LockoutPolicy::kAllow);
  if (!written.ok()) return ExitStatusFor(s, written);
  if (read.ok())
    s.out().Changed(DiffLists(ManagementTable(was, r.portCount), ManagementTable(state.ports, r.portCount),
                              ManagementSchema(), "port "));
  else
    s.out().Line("management ports (not read before): " + PortListText(chosen, r.portCount));
  return kExitOk;
}

int SetKey(Session& s, const std::string& text) {
  PageContext& ctx = s.context();
  if (!SecurityVariantOf(ctx.Record()).keySettable)
    throw Failure("the key of this switch cannot be set (only the LM8816 with vendor identifier 0x6B2D7004 can)");
  const uint16_t old = s.Record().AuthKey();
  const Outcome outcome = SetAuthKeyFromText(ctx, text);
  if (outcome.kind == OutcomeKind::NothingToDo) {
    s.out().NothingToDo("key: already " + KeyText(*ParseKeyText(text)) + "; nothing to change");
    return kExitOk;
  }
  if (outcome.kind != OutcomeKind::Done) return ExitStatusFor(s, outcome);
  Change c;
  c.subject = "switch " + FormatMac(s.Record().mac);
  c.where = Json::object();
  c.where["mac"] = FormatMac(s.Record().mac);
  c.setting = "auth_key";
  c.before = KeyText(old);
  c.after = KeyText(s.Record().AuthKey());
  c.beforeValue = old;
  c.afterValue = s.Record().AuthKey();
  s.out().Changed(c);
  if (outcome.message.find(';') != std::string::npos) s.out().Note(outcome.message);
  return kExitOk;
}

int Access(Session& s, const std::string& word) {
  PageContext& ctx = s.context();
  if (!SecurityVariantOf(ctx.Record()).accessControl)
    throw Failure("this switch keeps no remote-access setting (only the LM8816 with vendor identifier 0x6B2D7003 does)");
  SecurityState state = NewSecurityState(ctx);
  RefreshSecurity(ctx, state);
  const std::optional<bool> was = RemoteAccessOf(state.accessCaption);
  if (!was) throw Failure("could not read the remote-access setting (EEPROM byte 0x0C); nothing was written");
  const bool enable = Lower(word) == "enable";
  auto text = [](bool on) { return std::string(on ? "enabled" : "disabled"); };
  if (*was == enable) {
    s.out().NothingToDo("remote access: already " + text(enable) + "; nothing to change");
    return kExitOk;
  }
  const Outcome outcome = ToggleRemoteAccess(ctx, state);
  // A dry run holds the EEPROM write back, so the byte read back is still the old one.
  const bool heldBack = s.Options().dryRun && outcome.kind == OutcomeKind::ReadFailed;
  if (outcome.kind != OutcomeKind::Done && !heldBack) return ExitStatusFor(s, outcome);
  Change c;
  c.subject = "switch " + FormatMac(s.Record().mac);
  c.where = Json::object();
  c.where["mac"] = FormatMac(s.Record().mac);
  c.setting = "remote_access";
  c.before = text(*was);
  c.after = text(enable);
  c.beforeValue = *was;
  c.afterValue = enable;
  s.out().Changed(c);
  if (!enable) s.out().Note("takes effect at the switch's next hardware reset; its DEFAULT button undoes it");
  return kExitOk;
}

struct Args {
  std::string ports;
  std::string key;
  std::string access;
  bool force = false;
};

CommandRegistrar registrar([](Commands& c) {
  static Args a;
  c.Add(c.Group("show"), "security", "Show the key, remote access and the ports that may carry management",
        Needs::kSwitch, ShowSecurity);

  CLI::App* authorize = c.Add(
      &c.App(), "authorize", "Let exactly these ports carry management frames (the others may not)", Needs::kSwitch,
      [](Session& s) { return Authorize(s, a.ports, a.force); }, true);
  authorize->add_option("ports", a.ports, "PORTLIST, all or none")
      ->required()
      ->check(CLI::Validator(
          [](std::string& t) -> std::string {
            const std::string l = Lower(t);
            return l == "all" || l == "none" || ParsePortNames(t) ? std::string() : "bad port list: " + t;
          },
          "PORTLIST|all|none"));
  authorize->add_flag("--force", a.force, kForceHelp);

  // The key text is held to the edit box's rule before anything is sent.
  c.Add(
       &c.App(), "set-key", "Give the switch a new authentication key (remembered in the switch database)",
       Needs::kSwitch, [](Session& s) { return SetKey(s, a.key); }, true,
       [] {
         if (!ParseKeyText(a.key)) throw Failure(kKeyInvalidMessage);
       })
      ->add_option("key", a.key, "0xNNNN: 0x and four hexadecimal digits")
      ->required();

  c.Add(
       &c.App(), "access", "Enable or disable this console's access from the switch's next hardware reset on",
       Needs::kSwitch, [](Session& s) { return Access(s, a.access); }, true)
      ->add_option("state", a.access, "enable or disable (disable asks unless --yes)")
      ->required()
      ->check(CLI::IsMember({"enable", "disable"}, CLI::ignore_case));
});

}  // namespace
}  // namespace brisfell::cli
