#include "engine/safe_file.h"

#include <fcntl.h>
#include <sys/types.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

namespace brisfell {
namespace {

std::string SystemReason(const std::string& path, int error) { return path + ": " + std::strerror(error); }

std::string NotRegular(const std::string& path, unsigned mode) {
  return path + ": is " + FileKindText(mode) + ", not a regular file";
}

bool WriteAll(int fd, const uint8_t* data, size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, data, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    data += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

template <typename Bytes>
bool ReadInto(const std::string& path, size_t maxBytes, Bytes& out, std::string& error, bool* missing) {
  out.clear();
  const int fd = OpenRegularFile(path, false, error, missing);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    error = SystemReason(path, errno);
    ::close(fd);
    return false;
  }
  auto tooLarge = [&] {
    error = path + ": is too large (at most " + std::to_string(maxBytes) + " bytes are read)";
    ::close(fd);
    return false;
  };
  if (static_cast<uint64_t>(st.st_size) > maxBytes) return tooLarge();
  // Room for one byte more than the file's size shows a file that grows while it is read.
  out.resize(std::min(static_cast<size_t>(st.st_size), maxBytes) + 1);
  size_t got = 0;
  for (;;) {
    if (got == out.size()) {
      if (out.size() > maxBytes) return tooLarge();
      out.resize(std::min(out.size() * 2, maxBytes + 1));
    }
    const ssize_t r = ::read(fd, &out[got], out.size() - got);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) {
      error = SystemReason(path, errno);
      ::close(fd);
      return false;
    }
    if (r == 0) break;
    got += static_cast<size_t>(r);
  }
  ::close(fd);
  if (got > maxBytes) {
    error = path + ": is too large (at most " + std::to_string(maxBytes) + " bytes are read)";
    return false;
  }
  out.resize(got);
  return true;
}

}  // namespace

std::string FileKindText(unsigned mode) {
  switch (mode & S_IFMT) {
    case S_IFLNK: return "a symbolic link";
    case S_IFIFO: return "a FIFO";
    case S_IFCHR:
    case S_IFBLK: return "a device";
    case S_IFDIR: return "a directory";
    case S_IFSOCK: return "a socket";
    case S_IFREG: return "a regular file";
    default: return "not a file";
  }
}

int OpenRegularFile(const std::string& path, bool createIfMissing, std::string& error, bool* missing) {
  if (missing) *missing = false;
  // Look before opening: opening a device or a FIFO can have effects of its own.
  struct stat before {};
  if (::lstat(path.c_str(), &before) != 0) {
    const int reason = errno;
    if (missing) *missing = reason == ENOENT;
    if (reason != ENOENT || !createIfMissing) {
      error = SystemReason(path, reason);
      return -1;
    }
    // O_EXCL never follows a link, and never opens what another process just put there.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    if (errno != EEXIST) {
      error = SystemReason(path, errno);
      return -1;
    }
    if (::lstat(path.c_str(), &before) != 0) {
      error = SystemReason(path, errno);
      return -1;
    }
    if (missing) *missing = false;
  }
  if (!S_ISREG(before.st_mode)) {
    error = NotRegular(path, before.st_mode);
    return -1;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    error = errno == ELOOP ? NotRegular(path, S_IFLNK) : SystemReason(path, errno);
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    error = SystemReason(path, errno);
    ::close(fd);
    return -1;
  }
  if (!S_ISREG(st.st_mode) || st.st_dev != before.st_dev || st.st_ino != before.st_ino) {
    error = S_ISREG(st.st_mode) ? path + ": was replaced while it was being opened" : NotRegular(path, st.st_mode);
    ::close(fd);
    return -1;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

bool ReadRegularFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& out, std::string& error,
                     bool* missing) {
  return ReadInto(path, maxBytes, out, error, missing);
}

bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string& out, std::string& error, bool* missing) {
  return ReadInto(path, maxBytes, out, error, missing);
}

bool FileReplacement::Fail(int savedErrno, std::string& error) {
  error = SystemReason(path_, savedErrno);
  Abandon();
  return false;
}

