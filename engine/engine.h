// The link engine: the one process-wide state of adapters, discovered switches, the switch
// database and the per-model tables, and the operations through which every page reaches the
// wire. It holds no user-interface code; the one message it has (the database's) goes out
// through the error notifier.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/adapter_lock.h"
#include "engine/clock.h"
#include "engine/frames.h"
#include "engine/packet_driver.h"
#include "engine/profiles.h"
#include "engine/registers.h"
#include "engine/switch_record.h"
#include "engine/types.h"

namespace brisfell {

constexpr int kMaxAdapters = 10;
constexpr size_t kAdapterNameSlot = 1024;
constexpr size_t kAdapterDescriptionSlot = 128;
constexpr int kMaxDatabaseRecords = 256;
// A switch database file longer than this was not written by a console (a save never writes
// more than 256 records): only its beginning is read.
constexpr size_t kMaxDatabaseFileBytes = 64 * 1024;

constexpr unsigned kRegisterTimeoutMs = 1000;  // what pages pass to ReadRegister
constexpr unsigned kEepromTimeoutMs = 3000;    // discovery, device security, save to hardware
constexpr int kReadRegisterDriverTimeoutMs = 500;
constexpr int kDiscoveryReadTimeoutMs = 10;
constexpr int kEepromPollMs = 5;
constexpr int kDirectedHelloWindowMs = 100;
constexpr int kBroadcastHelloWindowMs = 1000;
// The broadcast hello goes out this many times, evenly over its window, so that one lost
// frame does not hide a switch (a switch answering twice is still counted once).
constexpr int kBroadcastHellos = 3;
// How a register read copes with a wire that loses frames. A get without an answer is asked
// again after a retransmission time-out taken from the round trips measured on the adapter
// (smoothed, with their variation), kept between the floor and the ceiling and doubled for
// each further try of the same get, until the operation's own time-out. A batch keeps up to
// a window of gets in flight per switch; a get overtaken by the answers to two later gets of
// the same switch is asked again at once (a switch answers in order).
constexpr int kReadWindow = 8;
constexpr unsigned kRetransmitFloorMs = 3;
constexpr unsigned kRetransmitCeilingMs = 250;
constexpr unsigned kRetransmitInitialMs = 50;  // before the first round trip was measured
constexpr int kRegisterTries = 10;             // gets of one register in one operation
constexpr int kOvertakenReplies = 2;
// The last gets of a batch have no later ones to overtake them: once nothing is left to ask,
// a get unanswered after twice the measured round trip (at least this) is asked once more.
constexpr int64_t kTailProbeMinUs = 200;
// Gets of an operation that failed may still be answered this long after: the first such
// answer in a later operation is taken for the late one and dropped.
constexpr unsigned kLateReplyHorizonMs = 2000;
// Tries of each vendor byte of the EEPROM look-up in discovery.
constexpr int kVendorLookUpTries = 2;
// How long a console waits for another one to let go of the adapter, trying this often.
constexpr int kAdapterLockWaitMs = 3000;
constexpr int kAdapterLockRetryMs = 50;


inline constexpr const char* kDatabaseFileName = "qswrec.dat";
inline constexpr const char* kOpenRecordFileFailed = "Open record file failed!";

// The driver's version text as (major, minor): the whole decimal number at its start and the
// one after the separator that follows it ("4.1" -> 4, 1; "10.0" -> 10, 0; "3.05" -> 3, 5).
// A part that is missing or not a number is 0.
std::pair<int, int> ParseDriverVersion(const std::string& text);

struct AdapterEntry {
  std::array<uint8_t, kAdapterNameSlot> name{};  // 8-bit or UTF-16, NUL-terminated
  std::array<char, kAdapterDescriptionSlot> description{};
};

// What the command line may change of the above.
struct LinkSettings {
  unsigned timeoutMs = kRegisterTimeoutMs;  // a register read; EEPROM operations scale with it
  int tries = kRegisterTries;
  int window = kReadWindow;
  unsigned floorMs = kRetransmitFloorMs;
  unsigned ceilingMs = kRetransmitCeilingMs;
};

// Registers of one switch read in one batch (Engine::ReadSwitches).
struct SwitchRead {
  SwitchRead() = default;
  SwitchRead(int switchIndex, std::vector<uint16_t> regs) : index(switchIndex), registers(std::move(regs)) {}
  int index = -1;
  std::vector<uint16_t> registers;
  std::map<uint16_t, uint32_t> values;  // what was read
  bool ok = false;                       // every register was read
  std::string failure;                   // why not, naming the switch and the register
};

// One EEPROM byte of one switch (Engine::ReadEepromBytes).
struct EepromRead {
  EepromRead() = default;
  EepromRead(int switchIndex, uint16_t byteAddress) : index(switchIndex), address(byteAddress) {}
  int index = -1;
  uint16_t address = 0;
  uint8_t byte = 0;
  bool ok = false;
};

struct DatabaseRecord {
  Mac mac{};
  KeyBytes key{};
};

class Engine {
 public:
  Engine(PacketDriver& driver, Clock& clock);
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  PacketDriver& Driver() { return driver_; }
  Clock& GetClock() { return clock_; }

