// The Port Configuration list: each port's configured enable, bandwidth limits, advertised
// speed, pause advertisement and trunk membership, and the rules for opening its dialogs.
#pragma once

#include <cstdint>
#include <map>

#include "pages/common/page_context.h"
#include "pages/common/table.h"

namespace brisfell {

Table PortConfigColumns();
Table DecodePortConfig(const SwitchRecord& record, const std::map<uint16_t, uint32_t>& registers);
// Refresh: 0x0307, 0x0608-0x0609, 0x020A-0x0216, 0x060A-0x0616,
// 0x0619-0x0625. False (no rows) when no adapter or switch is current or a read fails.
bool RefreshPortConfig(PageContext& context, Table& table);

// "Config" (message when nothing is selected) or a double-click (none): sets the shared
// selected row and tells whether the single-port dialog should open.
bool PortConfigRequested(PageContext& context, int selectionMark, bool fromButton);
// "Config Ports" and "Config Trunk" open their dialogs only while a switch is selected.
inline bool SwitchSelected(const PageContext& context) { return context.Switch() != -1; }

}  // namespace brisfell
