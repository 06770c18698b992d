// Editing the switch database by hand: the operator remembers a switch whose key was set
// elsewhere, or forgets one. Every edit is saved at once through the one save path.
#include <algorithm>
#include <utility>

#include "engine/engine.h"

namespace brisfell {

bool Engine::SaveSwitchDatabaseChecked(SaveOrder order) {
  // The save reports failures only through the notifier; listen in, and pass them on.
  bool failed = false;
  auto outer = errorNotifier_;
  errorNotifier_ = [&failed, &outer](const std::string& message) {
    failed = true;
    if (outer) outer(message);
  };
  SaveSwitchDatabase(order);
  errorNotifier_ = std::move(outer);
  return !failed;
}

// The edited switch goes out as the operator gave it (or not at all), even when discovery
// found it with another key.
bool Engine::RememberSwitch(const Mac& mac, const KeyBytes& key) {
  std::erase_if(database_, [&](const DatabaseRecord& r) { return r.mac == mac; });
  database_.push_back({mac, key});
  if (!databaseLoadError_.empty()) return SaveSwitchDatabaseChecked();  // reports why not
  auto edits = FoundSwitchEdits(&mac);
  edits.push_back({mac, {key}});
  return MergeDatabase(SaveOrder::InPlace, std::move(edits));
}

bool Engine::ForgetSwitch(const Mac& mac) {
  std::erase_if(database_, [&](const DatabaseRecord& r) { return r.mac == mac; });
  if (!databaseLoadError_.empty()) return SaveSwitchDatabaseChecked();
  auto edits = FoundSwitchEdits(&mac);
  edits.push_back({mac, {}});
  return MergeDatabase(SaveOrder::InPlace, std::move(edits));
}

}  // namespace brisfell