  // --- The owning thread and cancelling ---
  // From now on only the calling thread may use the engine; with BRISFELL_THREAD_CHECKS
  // (test builds) a call from any other thread aborts, so that a stray call from the window
  // is caught where it happens rather than as a data race.
  void BindToCurrentThread() { owner_ = std::this_thread::get_id(); }
  // Asked between frames by every operation that waits for the wire: once it says true the
  // operation stops and fails (a read as unanswered, discovery with what it has so far).
  // The check may be called from the owning thread only; it usually reads an atomic flag.
  void SetCancelCheck(std::function<bool()> check) { cancelCheck_ = std::move(check); }
  bool Cancelled() const { return cancelCheck_ && cancelCheck_(); }

  // --- Adapters ---
  // Fills the adapter list; the count, or -1 when the driver cannot list adapters.
  int EnumerateAdapters();
  int AdapterCount() const { return adapterCount_; }
  // Description of adapter i ("" when out of range).
  std::string AdapterDescription(int i) const;
  // The 8-bit name of adapter i (the 16-bit format converted), for lookups by name.
  std::string AdapterName(int i) const;
  bool AdapterNamesWide() const { return wideNames_; }
  int CurrentAdapterIndex() const { return currentAdapter_; }
  bool OpenAdapterIo(int adapter);
  bool CloseAdapterIo(int adapter);
  bool IoOpen() const { return io_ != nullptr; }
  const Mac& StationMac() const { return stationMac_; }
  // The locks that keep other consoles off an adapter while this one uses it (by default
  // lock files for the machine's own interfaces); nullptr turns locking off.
  void SetAdapterLocks(std::shared_ptr<AdapterLocks> locks) { locks_ = std::move(locks); }
  // Why the last adapter open failed, from the driver; "" when it did not fail or is unknown.
  const std::string& LastAdapterError() const { return lastAdapterError_; }

  // --- Discovery and the switch table ---
  // Number of replies from switches not yet in the table, or -1 when the adapter cannot be
  // opened and prepared.
  int DiscoverSwitches(int adapter, bool useDatabase);
  // One known switch instead of a whole discovery: a directed hello with `key`, waited for as
  // in discovery's directed phase. The table then holds that switch alone, completed as
  // discovery completes it. 1 when it answered, 0 when not, -1 when the adapter cannot be
  // opened. The switch database is neither loaded nor saved.
  int ReachSwitch(int adapter, const Mac& mac, const KeyBytes& key);
  // What the last discovery (or ReachSwitch) could not do right and the operator should know:
  // a switch whose model could not be told, switches left out of a full table, an adapter
  // that could not be locked. Empty when all went well.
  std::vector<std::string> DiscoveryWarnings() const { return warnings_; }
  int SwitchCount() const { return static_cast<int>(switches_.size()); }
  int CurrentSwitchIndex() const { return currentSwitch_; }
  void SetCurrentSwitchIndex(int index) { currentSwitch_ = index; }
  const SwitchRecord* GetSwitchRecord(int index) const;
  bool GetSwitchMac(int index, Mac& out) const;
  std::string ModelName(int index) const;
  int PortCount(int index) const;
  // 0-based shown position of a chip port; -1 when the switch or port is out of range.
  int MapChipToPort(int index, int chipPort) const;
  // Chip port of a 0-based shown position; -1 when the switch or position is out of range.
  int MapPortToChip(int index, int position) const;
  bool AccessControlSupported(int index) const;
  bool AuthKeySettable(int index) const;
  // Replaces the key a switch is addressed with (after it was changed on the switch).
  void SetAuthKey(int index, uint16_t key);

