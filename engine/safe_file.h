// Files the console reads and writes on the operator's behalf: the switch database, scenario,
// configuration and emulator state files, metrics and recordings. A name can be made to point
// anywhere: at a private file through a symbolic link, at a FIFO that never ends, at a device
// that never stops giving bytes. These helpers only ever read regular files, never wait on
// one, never write through a link, and say what was wrong with the path in words (every
// message starts with the path).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace brisfell {

// Opens a regular file for reading: a symbolic link (as the last part of the path), FIFO,
// device, socket or directory is refused before a byte is read and without blocking. With
// `createIfMissing` a missing file is created empty (owner-only). The descriptor, or -1 with
// `error` set. `missing` tells whether the file did not exist (and was created, if asked).
int OpenRegularFile(const std::string& path, bool createIfMissing, std::string& error, bool* missing = nullptr);

// Reads a whole regular file of at most `maxBytes` bytes (a longer file, or one that grows
// while being read, is refused). False with `error` set; `missing` tells a file that is not
// there from one that could not be read.
bool ReadRegularFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& out, std::string& error,
                     bool* missing = nullptr);
bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string& out, std::string& error,
                     bool* missing = nullptr);

// Who may read what the console writes.
enum class FileAccess {
  Private,  // owner-only (keys, recordings of frames that carry them)
  Shared,   // as the umask allows; a file replaced keeps its permissions
};

// A new file that takes the place of the one at a path. The bytes go to a file of a unique
// name in the same folder (created exclusively, never through a link, owner-only until it is
// complete), and the new file is renamed over the old one: a reader never sees half a file and
// a failure leaves the old one as it was. What stands at the path must be a regular file the
// caller may write, or nothing: a link, FIFO, device or directory there is refused and left
// as it is. The new file is removed again unless it was committed or published.
class FileReplacement {
 public:
  FileReplacement() = default;
  ~FileReplacement() { Abandon(); }
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // Checks the path and creates the new file. False with `error` set.
  bool Begin(const std::string& path, FileAccess access, std::string& error);
  bool Write(const uint8_t* data, size_t size, std::string& error);
  // Flushes the new file to disk, renames it over the path and closes it.
  bool Commit(std::string& error);
  // Renames the new file over the path now and keeps it open, so that a recording grows in
  // place (and survives the process); Close() ends it.
  bool Publish(std::string& error);
  bool Close(std::string& error);
  // Closes and removes a file not yet committed or published.
  void Abandon();
  bool IsOpen() const { return fd_ >= 0; }

 private:
  bool Install(std::string& error);
  bool Fail(int savedErrno, std::string& error);

  std::string path_;
  std::string temp_;  // empty once renamed
  int fd_ = -1;
  unsigned mode_ = 0600;  // the permissions the file gets when it takes the path
};

// Replaces the file at `path` with `data` through a FileReplacement. False with `error` set;
// the old file is then untouched.
bool ReplaceFile(const std::string& path, const uint8_t* data, size_t size, std::string& error,
                 FileAccess access = FileAccess::Private);

// "a symbolic link", "a FIFO", "a device", "a directory", "a socket" for a file mode.
std::string FileKindText(unsigned mode);

}  // namespace brisfell
