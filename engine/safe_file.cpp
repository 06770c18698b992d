#include "engine/safe_file.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

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
bool ReadInto(const std::string& path, size_t maxBytes, Bytes& out, std::string& error) {
  out.clear();
  const int fd = OpenRegularFile(path, false, error);
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
    if (errno != ENOENT || !createIfMissing) {
      error = SystemReason(path, errno);
      return -1;
    }
    if (missing) *missing = true;
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

bool ReadRegularFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& out, std::string& error) {
  return ReadInto(path, maxBytes, out, error);
}

bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string& out, std::string& error) {
  return ReadInto(path, maxBytes, out, error);
}

bool ReplaceFile(const std::string& path, const uint8_t* data, size_t size, std::string& error) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) {
      error = NotRegular(path, st.st_mode) + "; left as it is";
      return false;
    }
  } else if (errno != ENOENT) {
    error = SystemReason(path, errno);
    return false;
  }

  // A unique name beside the file: two consoles saving at once never share one, and the
  // rename stays within one file system.
  std::string temp = path + ".XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);  // O_CREAT | O_EXCL, owner-only
  if (fd < 0) {
    error = SystemReason(path, errno) + " (cannot create a temporary file beside it)";
    return false;
  }
  bool ok = ::fchmod(fd, 0600) == 0 && WriteAll(fd, data, size) && ::fsync(fd) == 0;
  int saved = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    saved = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    error = SystemReason(path, saved);
    return false;
  }
  // The rename itself reaches the disk with the folder.
  std::filesystem::path folder = std::filesystem::path(path).parent_path();
  const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

}  // namespace brisfell
