// The typed JSON of the status lists, shared by "show status", "show mib" and "watch".
#pragma once

#include <functional>

#include "cli/output.h"
#include "engine/switch_record.h"

namespace brisfell::cli {

const Schema& PortStatusSchema();
const Schema& MibSchema();
// The MIB list with a rate after each counter's unit (watch mib).
const Schema& MibRateSchema();
// Adds each row's chip port to its JSON object.
std::function<void(size_t, Json&)> ChipPorts(const SwitchRecord& record);

}  // namespace brisfell::cli
