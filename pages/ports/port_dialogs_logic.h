// The single-port and multi-port settings dialogs: what they read when they open, and what
// their OK writes.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>

#include "pages/common/page_context.h"
#include "pages/security/lockout_guard.h"

namespace brisfell {

// Choice list entries, in list order (the index is the value).
extern const std::array<const char*, 6> kAdvertisedSpeedTexts;  // "Auto", "10M Half", ...

// Ability bits (bits 0-4 of the advertise byte) written for a speed choice on a chip port.
uint8_t AbilityBitsFor(int speedIndex, int chip);
// The speed choice an advertise byte opens with; -1 (no selection) when nothing fits.
int SpeedIndexFromAbilities(uint8_t advertise, int chip);

// The dialogs' five choices; -1 is "no selection".
struct PortSettings {
  int enable = -1;  // 0 "Enable", 1 "Disable"
  int speed = -1;   // index into kAdvertisedSpeedTexts
  int rx = -1;      // bandwidth code 0..7
  int tx = -1;
  int pause = -1;   // pause code 0..3
};

// The three registers of one chip port, as read or as to be written.
struct SinglePortRegisters {
  uint32_t disable = 0;
  uint32_t advertise = 0;
  uint32_t bandwidth = 0;
};
// Chip port `chip`'s bits replaced by the chosen settings; choices without selection keep
// the bits as read.
SinglePortRegisters ApplySinglePort(const SinglePortRegisters& read, int chip, const PortSettings& settings);
PortSettings SettingsFromRegisters(const SinglePortRegisters& read, int chip);

struct PortDialogState {
  int row = -1;
  int chip = -1;
  std::string title;      // "Config Port %d"
  PortSettings settings;  // as read when the dialog opened
  bool read = false;      // the settings came from the switch
};
// Opening for ctx.selectedListRow: the title and the port's settings from the switch.
PortDialogState OpenPortDialog(PageContext& context);
// OK: reads the three registers again and writes those that change (bandwidth, disable,
// advertise), and the soft reset right after a changed advertise register.
// False when nothing could be done (no switch, or a read failed), or when disabling the
// station's own port was not let through by the lock-out guard.
bool ApplyPortDialog(PageContext& context, const PortDialogState& state, const PortSettings& chosen,
                     LockoutPolicy policy = LockoutPolicy::kAsk);

// The multi-port dialog.
struct PortsChoice {
  std::array<bool, kMaxChipPorts> ports{};  // by shown position
  bool applyEnable = false;
  bool applySpeed = false;
  bool applyRx = false;
  bool applyTx = false;
  bool applyPause = false;
  // The starting choices: "Enable", "Auto", no bandwidth limits, "Asym to LinkPartner".
  PortSettings settings{0, 0, 0, 0, 1};
};
// The 28 registers the multi-port OK reads and writes, in order.
std::array<uint16_t, 28> PortsDialogRegisters();
// The ticked groups applied to every chip port in `chipMask` below n.
void ApplyPortsGroups(std::map<uint16_t, uint32_t>& registers, uint32_t chipMask, int n, const PortsChoice& choice);
// OK: with at least one port ticked, reads the 28 registers, applies the ticked groups,
// writes all 28 back and sends the soft reset. False when no port is ticked, no switch is
// current, a read failed, or disabling the station's own port was not let through.
bool ApplyPortsDialog(PageContext& context, const PortsChoice& choice, LockoutPolicy policy = LockoutPolicy::kAsk);

}  // namespace brisfell
