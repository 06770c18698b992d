// The Port Status list: live link state, interface, negotiated speed and duplex, flow
// control, bandwidth limits and trunk membership of every port. It only reads.
#pragma once

#include <cstdint>
#include <map>

#include "pages/common/page_context.h"
#include "pages/common/table.h"

namespace brisfell {

// The list's columns, with no rows.
Table PortStatusColumns();

// The list decoded from the registers a refresh reads (register -> value).
Table DecodePortStatus(const SwitchRecord& record, const std::map<uint16_t, uint32_t>& registers);

// Refresh: reads the 30 registers in their fixed order and decodes them. Returns false (and
// a list with no rows) when no adapter or switch is current or any read fails.
bool RefreshPortStatus(PageContext& context, Table& table);

}  // namespace brisfell
