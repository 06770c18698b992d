// One emulated RRCP switch chip: its identity, registers, MIB counters and configuration
// EEPROM, and how it answers the frames that reach it. Tests and scenarios reach inside
// through the "test access" members, which bypass every rule the wire is held to.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/clock.h"
#include "engine/frames.h"
#include "engine/profiles.h"
#include "engine/registers.h"
#include "engine/types.h"
#include "sim/scenario.h"

namespace brisfell::sim {

constexpr size_t kEepromSize = 2048;

struct RegisterWrite {
  uint16_t reg = 0;
  uint32_t value = 0;  // as the set frame carried it
  bool operator==(const RegisterWrite&) const = default;
};

struct RegisterRead {
  uint16_t reg = 0;
  uint32_t value = 0;  // as the get reply carried it
  bool operator==(const RegisterRead&) const = default;
};

class EmulatedSwitch {
 public:
  // `clock` gives the time for the test-access reads of the counters (which advance with it);
  // without one, the time of the last frame is used.
  explicit EmulatedSwitch(const SwitchSetup& desc, Clock* clock = nullptr);

  // --- Identity ---
  const std::string& Name() const { return name_; }
  const Mac& MacAddress() const { return mac_; }
  uint32_t VendorId() const { return vendorId_; }            // what the hello reply says
  uint32_t ModelVendorId() const { return modelVendorId_; }  // what the chip really is
  ProfileKind Kind() const { return kind_; }
  int PortCount() const { return portCount_; }
  uint16_t ChipId() const { return chipId_; }
  uint16_t Key() const;  // the key frames must carry, from register 0x0209

  // --- Place in the topology (set by the network) ---
  void SetPlacement(uint8_t downLinkPort, uint8_t upLinkPort, const Mac& upLinkMac);
  uint8_t DownLinkPort() const { return downLinkPort_; }
  uint8_t UpLinkPort() const { return upLinkPort_; }
  const Mac& UpLinkMac() const { return upLinkMac_; }

  // --- The wire ---
  // A frame that entered through chip port `ingressPort`; the reply to send back, if any.
  std::optional<Frame> HandleFrame(const uint8_t* data, size_t length, int ingressPort, int64_t nowUs);

  // --- Test access (no key, address, authorisation or read-only rules) ---
  // As a get would read it now (MIB counters as 32-bit values).
  uint32_t Register(uint16_t reg) const;
  // Any register, read-only ones included; a MIB counter is set to read `value` now.
  void SetRegister(uint16_t reg, uint32_t value);
  uint8_t EepromByte(uint16_t address) const;
  void SetEepromByte(uint16_t address, uint8_t value);
  const std::vector<uint8_t>& Eeprom() const { return eeprom_; }

  void SetPortState(int chipPort, const PortState& state);
  const PortState& GetPortState(int chipPort) const { return ports_.at(chipPort); }

  // A muted switch ignores every frame (it still forwards them to the switches behind it).
  void SetMuted(bool muted) { muted_ = muted; }
  bool Muted() const { return muted_; }
  // Set frames for these registers are dropped, as by a chip that does not take a write; gets
  // still answer with what the register holds.
  void SetIgnoredWrites(std::set<uint16_t> registers) { ignoredWrites_ = std::move(registers); }
  const std::set<uint16_t>& IgnoredWrites() const { return ignoredWrites_; }

  // Leaves the next `count` gets of one register unanswered (count < 0: all of them, until
  // cleared with count 0), so a test can fail any read of a page at will.
  void FailReads(uint16_t reg, int count) {
    if (count == 0)
      failReads_.erase(reg);
    else
      failReads_[reg] = count;
  }
  void ClearFailedReads() { failReads_.clear(); }

  // EEPROM command behaviour: how many reads of the control register show busy after each
  // command; the next `count` commands fail (failed bit, nothing done); write protection
  // (write commands complete with the failed bit and change nothing).
  void SetEepromBusyPolls(int polls) { busyPolls_ = polls < 0 ? 0 : polls; }
  int EepromBusyPolls() const { return busyPolls_; }
  void FailNextEepromCommands(int count) { failNext_ = count < 0 ? 0 : count; }
  void SetEepromWriteProtected(bool on) { writeProtected_ = on; }
  bool EepromWriteProtected() const { return writeProtected_; }

