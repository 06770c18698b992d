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

}  // namespace

// At most kMaxDatabaseRecords of `records` (already in priority order: most recently found
// first), each record once; a MAC may come twice with two keys while a key change waits for
// the switch to confirm one. When there are more, the records carrying a key other than the
// default are kept first: a switch with the default key is found by the broadcast anyway,
// one with its own key only through its record. The kept records keep their order.
std::vector<DatabaseRecord> FitDatabase(const std::vector<DatabaseRecord>& records) {
  std::vector<DatabaseRecord> unique;
  for (const auto& r : records) {
    const bool seen = std::find(unique.begin(), unique.end(), r) != unique.end();
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

std::vector<DatabaseRecord> DecodeDatabase(const uint8_t* bytes, size_t size) {
  std::vector<DatabaseRecord> records;
  for (size_t i = 0; i + kRecordSize <= size; i += kRecordSize) {
    DatabaseRecord rec;
    std::copy(bytes + i, bytes + i + 6, rec.mac.begin());
    rec.key = {bytes[i + 6], bytes[i + 7]};
    records.push_back(rec);
  }
  return records;
}

std::vector<uint8_t> EncodeDatabase(const std::vector<DatabaseRecord>& records) {
  std::vector<uint8_t> out;
  for (const auto& r : records) {
    out.insert(out.end(), r.mac.begin(), r.mac.end());
    out.insert(out.end(), r.key.begin(), r.key.end());
  }
  return out;
}

void Engine::DatabaseError(const std::string& detail) {
  // The operator's message first, then which file and why, so the fault can be found.
  Notify(std::string(kOpenRecordFileFailed) + "\n" + detail);
}

void Engine::LoadSwitchDatabase() {
  database_.clear();
  databaseBase_.clear();
  databaseLoadError_.clear();
  // Created when missing, never truncated; owner-only because it holds authentication keys.
  // Whatever is not a regular file is refused unread: a link could lead to a private file
  // whose bytes would go out as MACs and keys, a FIFO would never end.
  std::string error;
  bool missing = false;
  const int fd = OpenRegularFile(databasePath_, discoverySaves_, error, &missing);
  if (fd < 0 && missing && !discoverySaves_) {  // not created here: it is simply empty
    database_ = FitDatabase(databaseHints_);
    return;
  }
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
  databaseBase_ = DecodeDatabase(bytes.data(), got);
  // The hints are asked first but are not the file's: a save measures against the file alone.
  std::vector<DatabaseRecord> records = databaseHints_;
  records.insert(records.end(), databaseBase_.begin(), databaseBase_.end());
  database_ = FitDatabase(records);
}

void Engine::SaveSwitchDatabase(SaveOrder order) {
  // What could not be read is not overwritten: the remembered keys in it would be lost.
  if (!databaseLoadError_.empty()) {
    DatabaseError(databaseLoadError_ + " (so it was not saved)");
    return;
  }
  MergeDatabase(order, FoundSwitchEdits(nullptr));
}

}  // namespace brisfell
