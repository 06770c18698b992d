// The switch database file: 8-byte records (MAC, key high byte first), no header.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "engine/engine.h"
#include "engine/safe_file.h"

namespace brisfell {
namespace {

constexpr size_t kRecordSize = 8;

// At most kMaxDatabaseRecords of `records` (already in priority order: most recently found
// first), each MAC once. When there are more, the records carrying a key other than the
// default are kept first: a switch with the default key is found by the broadcast anyway,
// one with its own key only through its record. The kept records keep their order.
std::vector<DatabaseRecord> Fit(const std::vector<DatabaseRecord>& records) {
  std::vector<DatabaseRecord> unique;
  for (const auto& r : records) {
    const bool seen = std::any_of(unique.begin(), unique.end(), [&](const DatabaseRecord& u) { return u.mac == r.mac; });
    if (!seen) unique.push_back(r);
  }
  if (unique.size() <= static_cast<size_t>(kMaxDatabaseRecords)) return unique;
  std::vector<bool> keep(unique.size(), false);
  size_t kept = 0;
  for (int pass = 0; pass < 2; ++pass)
    for (size_t i = 0; i < unique.size() && kept < static_cast<size_t>(kMaxDatabaseRecords); ++i) {
      const bool ownKey = unique[i].key != kDefaultKeyBytes;
      if (!keep[i] && (pass == 1 || ownKey)) {
        keep[i] = true;
        ++kept;
      }
    }
  std::vector<DatabaseRecord> out;
  for (size_t i = 0; i < unique.size(); ++i)
    if (keep[i]) out.push_back(unique[i]);
  return out;
}

}  // namespace

void Engine::DatabaseError(const std::string& detail) {
  // The operator's message first, then which file and why, so the fault can be found.
  Notify(std::string(kOpenRecordFileFailed) + "\n" + detail);
}

void Engine::LoadSwitchDatabase() {
  database_.clear();
  databaseLoadError_.clear();
  // Created when missing, never truncated; owner-only because it holds authentication keys.
  // Whatever is not a regular file is refused unread: a link could lead to a private file
  // whose bytes would go out as MACs and keys, a FIFO would never end.
  std::string error;
  const int fd = OpenRegularFile(databasePath_, true, error);
  if (fd < 0) {
    databaseLoadError_ = error;
    DatabaseError(error);
    return;
  }
  std::vector<uint8_t> bytes(kMaxDatabaseFileBytes);
  size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t r = ::read(fd, bytes.data() + got, bytes.size() - got);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) {
      databaseLoadError_ = databasePath_ + ": " + std::strerror(errno);
      ::close(fd);
      DatabaseError(databaseLoadError_);
      return;
    }
    if (r == 0) break;
    got += static_cast<size_t>(r);
  }
  ::close(fd);
  std::vector<DatabaseRecord> records;
  for (size_t i = 0; i + kRecordSize <= got; i += kRecordSize) {
    DatabaseRecord rec;
    std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(i), bytes.begin() + static_cast<std::ptrdiff_t>(i + 6),
              rec.mac.begin());
    rec.key = {bytes[i + 6], bytes[i + 7]};
    records.push_back(rec);
  }
  database_ = Fit(records);
}

void Engine::SaveSwitchDatabase() {
  // What could not be read is not overwritten: the remembered keys in it would be lost.
  if (!databaseLoadError_.empty()) {
    DatabaseError(databaseLoadError_ + " (so it was not saved)");
    return;
  }
  // Found switches first (with the keys they use now), then remembered ones not found.
  std::vector<DatabaseRecord> records;
  for (const auto& sw : switches_) records.push_back({sw.mac, sw.authKey});
  for (const auto& rec : database_) {
    const bool found = std::any_of(switches_.begin(), switches_.end(), [&](const SwitchRecord& sw) { return sw.mac == rec.mac; });
    if (!found) records.push_back(rec);
  }
  std::vector<uint8_t> out;
  for (const auto& r : Fit(records)) {
    out.insert(out.end(), r.mac.begin(), r.mac.end());
    out.insert(out.end(), r.key.begin(), r.key.end());
  }
  // A new file renamed over the old one: a crash mid-save never loses remembered keys.
  std::string error;
  // The remembered records stay in memory after a failed save, so that a later save that
  // works still writes them.
  if (!ReplaceFile(databasePath_, out.data(), out.size(), error)) DatabaseError(error);
}

}  // namespace brisfell
