// Files the console reads and writes on the operator's behalf (the switch database, scenario
// and configuration files). A name can be made to point anywhere: at a private file through a
// symbolic link, at a FIFO that never ends, at a device that never stops giving bytes. These
// helpers only ever read regular files, never wait on one, never write through a link, and
// say what was wrong with the path in words (every message starts with the path).
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
// while being read, is refused). False with `error` set.
bool ReadRegularFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& out, std::string& error);
bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string& out, std::string& error);

// Replaces the file at `path` with `data`: the bytes go to a new, owner-only file of a unique
// name in the same folder (created exclusively, never through a link), are flushed, and the
// new file is renamed over the old one. What stands at `path` must be a regular file or
// nothing: a link, FIFO, device or directory there is refused and left as it is. False with
// `error` set; the old file is then untouched.
bool ReplaceFile(const std::string& path, const uint8_t* data, size_t size, std::string& error);

// "a symbolic link", "a FIFO", "a device", "a directory", "a socket" for a file mode.
std::string FileKindText(unsigned mode);

}  // namespace brisfell
