#include "engine/adapter_lock.h"

#include <fcntl.h>
#include <net/if.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace brisfell {
namespace {

class FileLock : public AdapterLock {
 public:
  explicit FileLock(int fd) : fd_(fd) {}
  ~FileLock() override { ::close(fd_); }  // closing the last descriptor releases the flock
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_;
};

// The folder, made owner-only when missing. One that exists must be a real folder of ours:
// in a shared place such as /tmp another user could have put something there first.
bool EnsureDirectory(const std::string& dir, std::string& error) {
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
    error = dir + ": " + std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (::lstat(dir.c_str(), &st) != 0) {
    error = dir + ": " + std::strerror(errno);
    return false;
  }
  if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) {
    error = dir + ": not a folder of this user";
    return false;
  }
  return true;
}

}  // namespace

std::string AnotherConsoleMessage(const std::string& adapter) { return "another console is using " + adapter; }

FileAdapterLocks::FileAdapterLocks(std::string directory) : directory_(std::move(directory)) {}

std::string FileAdapterLocks::DefaultDirectory() {
  // Root's consoles (sudo usually drops XDG_RUNTIME_DIR) all meet in /run.
  if (::geteuid() == 0) return "/run/brisfell";
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && runtime[0] == '/') return std::string(runtime) + "/brisfell";
  return "/tmp/brisfell-" + std::to_string(::geteuid());
}

std::string FileAdapterLocks::FileName(const std::string& adapter) {
  std::string name;
  for (char c : adapter) {
    const bool plain = std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_' || c == '@' || c == ':';
    name += plain ? c : '_';
  }
  if (name.empty() || name[0] == '.') name = "_" + name;
  return name + ".lock";
}

bool FileAdapterLocks::Applies(const std::string& adapter) {
  return !adapter.empty() && ::if_nametoindex(adapter.c_str()) != 0;
}

std::unique_ptr<AdapterLock> FileAdapterLocks::TryLock(const std::string& adapter, Outcome& outcome, std::string& error) {
  outcome = Outcome::Failed;
  if (!EnsureDirectory(directory_, error)) return nullptr;
  const std::string path = directory_ + "/" + FileName(adapter);
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    error = path + ": " + std::strerror(errno);
    return nullptr;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int why = errno;
    ::close(fd);
    if (why == EWOULDBLOCK) {
      outcome = Outcome::Busy;
      error = AnotherConsoleMessage(adapter);
    } else {
      error = path + ": " + std::strerror(why);
    }
    return nullptr;
  }
  outcome = Outcome::Held;
  return std::make_unique<FileLock>(fd);
}

}  // namespace brisfell
