// The Overview page's two lists: the current switch as discovery recorded it, and where it
// sits in the chain of switches. Reads no register; everything comes from the switch table.
#pragma once

#include "engine/engine.h"
#include "pages/common/table.h"

namespace brisfell {

// Shown in the up-link columns when the upstream switch was not discovered, and for a port
// number that the switch's port map cannot translate.
inline constexpr const char* kNotAvailable = "na";

struct OverviewTables {
  Table devices;   // "Name", "MAC Address", "Chip ID", "Vendor ID"
  Table topology;  // "Down Link MAC", "Down Link Port", "Up Link MAC", "Up Link Port"
};

// Column headers only (what the page shows before it fills, and with no current switch).
OverviewTables OverviewColumns();

// One row in each table for the current switch; both tables empty when no adapter or no
// switch is current.
OverviewTables BuildOverview(const Engine& engine);

}  // namespace brisfell
