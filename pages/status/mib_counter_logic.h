// The MIB Counter page and its per-port counter dialog: what each port's three counters
// count (two bits each, six bits a chip port in 0x0700 + k/2) and their 32-bit values.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>

#include "pages/common/page_context.h"
#include "pages/common/table.h"

namespace brisfell {


// Texts of a counter's code: `counter` 0..2 (counter 1..3), `code` 0..3.
const char* MibPageText(int counter, int code);
const char* MibDialogText(int counter, int code);

inline uint16_t MibSelectRegister(int chip) { return static_cast<uint16_t>(kRegMibSelect + chip / 2); }
// The code (0..3) of counter `counter` (0..2) of chip port `chip` in its selection register.
int MibCode(uint32_t selectValue, int chip, int counter);
// The selection register with chip port `chip`'s codes replaced; a code of -1 keeps its bits.
uint32_t WithMibCodes(uint32_t selectValue, int chip, const std::array<int, 3>& codes);

Table MibCounterColumns();
Table DecodeMibCounters(const SwitchRecord& record, const std::map<uint16_t, uint32_t>& registers);
// Refresh: the 91 registers 0x0700-0x075A in ascending order. False (no rows) when no adapter
// or switch is current or a read fails.
bool RefreshMibCounters(PageContext& context, Table& table);

// The page's actions. Each returns true when the page should refresh afterwards.
// "Port Clear" on the list's selection mark (-1 for none: a message, nothing sent).
bool MibPortClear(PageContext& context, int selectionMark);
// Clears the counters of every chip port 0 to 25, whatever the model's port count.
bool MibAllClear(PageContext& context);
// Every counter of every port to bytes (code 0) or packets (code 1).
bool MibAllBytes(PageContext& context);
bool MibAllPackets(PageContext& context);

// "Config" (with the message when nothing is selected) or a double-click (without): sets the
// shared selected row and tells whether the counter dialog should open.
bool MibConfigRequested(PageContext& context, int selectionMark, bool fromButton);

// The counter dialog for ctx.selectedListRow.
struct MibConfigState {
  int row = -1;
  int chip = -1;
  std::string title;
  std::array<int, 3> codes{-1, -1, -1};  // -1: no selection
  bool read = false;                      // the codes came from the switch
};
// Opening: the title, and the row's codes read from the switch when one is current.
MibConfigState OpenMibConfig(PageContext& context);
// OK: reads the selection register again and writes it only when the chosen codes change it.
// False when nothing could be done (no switch, or the read failed).
bool ApplyMibConfig(PageContext& context, const MibConfigState& state, const std::array<int, 3>& codes);

}  // namespace brisfell
