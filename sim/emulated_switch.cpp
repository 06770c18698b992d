#include "sim/emulated_switch.h"

#include <cmath>
#include <cstring>

#include "engine/byte_order.h"

namespace brisfell::sim {
namespace {

constexpr int kCountersPerPort = 3;

uint16_t Get16(const uint8_t* p) { return LoadLe16(p); }
uint32_t Get32(const uint8_t* p) { return LoadLe32(p); }

uint8_t PortStatusByte(const PortState& p) {
  const uint8_t speed = p.speed == 1000 ? 2 : p.speed == 100 ? 1 : 0;
  return static_cast<uint8_t>(speed | (p.fullDuplex ? 0x04 : 0) | (p.link ? 0x10 : 0) | (p.flowControl ? 0x60 : 0));
}

}  // namespace

EmulatedSwitch::EmulatedSwitch(const SwitchSetup& desc, Clock* clock)
    : name_(desc.name),
      mac_(desc.mac),
      vendorId_(desc.vendorId),
      modelVendorId_(sim::ModelVendorId(desc)),
      chipId_(desc.chipId),
      clock_(clock) {
  const ModelProfile profile = ProfileForVendor(modelVendorId_);
  kind_ = profile.kind;
  portCount_ = profile.portCount;
  defaults_ = BuildFactoryDefaultList(kind_);
  map_ = BuildEepromImageMap(kind_);
  trafficStartUs_ = clock_ ? clock_->NowUs() : 0;
  lastNowUs_ = trafficStartUs_;

  LoadPowerOnDefaults();
  ports_ = desc.ports;
  for (int k = 0; k < kMaxChipPorts; ++k) StorePortStatus(k);
  uint16_t interface = 0;
  if (desc.tbiPorts & (1u << 24)) interface |= 0x0004;
  if (desc.tbiPorts & (1u << 25)) interface |= 0x0008;
  registers_[reg::kPortInterface] = interface;
  registers_[reg::kLoopPorts] = static_cast<uint16_t>(desc.loopPorts);
  registers_[reg::kFaultStatus] = desc.faultStatus;
  registers_[reg::kIgmpRouterPorts] = static_cast<uint16_t>(desc.igmpRouterPorts);
  registers_[reg::kAuthKey] = desc.key;
  for (const auto& [r, v] : desc.registers) SetRegister(r, v);

  // The EEPROM holds what saving these registers would write, so that a hardware reset of a
  // switch nobody touched changes nothing.
  BuildEepromImage();
  for (int i = 0; i < 4; ++i)
    eeprom_[eeprom::kVendorCopy + i] = static_cast<uint8_t>(EepromVendorId(desc) >> (8 * i));
  for (const auto& [address, byte] : desc.eeprom)
    if (address < kEepromSize) eeprom_[address] = byte;

  muted_ = desc.muted;
  busyPolls_ = desc.eepromBusyPolls < 0 ? 0 : desc.eepromBusyPolls;
  writeProtected_ = desc.eepromWriteProtected;
}

uint16_t EmulatedSwitch::Key() const {
  auto it = registers_.find(reg::kAuthKey);
  return it == registers_.end() ? 0 : it->second;
}

void EmulatedSwitch::SetPlacement(uint8_t downLinkPort, uint8_t upLinkPort, const Mac& upLinkMac) {
  downLinkPort_ = downLinkPort;
  upLinkPort_ = upLinkPort;
  upLinkMac_ = upLinkMac;
}

int64_t EmulatedSwitch::Now() const { return clock_ ? clock_->NowUs() : lastNowUs_; }

bool EmulatedSwitch::IsStatusRegister(uint16_t r) {
  return r == reg::kPortInterface || r == reg::kLoopPorts || r == reg::kFaultStatus || r == reg::kIgmpRouterPorts ||
         (r >= reg::kPortStatusFirst && r <= reg::kPortStatusLast);
}

bool EmulatedSwitch::IsCounter(uint16_t r) { return r >= reg::kMibCounterFirst && r <= reg::kMibCounterLast; }

// ---------------------------------------------------------------- power-on state

void EmulatedSwitch::LoadPowerOnDefaults() {
  for (const auto& row : defaults_) registers_[static_cast<uint16_t>(row.reg)] = static_cast<uint16_t>(row.factoryDefault);
  registers_[reg::kAuthKey] = kDefaultAuthKey;
}

void EmulatedSwitch::BuildEepromImage() {
  // Unused bytes hold 0: an erased 0xFF would set the remote-access bit at address 0x0C on the
  // models whose image does not cover it.
  eeprom_.assign(kEepromSize, 0x00);
  for (const auto& row : map_) {
    const uint32_t v = Register(static_cast<uint16_t>(row.reg)) & row.mask;
    eeprom_[row.address] = static_cast<uint8_t>(v & 0xFF);
    eeprom_[row.address + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
  }
}

void EmulatedSwitch::ApplyEepromImage() {
  for (const auto& row : map_) {
    const uint16_t r = static_cast<uint16_t>(row.reg);
    const uint32_t word = eeprom_[row.address] | eeprom_[row.address + 1] << 8;
    const uint32_t before = registers_.count(r) ? registers_[r] : 0;
    registers_[r] = static_cast<uint16_t>((word & row.mask) | (before & ~row.mask));
  }
}

void EmulatedSwitch::StorePortStatus(int chipPort) {
  const uint16_t r = static_cast<uint16_t>(reg::kPortStatusFirst + chipPort / 2);
  const int shift = chipPort % 2 ? 8 : 0;
  const uint16_t old = registers_.count(r) ? registers_[r] : 0;
  registers_[r] = static_cast<uint16_t>((old & ~(0xFF << shift)) | PortStatusByte(ports_[chipPort]) << shift);
}

void EmulatedSwitch::SetPortState(int chipPort, const PortState& state) {
  if (chipPort < 0 || chipPort >= kMaxChipPorts) return;
  // Counters keep what they show: only the traffic from now on follows the new rates.
  const int64_t now = Now();
  std::array<uint32_t, kCountersPerPort> shown{};
  for (int c = 0; c < kCountersPerPort; ++c)
    shown[c] = CounterValue(static_cast<uint16_t>(reg::kMibCounterFirst + 26 * c + chipPort), now);
  ports_[chipPort] = state;
  StorePortStatus(chipPort);
  for (int c = 0; c < kCountersPerPort; ++c)
    counters_[chipPort][c].base = RawCount(chipPort, SelectedKind(chipPort, c), now) - shown[c];
}

// ---------------------------------------------------------------- MIB counters

int EmulatedSwitch::SelectionBits(int chipPort) const {
  const uint16_t r = static_cast<uint16_t>(reg::kMibSelectFirst + chipPort / 2);
  auto it = registers_.find(r);
  const uint16_t v = it == registers_.end() ? 0 : it->second;
  return (v >> (chipPort % 2 ? 6 : 0)) & 0x3F;
}

TrafficKind EmulatedSwitch::SelectedKind(int chipPort, int counter) const {
  const int code = (SelectionBits(chipPort) >> (2 * counter)) & 3;
  if (code == 2) return TrafficKind::CrcErrors;
  if (code == 3) return TrafficKind::Collisions;
  static constexpr TrafficKind kBytes[] = {TrafficKind::RxBytes, TrafficKind::TxBytes, TrafficKind::DropBytes};
  static constexpr TrafficKind kPackets[] = {TrafficKind::RxPackets, TrafficKind::TxPackets, TrafficKind::DropPackets};
  return code == 0 ? kBytes[counter] : kPackets[counter];
}

uint64_t EmulatedSwitch::RawCount(int chipPort, TrafficKind kind, int64_t nowUs) const {
  const PortTraffic& t = ports_[chipPort].traffic;
  const int i = static_cast<int>(kind);
  const int64_t elapsed = nowUs > trafficStartUs_ ? nowUs - trafficStartUs_ : 0;
  const double grown = std::floor(t.perSecond[i] * static_cast<double>(elapsed) / 1e6);
  return t.totals[i] + (grown > 0 && grown < 1.8e19 ? static_cast<uint64_t>(grown) : 0);
}

uint32_t EmulatedSwitch::CounterValue(uint16_t r, int64_t nowUs) const {
  const int index = r - reg::kMibCounterFirst;
  const int counter = index / 26;
  const int chipPort = index % 26;
  // Unsigned arithmetic: the 32-bit counter wraps as the chip's does.
  return static_cast<uint32_t>(RawCount(chipPort, SelectedKind(chipPort, counter), nowUs) -
                               counters_[chipPort][counter].base);
}

void EmulatedSwitch::ClearCounters(int chipPort, int64_t nowUs) {
  for (int c = 0; c < kCountersPerPort; ++c)
    counters_[chipPort][c].base = RawCount(chipPort, SelectedKind(chipPort, c), nowUs);
}

// ---------------------------------------------------------------- EEPROM commands

void EmulatedSwitch::StartEepromCommand(uint16_t control) {
  if (commandPending_) CompleteEepromCommand();  // a new command cannot overtake the running one
  commandControl_ = control & 0x0FFF;
  const auto data = registers_.find(reg::kEepromData);
  commandData_ = static_cast<uint8_t>(data == registers_.end() ? 0 : data->second & 0xFF);
  lastCommandFailed_ = false;
  commandPending_ = true;
  busyLeft_ = busyPolls_;
  if (busyLeft_ == 0) CompleteEepromCommand();
}

void EmulatedSwitch::CompleteEepromCommand() {
  commandPending_ = false;
  busyLeft_ = 0;
  if (failNext_ > 0) {
    --failNext_;
    lastCommandFailed_ = true;
    return;
  }
  const uint16_t address = commandControl_ & eeprom::kAddressMask;
  if (commandControl_ & eeprom::kReadCommand) {
    const uint16_t old = registers_.count(reg::kEepromData) ? registers_[reg::kEepromData] : 0;
    registers_[reg::kEepromData] = static_cast<uint16_t>((old & 0x00FF) | eeprom_[address] << 8);
  } else if (writeProtected_) {
    lastCommandFailed_ = true;
  } else {
    eeprom_[address] = commandData_;
  }
}

uint16_t EmulatedSwitch::EepromControlNow() const {
  return static_cast<uint16_t>(commandControl_ | (commandPending_ ? eeprom::kBusy : 0) |
                               (lastCommandFailed_ ? eeprom::kFailed : 0));
}

uint16_t EmulatedSwitch::EepromControlForWire() {
  if (commandPending_) {
    if (busyLeft_ > 0) {
      --busyLeft_;
      return static_cast<uint16_t>(commandControl_ | eeprom::kBusy);
    }
    CompleteEepromCommand();
  }
  return EepromControlNow();
}

// ---------------------------------------------------------------- resets

void EmulatedSwitch::SoftReset() { ++softResets_; }

void EmulatedSwitch::HardwareReset(int64_t nowUs) {
  ++hardwareResets_;
  // Live status is the world's, not a setting: it survives the reset.
  std::map<uint16_t, uint16_t> status;
  for (const auto& [r, v] : registers_)
    if (IsStatusRegister(r)) status[r] = v;
  registers_ = status;
  LoadPowerOnDefaults();
  ApplyEepromImage();
  commandPending_ = false;
  busyLeft_ = 0;
  commandControl_ = 0;
  lastCommandFailed_ = false;
  for (int k = 0; k < kMaxChipPorts; ++k) ClearCounters(k, nowUs);
  // Chips that load their settings from EEPROM also take the remote-access bit from it.
  if (!map_.empty() && (eeprom_[eeprom::kAccessByte] & 1)) muted_ = true;
}

// ---------------------------------------------------------------- registers

uint32_t EmulatedSwitch::Register(uint16_t r) const {
  if (IsCounter(r)) return CounterValue(r, Now());
  if (r == reg::kEepromControl) return EepromControlNow();
  auto it = registers_.find(r);
  return it == registers_.end() ? 0 : it->second;
}

void EmulatedSwitch::SetRegister(uint16_t r, uint32_t value) {
  if (IsCounter(r)) {
    const int index = r - reg::kMibCounterFirst;
    const int counter = index / 26;
    const int chipPort = index % 26;
    counters_[chipPort][counter].base = RawCount(chipPort, SelectedKind(chipPort, counter), Now()) - value;
    return;
  }
  if (r == reg::kEepromControl) {
    commandPending_ = false;
    busyLeft_ = 0;
    commandControl_ = static_cast<uint16_t>(value & 0x0FFF);
    lastCommandFailed_ = (value & eeprom::kFailed) != 0;
    return;
  }
  registers_[r] = static_cast<uint16_t>(value & 0xFFFF);
}

uint8_t EmulatedSwitch::EepromByte(uint16_t address) const { return address < kEepromSize ? eeprom_[address] : 0xFF; }

void EmulatedSwitch::SetEepromByte(uint16_t address, uint8_t value) {
  if (address < kEepromSize) eeprom_[address] = value;
}

uint32_t EmulatedSwitch::ReadForWire(uint16_t r, int64_t nowUs) {
  if (IsCounter(r)) return CounterValue(r, nowUs);
  if (r == reg::kEepromControl) return EepromControlForWire();
  if (r == reg::kReset) return 0;  // a command, not a setting
  auto it = registers_.find(r);
  return it == registers_.end() ? 0 : it->second;
}

void EmulatedSwitch::WriteFromWire(uint16_t r, uint32_t value, int64_t nowUs) {
  const uint16_t v = static_cast<uint16_t>(value & 0xFFFF);
  if (IsCounter(r) || IsStatusRegister(r)) return;  // read only
  if (r == reg::kReset) {
    if (v == 1) SoftReset();
    if (v == 2) HardwareReset(nowUs);
    return;
  }
  if (r == reg::kEepromControl) {
    StartEepromCommand(v);
    return;
  }
  if (r >= reg::kMibSelectFirst && r <= reg::kMibSelectLast) {
    const int first = 2 * (r - reg::kMibSelectFirst);
    const int before[2] = {SelectionBits(first), SelectionBits(first + 1)};
    registers_[r] = v;
    // A port whose selection changed starts counting from zero.
    for (int i = 0; i < 2; ++i)
      if (SelectionBits(first + i) != before[i]) ClearCounters(first + i, nowUs);
    return;
  }
  registers_[r] = v;
}

bool EmulatedSwitch::Authorised(int ingressPort) const {
  if (ingressPort < 0 || ingressPort >= kMaxChipPorts) return true;
  const uint16_t r = ingressPort < 16 ? reg::kUnauthorisedLow : reg::kUnauthorisedHigh;
  const int bit = ingressPort < 16 ? ingressPort : ingressPort - 16;
  auto it = registers_.find(r);
  return it == registers_.end() || ((it->second >> bit) & 1) == 0;
}

// ---------------------------------------------------------------- the wire

std::optional<Frame> EmulatedSwitch::HandleFrame(const uint8_t* data, size_t length, int ingressPort, int64_t nowUs) {
  lastNowUs_ = nowUs;
  if (length < 16 || data[12] != rrcp::kEtherTypeHigh || data[13] != rrcp::kEtherTypeLow || data[14] != rrcp::kProtocol)
    return std::nullopt;
  const uint8_t opcode = data[15];
  if (opcode != rrcp::kOpHello && opcode != rrcp::kOpGet && opcode != rrcp::kOpSet) return std::nullopt;
  Mac destination{};
  std::memcpy(destination.data(), data, 6);
  const bool broadcast = destination == kBroadcastMac;
  if (destination != mac_ && !(broadcast && opcode == rrcp::kOpHello)) return std::nullopt;

  const size_t needed = opcode == rrcp::kOpSet ? 24 : opcode == rrcp::kOpGet ? 20 : 18;
  if (muted_ || length < needed || KeyValue({data[16], data[17]}) != Key() || !Authorised(ingressPort)) {
    ++ignored_;
    return std::nullopt;
  }
  Mac asker{};
  std::memcpy(asker.data(), data + 6, 6);

  const std::optional<uint16_t> justSet = lastSet_;
  lastSet_.reset();
  if (opcode == rrcp::kOpHello) {
    HelloReply reply;
    reply.source = mac_;
    reply.key = KeyBytesOf(Key());
    reply.downLinkPort = static_cast<uint8_t>(ingressPort);
    reply.upLinkPort = upLinkPort_;
    reply.upLinkMac = upLinkMac_;
    reply.chipId = chipId_;
    reply.vendorId = vendorId_;
    return BuildHelloReply(asker, reply);
  }
  const uint16_t r = Get16(data + 18);
  if (opcode == rrcp::kOpGet) {
    if (auto failing = failReads_.find(r); failing != failReads_.end()) {
      // An unanswered get: the asking read times out, exactly as on a lossy wire.
      if (failing->second > 0 && --failing->second == 0) failReads_.erase(failing);
      ++ignored_;
      return std::nullopt;
    }
    const KeyBytes key = KeyBytesOf(Key());
    const uint32_t value = ReadForWire(r, nowUs);
    readLog_.push_back({r, value});
    readBack_.push_back(justSet == r);
    return BuildGetReply(asker, mac_, key, r, value);
  }
  const uint32_t value = Get32(data + 20);
  if (ignoredWrites_.count(r)) {
    ++ignored_;
    return std::nullopt;
  }
  writeLog_.push_back({r, value});
  lastSet_ = r;
  WriteFromWire(r, value, nowUs);
  return std::nullopt;
}

void EmulatedSwitch::ClearLog() {
  writeLog_.clear();
  readLog_.clear();
  readBack_.clear();
  ignored_ = 0;
}

std::vector<RegisterRead> EmulatedSwitch::ReadLogWithoutReadBacks() const {
  std::vector<RegisterRead> out;
  for (size_t i = 0; i < readLog_.size(); ++i)
    if (i >= readBack_.size() || !readBack_[i]) out.push_back(readLog_[i]);
  return out;
}

std::vector<uint32_t> EmulatedSwitch::WritesTo(uint16_t r) const {
  std::vector<uint32_t> values;
  for (const auto& w : writeLog_)
    if (w.reg == r) values.push_back(w.value);
  return values;
}

}  // namespace brisfell::sim
