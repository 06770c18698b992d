// Advisory locks that keep two consoles off one adapter at the same time. Each console holds
// the adapter's lock for one open-use-close (a discovery, a page action), so that the EEPROM
// commands and read-modify-write sequences of two consoles never interleave on a switch.
#pragma once

#include <memory>
#include <string>

namespace brisfell {

// Held while it exists.
class AdapterLock {
 public:
  virtual ~AdapterLock() = default;
};

class AdapterLocks {
 public:
  enum class Outcome { Held, Busy, Failed };
  virtual ~AdapterLocks() = default;
  // Whether the adapter can be shared with other processes at all (an adapter served inside
  // this process, such as the emulated segment, needs no lock).
  virtual bool Applies(const std::string& adapter) = 0;
  // One try, without waiting: the lock (Held), or nullptr with Busy (another holder) or
  // Failed (the lock itself cannot be had; `error` says why).
  virtual std::unique_ptr<AdapterLock> TryLock(const std::string& adapter, Outcome& outcome, std::string& error) = 0;
};

// flock(2) on "<directory>/<adapter>.lock". The lock goes with the process: a console that
// dies never leaves an adapter locked.
class FileAdapterLocks : public AdapterLocks {
 public:
  explicit FileAdapterLocks(std::string directory = DefaultDirectory());
  // Every network interface of this machine (the names libpcap lists).
  bool Applies(const std::string& adapter) override;
  std::unique_ptr<AdapterLock> TryLock(const std::string& adapter, Outcome& outcome, std::string& error) override;
  const std::string& Directory() const { return directory_; }

  // /run/lock, for root and every user alike (its files are named "brisfell-ADAPTER.lock").
  static std::string DefaultDirectory();
  // The lock file's name for an adapter: its name with anything but letters, digits and
  // ".-_@:" replaced, so that no name can leave the folder.
  static std::string FileName(const std::string& adapter);

 private:
  std::string directory_;
};

// "another console is using ADAPTER"
std::string AnotherConsoleMessage(const std::string& adapter);

}  // namespace brisfell