  // --- Register and EEPROM access (need the I/O handle) ---
  // Every operation that fails leaves why in LastFailure(): the switch (MAC and model), the
  // register or EEPROM address, and how many tries in how long.
  bool ReadRegister(int index, uint16_t reg, uint32_t& value, unsigned timeoutMs = kRegisterTimeoutMs);
  // Reads every register of the list with a window of gets in flight; each register has the
  // time-out of a single read from its first get. True only when every register was read;
  // `values` holds those read. The first register that stays unanswered ends the batch.
  bool ReadRegisters(int index, const std::vector<uint16_t>& registers, std::map<uint16_t, uint32_t>& values,
                     unsigned timeoutMs = kRegisterTimeoutMs);
  // Several switches at once, each with its own window; a switch that fails does not hold up
  // the others. True when every switch was read whole.
  bool ReadSwitches(std::vector<SwitchRead>& reads, unsigned timeoutMs = kRegisterTimeoutMs);
  // Sends the value, reads the register back and sends again while it differs, within the
  // time-out of one read. True only when the switch holds the value; for a register the chip
  // owns (IsChipOwnedRegister) when the frame was sent.
  bool WriteRegister(int index, uint16_t reg, uint32_t value);
  bool ReadEepromByte(int index, uint16_t address, uint8_t& byte, unsigned timeoutMs);
  // Bytes of several switches: each switch's bytes in turn, the switches at the same time.
  // True when every byte was read.
  bool ReadEepromBytes(std::vector<EepromRead>& reads, unsigned timeoutMs);
  bool WriteEepromByte(int index, uint16_t address, uint8_t byte, unsigned timeoutMs);
  // Why the last register or EEPROM operation failed ("" when it succeeded).
  const std::string& LastFailure() const { return lastFailure_; }
  // The retransmission and window settings (the command line's --timeout and --retries).
  void SetLinkSettings(const LinkSettings& settings) { link_ = settings; }
  const LinkSettings& GetLinkSettings() const { return link_; }
  // The retransmission time-out now in force, from the round trips measured so far.
  int64_t RetransmitTimeoutUs() const;

  // --- Switch database ---
  void LoadSwitchDatabase();
  void SaveSwitchDatabase();
  const std::vector<DatabaseRecord>& DatabaseRecords() const { return database_; }
  // SaveSwitchDatabase, and whether it worked (a failure still goes to the notifier).
  bool SaveSwitchDatabaseChecked();
  // Hand edits of the loaded records, each saved at once (engine/database_edit.cpp): the
  // switch's entry is written as given (or left out) even when discovery found it. False when
  // the file could not be saved.
  bool RememberSwitch(const Mac& mac, const KeyBytes& key);
  bool ForgetSwitch(const Mac& mac);
  // "qswrec.dat" in the current directory unless changed (tests use their own folder).
  void SetDatabasePath(std::string path) { databasePath_ = std::move(path); }
  const std::string& DatabasePath() const { return databasePath_; }

  // Receives the engine's only message, "Open record file failed!" (followed by a line
  // naming the file and what is wrong with it).
  void SetErrorNotifier(std::function<void(const std::string&)> notifier) {
    errorNotifier_ = std::move(notifier);
  }
  // Told of every register read: which switch, and whether it answered (the window says when
  // the current switch stops answering).
  void SetReadObserver(std::function<void(int switchIndex, bool ok)> observer) {
    readObserver_ = std::move(observer);
  }

  // The shared per-profile tables (the factory-default value column is written by saves).
  FactoryDefaultList& FactoryDefaults(ProfileKind kind);
  const EepromImageMap& EepromMap(ProfileKind kind) const;

