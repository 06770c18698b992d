#include "pages/security/device_security_logic.h"

#include <algorithm>

namespace brisfell {
namespace {

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

std::string Joined(const std::vector<std::string>& parts) {
  std::string out;
  for (const auto& p : parts) out += (out.empty() ? "" : "; ") + p;
  return out;
}

// How the key step ended on the wire.
enum class KeyWrite { kReadFailed, kSame, kNotSent, kNotTaken, kTaken, kUnconfirmed };

// Reads the key register and writes `key` when it differs. After the write the key is read
// with the new key and with the old one in turn: a switch that answers to its old key did not
// take the write. One that answers to neither (a lossy wire) is asked again a few rounds;
// still silent, it keeps both keys remembered, for the key change is not known to have worked.
KeyWrite WriteKey(Engine& engine, int sw, uint16_t key) {
  AdapterIo io(engine);
  uint32_t current = 0;
  if (!engine.ReadRegister(sw, kRegAuthKey, current, kRegisterTimeoutMs)) return KeyWrite::kReadFailed;
  if ((current & 0xFFFF) == key) return KeyWrite::kSame;
  const uint16_t old = engine.GetSwitchRecord(sw)->AuthKey();
  if (!engine.WriteRegister(sw, kRegAuthKey, key)) return KeyWrite::kNotSent;
  for (int round = 0; round < kKeyCheckRounds; ++round) {
    uint32_t check = 0;
    engine.SetAuthKey(sw, key);
    if (engine.ReadRegister(sw, kRegAuthKey, check, kRegisterTimeoutMs) && (check & 0xFFFF) == key)
      return KeyWrite::kTaken;
    engine.SetAuthKey(sw, old);
    if (engine.ReadRegister(sw, kRegAuthKey, check, kRegisterTimeoutMs) && (check & 0xFFFF) == old)
      return KeyWrite::kNotTaken;
  }
  engine.KeepBothKeys(sw, KeyBytesOf(old), KeyBytesOf(key));
  return KeyWrite::kUnconfirmed;
}

// After a key change on a model whose EEPROM keeps a key: the EEPROM's is read, and when it
// is not the new one the operator is asked whether to save the new key there (only that
// word). What happened, for the outcome's note; "" when the EEPROM already holds the key or
// keeps none.
std::string OfferKeySave(PageContext& context, int sw, uint16_t key) {
  const int address = KeyEepromAddress(context.Record());
  if (address < 0) return "";
  Engine& engine = context.engine;
  const uint16_t a = static_cast<uint16_t>(address);
  uint8_t low = 0, high = 0;
  {
    AdapterIo io(engine);
    if (!engine.ReadEepromByte(sw, a, low, kEepromTimeoutMs) ||
        !engine.ReadEepromByte(sw, static_cast<uint16_t>(a + 1), high, kEepromTimeoutMs))
      return "the key saved in the EEPROM could not be read: the new key may live only in the register";
  }
  const uint16_t saved = static_cast<uint16_t>(low | high << 8);
  if (saved == key) return "";
  const std::string text = KeyNotSavedText(key, saved);
  if (!context.prompt.AskYesNo(kApplicationTitle, "The " + text.substr(4) + ".\nSave the new key to the EEPROM?",
                               PromptIcon::Warning))
    return text + " (save-eeprom saves it)";
  AdapterIo io(engine);
  uint8_t checkLow = 0, checkHigh = 0;
  const bool written =
      engine.WriteEepromByte(sw, a, static_cast<uint8_t>(key & 0xFF), kEepromTimeoutMs) &&
      engine.WriteEepromByte(sw, static_cast<uint16_t>(a + 1), static_cast<uint8_t>(key >> 8), kEepromTimeoutMs) &&
      engine.ReadEepromByte(sw, a, checkLow, kEepromTimeoutMs) &&
      engine.ReadEepromByte(sw, static_cast<uint16_t>(a + 1), checkHigh, kEepromTimeoutMs) &&
      static_cast<uint16_t>(checkLow | checkHigh << 8) == key;
  return written ? "the key is saved in the EEPROM too" : text + "; saving it to the EEPROM failed";
}

}  // namespace

const FormTable& DeviceSecurityForm() {
  // Both registers are written whole, without a read first; the high one also on switches
  // with 16 ports (as 0), where it is never read.
  static const FormTable formTable{
      "security",
      "Device Security",
      {PortSet("authorised", "Management Authorized Port Control", port_field::kUnauthorised, true)},
      {{kRegUnauthorisedLow, WriteMode::Whole}, {kRegUnauthorisedHigh, WriteMode::Whole, 16}},
      false};  // `show security`, `authorize`, `set-key` and `access` say more than the table
  return formTable;
}

SecurityVariant SecurityVariantOf(const SwitchRecord* record) {
  if (!record) return {};
  return {record->keySettable, record->accessControl};
}

std::string KeyText(uint16_t key) { return Format("0x%04X", key); }

int KeyEepromAddress(const SwitchRecord* record) {
  if (!record || !record->eepromMap) return -1;
  for (const EepromImageRow& row : *record->eepromMap)
    if (row.reg == kRegAuthKey) return static_cast<int>(row.address);
  return -1;
}

std::string KeyNotSavedText(uint16_t key, uint16_t saved) {
  return Format("the key 0x%04X lives only in the register; the EEPROM still holds 0x%04X, which the switch takes "
                "again at its next power cycle",
                key, saved);
}

std::optional<uint16_t> ParseKeyText(const std::string& text) {
  if (text.size() != static_cast<size_t>(kKeyTextLength) || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
    return std::nullopt;
  if (!std::all_of(text.begin() + 2, text.end(), IsHexDigit)) return std::nullopt;
  return static_cast<uint16_t>(std::stoul(text.substr(2), nullptr, 16));
}

std::string AccessCaptionFor(std::optional<uint8_t> accessByte) {
  if (!accessByte) return kAccessErrorCaption;
  return (*accessByte & 1) ? kEnableAccessCaption : kDisableAccessCaption;
}

SecurityState NewSecurityState(const PageContext& context) {
  SecurityState state;
  state.ports = NewFormState(DeviceSecurityForm(), context.PortCount());
  state.variant = SecurityVariantOf(context.Record());
  return state;
}

Outcome RefreshSecurity(PageContext& context, SecurityState& state) {
  if (!context.Ready()) return Outcome::NothingToDo();
  const SwitchRecord* record = context.Record();
  if (!record) return Outcome::NothingToDo();
  const int sw = context.Switch();
  Engine& engine = context.engine;
  state.variant = SecurityVariantOf(record);
  std::vector<std::string> failed;
  AdapterIo io(engine);
  uint32_t key = 0;
  if (engine.ReadRegister(sw, kRegAuthKey, key, kRegisterTimeoutMs))
    state.keyText = KeyText(static_cast<uint16_t>(key & 0xFFFF));
  else
    failed.push_back("could not read the key register 0x0209");
  if (state.variant.keySettable) state.accessCaption = kSetKeyCaption;
  if (state.variant.accessControl) {
    uint8_t byte = 0;
    const bool read = engine.ReadEepromByte(sw, kEepromRemoteAccess, byte, kEepromTimeoutMs);
    state.accessCaption = AccessCaptionFor(read ? std::optional<uint8_t>(byte) : std::nullopt);
    if (!read) failed.push_back("could not read EEPROM byte 0x0C");
  }
  const Outcome ports = FormRefresh(context, DeviceSecurityForm(), state.ports);
  if (!ports.ok()) failed.push_back(ports.message);
  return failed.empty() ? Outcome::Done() : Outcome::ReadFailed(Joined(failed));
}

uint32_t UnauthorisedChipsAfterUpdate(const PageContext& context, const SecurityState& state) {
  const SwitchRecord* record = context.Record();
  if (!record) return 0;
  const FormTable& formTable = DeviceSecurityForm();
  const int n = std::clamp(record->portCount, 0, kMaxChipPorts);
  uint32_t chips = 0;
  for (const FormRegister& r : formTable.registers) {
    if (r.write == WriteMode::None || record->portCount <= r.writeAbovePorts) continue;
    if (!RegisterKnown(formTable, r.reg, state.ports)) continue;
    const uint32_t value = EncodeRegister(formTable, *record, r.reg, 0, state.ports);
    for (int k = 0; k < n; ++k)
      if (port_field::kUnauthorised.Register(k) == r.reg && port_field::kUnauthorised.Get(value, k)) chips |= 1u << k;
  }
  return chips;
}

Outcome UpdateSecurity(PageContext& context, const SecurityState& state, LockoutPolicy policy,
                       std::vector<FormWrite>* written) {
  if (!context.Ready() || !context.Record()) return Outcome::NothingToDo();
  const LockoutRisk risk = LockoutRiskOf(context, UnauthorisedChipsAfterUpdate(context, state), 0);
  if (Outcome guard = LockoutGuard(context, risk, policy); guard.kind != OutcomeKind::Done) return guard;
  return FormUpdate(context, DeviceSecurityForm(), state.ports, written);
}

Outcome SetAuthKeyFromText(PageContext& context, const std::string& text) {
  if (!context.Ready() || !context.Record()) return Outcome::NothingToDo();
  const std::optional<uint16_t> key = ParseKeyText(text);
  if (!key) {
    context.prompt.Message(kApplicationTitle, kKeyInvalidMessage, PromptIcon::None);
    return Outcome::Refused(kKeyInvalidMessage);
  }
  const int sw = context.Switch();
  // The adapter is closed before any message is shown.
  const KeyWrite outcome = WriteKey(context.engine, sw, *key);
  switch (outcome) {
    case KeyWrite::kReadFailed:
      return Outcome::ReadFailed("could not read the key register 0x0209; nothing was written");
    case KeyWrite::kSame:
      return Outcome::NothingToDo("the switch already uses key " + KeyText(*key));
    case KeyWrite::kNotSent:
    case KeyWrite::kNotTaken:
      context.prompt.Message(kApplicationTitle, kRegisterWriteFailed, PromptIcon::Error);
      return Outcome::Refused(kRegisterWriteFailed);
    case KeyWrite::kUnconfirmed: {
      std::string why = "the switch answered under neither key after its key was set to " + KeyText(*key) +
                        "; both keys are remembered until one of them answers";
      if (!context.engine.SaveSwitchDatabaseChecked()) why += "; the switch database could not be saved";
      context.Status(why);
      return Outcome::ReadFailed(why);
    }
    case KeyWrite::kTaken:
      break;
  }
  // Every later frame carries the new key, and the next run finds the switch by it.
  std::string note = "key set to " + KeyText(*key);
  if (!context.engine.SaveSwitchDatabaseChecked()) note += "; the switch database could not be saved";
  if (const std::string saved = OfferKeySave(context, sw, *key); !saved.empty()) note += "; " + saved;
  return Outcome::Done(note);
}

Outcome ToggleRemoteAccess(PageContext& context, SecurityState& state) {
  if (!context.Ready() || !context.Record()) return Outcome::NothingToDo();
  if (!SecurityVariantOf(context.Record()).accessControl)
    return Outcome::Refused("this switch keeps no remote-access setting");
  uint8_t value = 0;
  if (state.accessCaption == kEnableAccessCaption) {
    value = kAccessEnableValue;
  } else if (state.accessCaption == kDisableAccessCaption) {
    if (!context.prompt.AskYesNo(kApplicationTitle, kDisableAccessWarning, PromptIcon::None))
      return Outcome::Declined();
    value = kAccessDisableValue;
  } else {
    context.prompt.Message(kApplicationTitle, kAccessErrorCaption, PromptIcon::None);
    return Outcome::Refused(kAccessErrorCaption);
  }
  const int sw = context.Switch();
  bool written = false;
  std::optional<uint8_t> readBack;
  {
    AdapterIo io(context.engine);
    written = context.engine.WriteEepromByte(sw, kEepromRemoteAccess, value, kEepromTimeoutMs);
    uint8_t byte = 0;
    if (written && context.engine.ReadEepromByte(sw, kEepromRemoteAccess, byte, kEepromTimeoutMs)) readBack = byte;
  }
  if (!written) {
    state.accessCaption = kAccessErrorCaption;
    context.prompt.Message(kApplicationTitle, kEepromWriteFailed, PromptIcon::Error);
    return Outcome::Refused(kEepromWriteFailed);
  }
  state.accessCaption = AccessCaptionFor(readBack);
  if (!readBack) return Outcome::ReadFailed("EEPROM byte 0x0C could not be read back");
  if ((*readBack & 1) != (value & 1))
    return Outcome::ReadFailed(Format("EEPROM byte 0x0C reads 0x%02X after writing 0x%02X", *readBack, value));
  return Outcome::Done(value == kAccessEnableValue ? "remote access enabled" : "remote access disabled");
}

Outcome PressAccessButton(PageContext& context, SecurityState& state) {
  if (!context.Ready() || !context.Record()) return Outcome::NothingToDo();
  const SecurityVariant variant = SecurityVariantOf(context.Record());
  Outcome result = Outcome::NothingToDo();
  if (variant.keySettable) {
    result = SetAuthKeyFromText(context, state.keyText);
    // A refused key ends the whole handler.
    if (result.kind == OutcomeKind::Refused) return result;
  }
  if (variant.accessControl) result = ToggleRemoteAccess(context, state);
  return result;
}

}  // namespace brisfell
