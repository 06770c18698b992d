#include "pages/security/switch_keys.h"

#include <algorithm>

#include "pages/security/device_security_logic.h"

namespace brisfell {

std::vector<SwitchKeyEntry> SwitchKeyEntries(const Engine& engine) {
  std::vector<SwitchKeyEntry> entries;
  for (int i = 0; i < engine.SwitchCount(); ++i) {
    const SwitchRecord& r = *engine.GetSwitchRecord(i);
    entries.push_back({r.mac, r.AuthKey(), true});
  }
  for (const DatabaseRecord& rec : engine.DatabaseRecords()) {
    const bool listed =
        std::any_of(entries.begin(), entries.end(), [&](const SwitchKeyEntry& e) { return e.mac == rec.mac; });
    if (!listed) entries.push_back({rec.mac, KeyValue(rec.key), false});
  }
  return entries;
}

Table SwitchKeyTable(const std::vector<SwitchKeyEntry>& entries, bool discovered) {
  Table table{{"MAC Address", "Key", "Answered"}, {}};
  for (const SwitchKeyEntry& e : entries)
    table.rows.push_back({FormatMac(e.mac), KeyText(e.key), discovered ? (e.answered ? "yes" : "no") : ""});
  return table;
}

}  // namespace brisfell
