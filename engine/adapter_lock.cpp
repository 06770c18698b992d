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

// The folder, made owner-only when missing. One that exists must be a real folder of ours,
// or a shared one of root's that only lets each user remove their own files (sticky, as
// /run/lock): in a shared place another user could have put something there first.
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
  const bool ours = st.st_uid == ::geteuid();
  const bool sharedByRoot = st.st_uid == 0 && (st.st_mode & S_ISVTX);
  if (!S_ISDIR(st.st_mode) || !(ours || sharedByRoot)) {
    error = dir + ": not a folder of this user";
    return false;
  }
  return true;
}

// The lock file, opened for reading (all flock needs) and never through a link. One that is
// missing is created readable by all, so that a console of another user can lock it too; one
// that is there is opened without O_CREAT, which a sticky folder may refuse for another
// user's file. -1 with errno set.
constexpr const char* kSharedLockDirectory = "/run/lock";

int OpenLockFile(const std::string& path) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd >= 0 || errno != ENOENT) return fd;
    fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0) {
      ::fchmod(fd, 0644);  // whatever the umask
      return fd;
    }
    if (errno != EEXIST) return -1;  // else another console created it just now
  }
  errno = EEXIST;
  return -1;
}

}  // namespace

std::string AnotherConsoleMessage(const std::string& adapter) { return "another console is using " + adapter; }

FileAdapterLocks::FileAdapterLocks(std::string directory) : directory_(std::move(directory)) {}

// Root and a user with the capability meet in one place: /run/lock, root's and sticky (each
// user removes only their own files) on every system, where the files carry the program's name.
std::string FileAdapterLocks::DefaultDirectory() { return kSharedLockDirectory; }

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
  const std::string prefix = directory_ == kSharedLockDirectory ? "brisfell-" : "";
  const std::string path = directory_ + "/" + prefix + FileName(adapter);
  const int fd = OpenLockFile(path);
  if (fd < 0) {
    error = path + ": " + std::strerror(errno);
    return nullptr;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    error = path + ": not a regular file";
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