  // The set frames the switch applied, in order, and the gets it answered.
  const std::vector<RegisterWrite>& WriteLog() const { return writeLog_; }
  const std::vector<RegisterRead>& ReadLog() const { return readLog_; }
  // The same less the gets that only read back a set this switch had just applied (a writer
  // checking its write): what a page itself read.
  std::vector<RegisterRead> ReadLogWithoutReadBacks() const;
  void ClearLog();
  // The values written to one register, in order.
  std::vector<uint32_t> WritesTo(uint16_t reg) const;
  bool WasWritten(uint16_t reg) const { return !WritesTo(reg).empty(); }
  size_t FramesIgnored() const { return ignored_; }

  int SoftResets() const { return softResets_; }
  int HardwareResets() const { return hardwareResets_; }
  // What a reset command does; also callable directly.
  void SoftReset();
  void HardwareReset(int64_t nowUs);

 private:
  struct Counter {
    uint64_t base = 0;  // raw count at the last clear; the counter reads raw - base
  };

  int64_t Now() const;
  bool Authorised(int ingressPort) const;
  uint32_t ReadForWire(uint16_t reg, int64_t nowUs);
  void WriteFromWire(uint16_t reg, uint32_t value, int64_t nowUs);
  void StoreRegister(uint16_t reg, uint16_t value, int64_t nowUs);
  uint32_t CounterValue(uint16_t reg, int64_t nowUs) const;
  uint64_t RawCount(int chipPort, TrafficKind kind, int64_t nowUs) const;
  TrafficKind SelectedKind(int chipPort, int counter) const;
  int SelectionBits(int chipPort) const;
  void ClearCounters(int chipPort, int64_t nowUs);
  void LoadPowerOnDefaults();
  void ApplyEepromImage();
  void BuildEepromImage();
  void StorePortStatus(int chipPort);
  void StartEepromCommand(uint16_t control);
  void CompleteEepromCommand();
  uint16_t EepromControlForWire();
  uint16_t EepromControlNow() const;

  std::string name_;
  Mac mac_{};
  uint32_t vendorId_ = 0;
  uint32_t modelVendorId_ = 0;
  ProfileKind kind_ = ProfileKind::Generic;
  int portCount_ = 26;
  uint16_t chipId_ = 0;
  Clock* clock_ = nullptr;
  int64_t lastNowUs_ = 0;
  int64_t trafficStartUs_ = 0;

  uint8_t downLinkPort_ = 0;
  uint8_t upLinkPort_ = 0;
  Mac upLinkMac_{};

  std::map<uint16_t, uint16_t> registers_;  // absent = 0
  std::array<PortState, kMaxChipPorts> ports_{};
  std::array<std::array<Counter, 3>, kMaxChipPorts> counters_{};

  std::vector<uint8_t> eeprom_;
  FactoryDefaultList defaults_;
  EepromImageMap map_;
  bool muted_ = false;
  std::map<uint16_t, int> failReads_;  // register -> gets left unanswered (negative: all)
  std::set<uint16_t> ignoredWrites_;
  int busyPolls_ = 1;
  int failNext_ = 0;
  bool writeProtected_ = false;
  // The command in progress: reads of the control register left showing busy.
  bool commandPending_ = false;
  int busyLeft_ = 0;
  uint16_t commandControl_ = 0;  // address and command bits of the last command
  uint8_t commandData_ = 0;      // the data byte latched when a write command was issued
  bool lastCommandFailed_ = false;

  std::vector<RegisterWrite> writeLog_;
  std::vector<RegisterRead> readLog_;
  std::vector<bool> readBack_;     // per entry of readLog_: it followed a set of the same register
  std::optional<uint16_t> lastSet_;  // the register of the last frame handled, when it was a set
  size_t ignored_ = 0;
  int softResets_ = 0;
  int hardwareResets_ = 0;
};

}  // namespace brisfell::sim
