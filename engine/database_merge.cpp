// Saving the switch database while other consoles may save it too: under a lock on the file's
// folder the file is read again and only this console's own changes are applied to it. And
// the key confirmation those changes rest on: a key is news only once a read under it answered.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "engine/engine.h"
#include "engine/safe_file.h"

namespace brisfell {
namespace {

// An exclusive lock on the folder that holds the file, held for one read-merge-write. A lock
// on the folder rather than the file: the file itself is replaced by a rename at every save.
class FolderLock {
 public:
  FolderLock(const std::string& filePath, std::string& error) {
    const std::filesystem::path parent = std::filesystem::path(filePath).parent_path();
    const std::filesystem::path folder = parent.empty() ? std::filesystem::path(".") : parent;
    fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) {
      error = Format("%s: cannot be locked: %s", folder.c_str(), std::strerror(errno));
      return;
    }
    int r = 0;
    while ((r = ::flock(fd_, LOCK_EX)) < 0 && errno == EINTR) {
    }
    if (r < 0) {
      error = Format("%s: cannot be locked: %s", folder.c_str(), std::strerror(errno));
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~FolderLock() {
    if (fd_ >= 0) ::close(fd_);  // closing lets go of the lock
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  bool ok() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

std::vector<KeyBytes> KeysOf(const std::vector<DatabaseRecord>& records, const Mac& mac) {
  std::vector<KeyBytes> keys;
  for (const auto& r : records)
    if (r.mac == mac && std::find(keys.begin(), keys.end(), r.key) == keys.end()) keys.push_back(r.key);
  return keys;
}

}  // namespace

// What this console learnt about the switches it found, against the file as it last read it:
// a key a read answered under, both keys of an unconfirmed change, a switch not remembered.
// A remembered switch that answered no read under a new key teaches nothing.
std::vector<Engine::DatabaseEdit> Engine::FoundSwitchEdits(const Mac* except) const {
  std::vector<DatabaseEdit> edits;
  for (const auto& sw : switches_) {
    if (except && sw.mac == *except) continue;
    const std::vector<KeyBytes> base = KeysOf(databaseBase_, sw.mac);
    std::vector<KeyBytes> want;
    const auto answered = answeredKeys_.find(sw.mac);
    const auto both = unconfirmedKeys_.find(sw.mac);
    if (answered != answeredKeys_.end() && answered->second == sw.authKey)
      want = {sw.authKey};
    else if (both != unconfirmedKeys_.end())
      want = both->second;
    else if (base.empty())
      want = {sw.authKey};
    else
      continue;
    if (want != base) edits.push_back({sw.mac, want});
  }
  return edits;
}

bool Engine::MergeDatabase(SaveOrder order, std::vector<DatabaseEdit> edits) {
  std::string error;
  FolderLock lock(databasePath_, error);
  if (!lock.ok()) {
    DatabaseError(error);
    return false;
  }
  std::vector<uint8_t> bytes;
  bool missing = false;
  if (!ReadRegularFile(databasePath_, kMaxDatabaseFileBytes, bytes, error, &missing) && !missing) {
    DatabaseError(error.append(" (so it was not saved)"));
    return false;
  }
  // A file gone since it was read was not emptied by another console's save (a save replaces
  // it): what this console read of it is written again rather than lost.
  std::vector<DatabaseRecord> records = missing ? databaseBase_ : DecodeDatabase(bytes.data(), bytes.size());
  for (const DatabaseEdit& edit : edits) {
    auto at = std::find_if(records.begin(), records.end(), [&](const DatabaseRecord& r) { return r.mac == edit.mac; });
    const size_t place = static_cast<size_t>(at - records.begin());
    std::erase_if(records, [&](const DatabaseRecord& r) { return r.mac == edit.mac; });
    std::vector<DatabaseRecord> mine;
    for (const KeyBytes& key : edit.keys) mine.push_back({edit.mac, key});
    records.insert(records.begin() + static_cast<std::ptrdiff_t>(std::min(place, records.size())), mine.begin(),
                   mine.end());
  }
  if (order == SaveOrder::FoundFirst) {
    std::vector<DatabaseRecord> ordered;
    for (const auto& sw : switches_)
      for (const auto& r : records)
        if (r.mac == sw.mac) ordered.push_back(r);
    for (const auto& r : records)
      if (std::none_of(switches_.begin(), switches_.end(), [&](const SwitchRecord& sw) { return sw.mac == r.mac; }))
        ordered.push_back(r);
    records = std::move(ordered);
  }
  records = FitDatabase(records);
  const std::vector<uint8_t> out = EncodeDatabase(records);
  // An unchanged file is left as it is.
  if (missing || out != bytes) {
    // A new file renamed over the old one: a crash mid-save never loses remembered keys.
    if (!ReplaceFile(databasePath_, out.data(), out.size(), error)) {
      DatabaseError(error);
      return false;
    }
  }
  // What this console wrote is now what it knows of those switches; of the others it keeps
  // what it read, so that what it learnt before another console's change stays no news.
  for (const DatabaseEdit& edit : edits) {
    std::erase_if(databaseBase_, [&](const DatabaseRecord& r) { return r.mac == edit.mac; });
    for (const KeyBytes& key : edit.keys) databaseBase_.push_back({edit.mac, key});
  }
  return true;
}

void Engine::KeepBothKeys(int index, const KeyBytes& old, const KeyBytes& sent) {
  if (index < 0 || index >= SwitchCount()) return;
  SwitchRecord& sw = switches_[static_cast<size_t>(index)];
  sw.authKey = old;
  answeredKeys_.erase(sw.mac);
  unconfirmedKeys_[sw.mac] = old == sent ? std::vector<KeyBytes>{old} : std::vector<KeyBytes>{old, sent};
}

bool Engine::KeyConfirmed(int index) const {
  const SwitchRecord* sw = GetSwitchRecord(index);
  if (!sw) return false;
  const auto answered = answeredKeys_.find(sw->mac);
  return answered != answeredKeys_.end() && answered->second == sw->authKey;
}

// A hello reply may be forged, and a remembered switch may have two keys: each found switch
// whose reply named a key other than its one remembered key is read under its remembered keys
// and then the reply's, and keeps the first that answers. When none does, it is addressed
// with its first remembered key and its records stay as they are.
void Engine::ConfirmKeys(const std::vector<DatabaseRecord>& known) {
  for (size_t i = 0; i < switches_.size() && !Cancelled(); ++i) {
    SwitchRecord& sw = switches_[i];
    std::vector<KeyBytes> candidates = KeysOf(known, sw.mac);
    if (candidates.empty() || (candidates.size() == 1 && candidates[0] == sw.authKey)) continue;
    const KeyBytes replied = sw.authKey;
    if (std::find(candidates.begin(), candidates.end(), replied) == candidates.end()) candidates.push_back(replied);
    bool confirmed = false;
    for (const KeyBytes& key : candidates) {
      sw.authKey = key;
      uint32_t value = 0;
      if (ReadRegister(static_cast<int>(i), kRegAuthKey, value, kRegisterTimeoutMs)) {
        confirmed = true;
        break;
      }
    }
    if (confirmed) continue;
    sw.authKey = candidates[0];
    warnings_.push_back(Format("switch %s answered a hello with key 0x%04X, but no read under that key or its "
                               "remembered one; its remembered key 0x%04X is kept",
                               FormatMac(sw.mac).c_str(), KeyValue(replied), KeyValue(candidates[0])));
  }
}

}  // namespace brisfell
