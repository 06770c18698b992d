// Editing the switch database by hand: the operator remembers a switch whose key was set
// elsewhere, or forgets one. Every edit is saved at once through the one save path.
#include <algorithm>
#include <utility>

#include "engine/engine.h"

namespace brisfell {

bool Engine::SaveSwitchDatabaseChecked() {
  // The save reports failures only through the notifier; listen in, and pass them on.
  bool failed = false;
  auto outer = errorNotifier_;
  errorNotifier_ = [&failed, &outer](const std::string& message) {
    failed = true;
    if (outer) outer(message);
  };
  SaveSwitchDatabase();
  errorNotifier_ = std::move(outer);
  return !failed;
}

bool Engine::SaveDatabaseEdit(const Mac& edited) {
  // A save writes the switches found by the last discovery first, with the keys they answered
  // with; the edited switch must go out as the operator gave it (or not at all), so it is out
  // of the table while the file is written.
  std::vector<SwitchRecord> found = switches_;
  std::erase_if(switches_, [&](const SwitchRecord& r) { return r.mac == edited; });
  const bool saved = SaveSwitchDatabaseChecked();
  switches_ = std::move(found);
  return saved;
}

bool Engine::RememberSwitch(const Mac& mac, const KeyBytes& key) {
  auto it = std::find_if(database_.begin(), database_.end(), [&](const DatabaseRecord& r) { return r.mac == mac; });
  if (it != database_.end())
    it->key = key;
  else
    database_.push_back({mac, key});
  return SaveDatabaseEdit(mac);
}

bool Engine::ForgetSwitch(const Mac& mac) {
  std::erase_if(database_, [&](const DatabaseRecord& r) { return r.mac == mac; });
  return SaveDatabaseEdit(mac);
}

}  // namespace brisfell
