// The switch database as the operator manages it: every remembered switch with its key, and
// whether it answered the last discovery. The key dialog and `db list` show the same rows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "pages/common/table.h"

namespace brisfell {

struct SwitchKeyEntry {
  Mac mac{};
  uint16_t key = 0;
  bool answered = false;  // found by the last discovery (with this key)
};

// What the database holds after the last discovery, in the order a save writes it: the switches
// found, with the keys they answered with, then the remembered ones that did not answer.
std::vector<SwitchKeyEntry> SwitchKeyEntries(const Engine& engine);

// "MAC Address", "Key" ("0x%04X"), "Answered" ("yes", "no"; "" when no discovery has run).
Table SwitchKeyTable(const std::vector<SwitchKeyEntry>& entries, bool discovered);

}  // namespace brisfell