 private:
  std::unique_ptr<AdapterHandle> OpenForDiscovery(int adapter);
  int AbsorbBatch(const uint8_t* buffer, size_t n);
  void ApplyProfile(SwitchRecord& record);
  bool SendFrame(AdapterHandle& adapter, const Frame& frame);
  // The read engine (engine/engine_link.cpp).
  struct Ask;
  struct Lane;
  bool RunAsks(std::vector<Lane>& lanes, int64_t budgetUs);
  bool SendGet(Lane& lane, Ask& ask, int64_t nowUs);
  void TakeReply(std::vector<Lane>& lanes, const RrcpFrame& reply, int64_t nowUs);
  void SampleRoundTrip(int64_t us);
  int64_t BackoffUs(int tries) const;
  int64_t TailProbeUs() const;
  int64_t ScaledUs(unsigned timeoutMs) const;
  AdapterHandle* Io() { return lentIo_ ? lentIo_ : io_.get(); }
  std::string SwitchName(int index) const;
  bool Fail(const std::string& why);
  bool SendSet(int index, uint16_t reg, uint32_t value);
  bool ReadUntil(int index, uint16_t reg, uint32_t& value, int64_t deadlineUs);
  bool RunEepromCommand(int index, const std::function<bool()>& issue, uint32_t command, int64_t deadlineUs);
  bool LookUpVendors(std::vector<SwitchRecord*>& records);
  void LookUpUnknownVendors(AdapterHandle& handle);
  bool ReadEepromBytesFor(std::vector<EepromRead>& reads, int64_t budgetUs);
  // Round trips measured on one adapter say nothing of another.
  void ForgetRoundTrips(int adapter) {
    if (adapter == currentAdapter_) return;
    srttUs_ = rttvarUs_ = 0;
    rtoShift_ = 0;
    copySpanUs_ = lastAnswerUs_ = 0;
    owed_.clear();
  }
  std::string UnknownModelWarning(const SwitchRecord& record) const;
  std::string LockWarning() const;
  std::unique_ptr<AdapterLock> LockAdapter(int adapter, bool& busy);
  void Notify(const std::string& message);
  void CheckThread() const;
  void DatabaseError(const std::string& detail);
  bool SaveDatabaseEdit(const Mac& edited);

  PacketDriver& driver_;
  Clock& clock_;
  std::thread::id owner_{};  // none until bound: tests and the command line use one thread
  std::function<bool()> cancelCheck_;

  std::array<AdapterEntry, kMaxAdapters> adapters_{};
  int adapterCount_ = 0;
  bool wideNames_ = false;
  int currentAdapter_ = -1;
  Mac stationMac_{};
  std::unique_ptr<AdapterHandle> io_;
  std::shared_ptr<AdapterLocks> locks_ = std::make_shared<FileAdapterLocks>();
  std::string lockError_;  // why the last lock could not be had (not another console)
  std::unique_ptr<AdapterLock> ioLock_;
  // Discovery lends its own handle for the EEPROM look-up; io_ then points at nothing owned.
  AdapterHandle* lentIo_ = nullptr;
  std::string lastAdapterError_;
  std::vector<uint8_t> receiveBuffer_;
  std::string lastFailure_;
  LinkSettings link_;
  // Round trips measured on the adapter in use (microseconds; none yet while srtt is 0).
  int64_t srttUs_ = 0;
  int64_t rttvarUs_ = 0;
  int rtoShift_ = 0;  // doublings kept while answers come only after gets were asked again
  // Copies of answers seen on this adapter come this long after the first (0: none seen); an
  // operation starts only once the copies of the last one's answers can have come and gone.
  int64_t copySpanUs_ = 0;
  int64_t lastAnswerUs_ = 0;
  uint64_t sendSeq_ = 0;
  // Gets of failed operations that may still be answered: switch and register, last sent.
  std::map<std::pair<Mac, uint16_t>, int64_t> owed_;

  std::vector<SwitchRecord> switches_;
  int currentSwitch_ = -1;
  std::set<Mac> leftOut_;  // switches that answered a full table
  std::vector<std::string> warnings_;

  std::vector<DatabaseRecord> database_;
  std::string databaseLoadError_;  // why the last load failed; a save then leaves the file alone
  std::string databasePath_ = kDatabaseFileName;
  std::function<void(const std::string&)> errorNotifier_;
  std::function<void(int, bool)> readObserver_;

  std::array<FactoryDefaultList, 3> factoryDefaults_;
  std::array<EepromImageMap, 3> eepromMaps_;
};

// Opens the I/O handle for the current adapter and closes it on every path out of a scope.
// Only a scope whose own open succeeded closes it: a nested scope (a page action inside
// another that already holds the handle) finds the slot taken and leaves it to its owner.
class AdapterIo {
 public:
  explicit AdapterIo(Engine& engine)
      : engine_(engine), adapter_(engine.CurrentAdapterIndex()), ok_(engine.OpenAdapterIo(adapter_)) {}
  ~AdapterIo() {
    if (ok_) engine_.CloseAdapterIo(adapter_);
  }
  AdapterIo(const AdapterIo&) = delete;
  AdapterIo& operator=(const AdapterIo&) = delete;
  bool ok() const { return ok_; }

 private:
  Engine& engine_;
  int adapter_;
  bool ok_;
};

}  // namespace brisfell