bool FileReplacement::Begin(const std::string& path, FileAccess access, std::string& error) {
  Abandon();
  path_ = path;
  struct stat st {};
  const bool exists = ::lstat(path.c_str(), &st) == 0;
  if (exists) {
    if (!S_ISREG(st.st_mode)) {
      error = NotRegular(path, st.st_mode) + "; left as it is";
      return false;
    }
    // A file the caller may not write stays as it is, as it would with a plain open.
    if (::access(path.c_str(), W_OK) != 0) {
      error = SystemReason(path, errno);
      return false;
    }
  } else if (errno != ENOENT) {
    error = SystemReason(path, errno);
    return false;
  }

  // A unique hidden name beside the file: two consoles saving at once never share one, nothing
  // planted at a predictable name is ever opened, and the rename stays within one file system.
  const std::filesystem::path target(path);
  if (target.filename().empty()) {
    error = path + ": names a folder, not a file";
    return false;
  }
  const std::filesystem::path folder = target.parent_path();
  static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device random;
  const mode_t mode = access == FileAccess::Private ? 0600 : 0666;  // the umask applies to the second
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    std::string name = "." + target.filename().string() + ".";
    for (int i = 0; i < 6; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
    const std::string candidate = (folder / name).string();
    fd_ = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd_ >= 0) {
      temp_ = candidate;
    } else if (errno != EEXIST) {
      error = SystemReason(path, errno) + " (cannot create a new file beside it)";
      return false;
    }
  }
  if (fd_ < 0) {
    error = SystemReason(path, EEXIST) + " (cannot create a new file beside it)";
    return false;
  }
  // Owner-only until complete; then a shared file gets the permissions the old one had, or
  // those the umask left at its creation.
  struct stat created {};
  if (::fstat(fd_, &created) != 0) return Fail(errno, error);
  mode_ = access == FileAccess::Private ? 0600 : (exists ? st.st_mode : created.st_mode) & 07777;
  if (::fchmod(fd_, 0600) != 0) return Fail(errno, error);
  return true;
}

bool FileReplacement::Write(const uint8_t* data, size_t size, std::string& error) {
  if (fd_ < 0) {
    error = path_ + ": not open for writing";
    return false;
  }
  errno = 0;
  if (!WriteAll(fd_, data, size)) return Fail(errno == 0 ? EIO : errno, error);
  return true;
}

bool FileReplacement::Install(std::string& error) {
  if (fd_ < 0 || temp_.empty()) {
    error = path_ + ": not open for writing";
    return false;
  }
  if (::fchmod(fd_, mode_) != 0 || ::fsync(fd_) != 0) return Fail(errno, error);
  // What was planted at the path while the file was being written is not replaced either.
  struct stat st {};
  if (::lstat(path_.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    error = NotRegular(path_, st.st_mode) + "; left as it is";
    Abandon();
    return false;
  }
  if (::rename(temp_.c_str(), path_.c_str()) != 0) return Fail(errno, error);
  temp_.clear();
  // The rename itself reaches the disk with the folder.
  const std::filesystem::path folder = std::filesystem::path(path_).parent_path();
  const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

bool FileReplacement::Commit(std::string& error) { return Install(error) && Close(error); }

bool FileReplacement::Publish(std::string& error) { return Install(error); }

bool FileReplacement::Close(std::string& error) {
  if (fd_ < 0) {
    error = path_ + ": not open for writing";
    return false;
  }
  if (!temp_.empty()) {  // never installed: nothing of it may remain
    Abandon();
    error = path_ + ": was not written";
    return false;
  }
  int saved = ::fsync(fd_) == 0 ? 0 : errno;
  if (::close(fd_) != 0 && saved == 0) saved = errno;
  fd_ = -1;
  if (saved == 0) return true;
  error = SystemReason(path_, saved);
  return false;
}

void FileReplacement::Abandon() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
}

bool ReplaceFile(const std::string& path, const uint8_t* data, size_t size, std::string& error, FileAccess access) {
  FileReplacement file;
  return file.Begin(path, access, error) && file.Write(data, size, error) && file.Commit(error);
}

}  // namespace brisfell
