// The Device Reset page: a soft reset, and a hardware reset (asked first) that brings the
// switch back with the settings kept in its EEPROM. Both are one write to the reset register.
#pragma once

#include "pages/common/outcome.h"
#include "pages/common/page_context.h"

namespace brisfell {

inline constexpr const char* kHardwareResetQuestion =
    "Warning! All settings will be reset to power on default.\nContinue?";
// The switch whose key can be set offers no hardware reset.
constexpr uint32_t kNoHardwareResetVendor = 0x6B2D7004;

// Whether the page offers "Hardware Reset" for this switch (no switch: the button stays).
bool HardwareResetOffered(const SwitchRecord* record);

// Nothing to do without a current adapter and switch; the write is not acknowledged.
Outcome SoftReset(PageContext& context);
// Asks first (No is the default); only Yes sends the command (No: declined). Refused on a switch that does
// not offer it.
Outcome HardwareReset(PageContext& context);

}  // namespace brisfell
