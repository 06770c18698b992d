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

// Where switch `index` hangs: the switch table index of its upstream switch (the first other
// switch whose MAC is its upLinkMac; -1 when there is none) and both ends' shown ports, as the
// topology list shows them ("na" for an upstream not found or a port the map cannot translate).
struct UpLink {
  int upstream = -1;
  std::string downLinkPort;
  std::string upLinkPort;
};
UpLink FindUpLink(const Engine& engine, int index);

// Column headers only (what the page shows before it fills, and with no current switch).
OverviewTables OverviewColumns();

// One row in each table for the current switch; both tables empty when no adapter or no
// switch is current.
OverviewTables BuildOverview(const Engine& engine);

}  // namespace brisfell
