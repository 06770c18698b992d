// The Device Security page: which ports may carry management frames (a form table over the
// not-authorised mask), the switch's authentication key, and, on the model that keeps it, the
// remote-access bit in EEPROM that decides whether this console reaches the switch after its
// next hardware reset.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pages/common/form.h"
#include "pages/common/outcome.h"
#include "pages/common/page_context.h"
#include "pages/security/lockout_guard.h"

namespace brisfell {

inline constexpr const char* kAuthKeyLabel = "Authentification Key:";
inline constexpr const char* kAccessErrorCaption = "Brisfell Access Control: Error!";
inline constexpr const char* kSetKeyCaption = "Set RRCP Authentication Key";
inline constexpr const char* kEnableAccessCaption = "Enable Brisfell Access";
inline constexpr const char* kDisableAccessCaption = "Disable Brisfell Access";
inline constexpr const char* kKeyInvalidMessage = "The data is invalid, Default is 0x5A3C";
inline constexpr const char* kDisableAccessWarning =
    "Warning! This switch will not be accessible by Brisfell after hardware reset.\n"
    "To re-enable Brisfell access, use the DEFAULT button on the switch.\nContinue?";
// What the key edit box holds at most on a model whose key can be set: "0x" and four digits.
constexpr int kKeyTextLength = 6;
// After a key write, rounds of a read under the new key and one under the old before the change
// is given up as unconfirmed (each read already asks again within its own time-out).
constexpr int kKeyCheckRounds = 3;
constexpr uint8_t kAccessDisableValue = 3;
constexpr uint8_t kAccessEnableValue = 0;

// The port boxes: a ticked box is a port that may carry management (its bit clear).
const FormTable& DeviceSecurityForm();

// What the page offers on a switch, from its model.
struct SecurityVariant {
  bool keySettable = false;    // the key edit box is writable and the button sets the key
  bool accessControl = false;  // the button turns remote access on and off
  bool ButtonShown() const { return keySettable || accessControl; }
};
SecurityVariant SecurityVariantOf(const SwitchRecord* record);

// The key as the edit box shows it: "0x%04X".
std::string KeyText(uint16_t key);
// "0x" or "0X" followed by exactly four hexadecimal digits (either case); nothing else.
std::optional<uint16_t> ParseKeyText(const std::string& text);

// The EEPROM address of the key register's saved image on the switch's model (low byte first),
// or -1 where the EEPROM keeps no key: a key set there lives only in the register until saved.
int KeyEepromAddress(const SwitchRecord* record);
// "the key 0x%04X lives only in the register; the EEPROM still holds 0x%04X, which the switch
// takes again at its next power cycle"
std::string KeyNotSavedText(uint16_t key, uint16_t saved);

// The button's caption for a read of the remote-access byte (nullopt: the read failed).
std::string AccessCaptionFor(std::optional<uint8_t> accessByte);

struct SecurityState {
  FormState ports;
  std::string keyText;  // the edit box; "" until the key register has been read
  SecurityVariant variant;
  // The access button; the access step acts on what it says.
  std::string accessCaption = kAccessErrorCaption;
};

// The page as it is created for the current switch, before its first refresh.
SecurityState NewSecurityState(const PageContext& context);

// Refresh: the key, the button (from the model, and the remote-access byte where kept), then
// the port mask. A failed read leaves its controls as they were.
Outcome RefreshSecurity(PageContext& context, SecurityState& state);

// The not-authorised mask an update would write, by chip port, over the registers it would
// write (those whose bits were all read or chosen).
uint32_t UnauthorisedChipsAfterUpdate(const PageContext& context, const SecurityState& state);

// Update: writes both registers whole (the high one also on 16-port switches, as 0), no read
// first. A register whose bits were neither read nor chosen is not written. Taking management
// away from the station's own port passes the lock-out guard first.
Outcome UpdateSecurity(PageContext& context, const SecurityState& state, LockoutPolicy policy = LockoutPolicy::kAsk,
                       std::vector<FormWrite>* written = nullptr);

// The access button: the key step where the key can be set, then the access step where remote
// access is kept; a refused key ends the handler before the access step.
Outcome PressAccessButton(PageContext& context, SecurityState& state);

// The key step alone: `text` is checked as the edit box's, the key register read, and only a
// different key written; the switch record and the switch database then carry it. Where the
// EEPROM keeps a key other than the new one, the operator is told and asked whether to save
// the new key there too.
Outcome SetAuthKeyFromText(PageContext& context, const std::string& text);

// The access step alone, acting on `state.accessCaption` (asks before disabling). The caption
// is brought up to date from the byte read back.
Outcome ToggleRemoteAccess(PageContext& context, SecurityState& state);

}  // namespace brisfell
