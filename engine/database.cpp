// The switch database file: 8-byte records (MAC, key high byte first), no header.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <vector>

#include "engine/engine.h"

namespace brisfell {
namespace {

constexpr size_t kRecordSize = 8;

bool WriteAll(int fd, const uint8_t* data, size_t n) {
  while (n > 0) {
    ssize_t w = ::write(fd, data, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    data += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

}  // namespace

void Engine::LoadSwitchDatabase() {
  database_.clear();
  // Created when missing, never truncated; owner-only because it holds authentication keys.
  int fd = ::open(databasePath_.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    Notify(kOpenRecordFileFailed);
    return;
  }
  struct stat st {};
  if (::fstat(fd, &st) == 0 && st.st_size >= static_cast<off_t>(kRecordSize)) {
    const size_t count = std::min<size_t>(static_cast<size_t>(st.st_size) / kRecordSize, kMaxDatabaseRecords);
    std::vector<uint8_t> bytes(count * kRecordSize);
    size_t got = 0;
    while (got < bytes.size()) {
      ssize_t r = ::read(fd, bytes.data() + got, bytes.size() - got);
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) break;
      got += static_cast<size_t>(r);
    }
    for (size_t i = 0; i + kRecordSize <= got; i += kRecordSize) {
      DatabaseRecord rec;
      std::copy(bytes.begin() + i, bytes.begin() + i + 6, rec.mac.begin());
      rec.key = {bytes[i + 6], bytes[i + 7]};
      database_.push_back(rec);
    }
  }
  ::close(fd);
}

void Engine::SaveSwitchDatabase() {
  // Found switches first (with the keys they use now), then remembered ones not found.
  std::vector<uint8_t> out;
  auto put = [&out](const Mac& mac, const KeyBytes& key) {
    out.insert(out.end(), mac.begin(), mac.end());
    out.insert(out.end(), key.begin(), key.end());
  };
  for (const auto& sw : switches_) put(sw.mac, sw.authKey);
  for (const auto& rec : database_) {
    bool found = false;
    for (const auto& sw : switches_) found = found || sw.mac == rec.mac;
    if (!found) put(rec.mac, rec.key);
  }

  // A new file renamed over the old one: a crash mid-save never loses remembered keys.
  const std::string temp = databasePath_ + ".tmp";
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) {
    database_.clear();
    Notify(kOpenRecordFileFailed);
    return;
  }
  bool ok = WriteAll(fd, out.data(), out.size()) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (!ok || ::rename(temp.c_str(), databasePath_.c_str()) != 0) {
    ::unlink(temp.c_str());
    database_.clear();
    Notify(kOpenRecordFileFailed);
  }
}

}  // namespace brisfell
