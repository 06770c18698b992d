#include "engine/engine.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/byte_order.h"
#include "engine/frames.h"

namespace brisfell {
namespace {

size_t ProfileSlot(ProfileKind kind) { return static_cast<size_t>(kind); }

}  // namespace

Engine::Engine(PacketDriver& driver, Clock& clock) : driver_(driver), clock_(clock) {
  for (ProfileKind k : {ProfileKind::Port16, ProfileKind::Port24, ProfileKind::Generic}) {
    factoryDefaults_[ProfileSlot(k)] = BuildFactoryDefaultList(k);
    eepromMaps_[ProfileSlot(k)] = BuildEepromImageMap(k);
  }
}

Engine::~Engine() {
  if (io_) driver_.CloseAdapter(std::move(io_));
}

FactoryDefaultList& Engine::FactoryDefaults(ProfileKind kind) { return factoryDefaults_[ProfileSlot(kind)]; }

const EepromImageMap& Engine::EepromMap(ProfileKind kind) const { return eepromMaps_[ProfileSlot(kind)]; }

void Engine::Notify(const std::string& message) {
  if (errorNotifier_) errorNotifier_(message);
}

void Engine::CheckThread() const {
#ifdef BRISFELL_THREAD_CHECKS
  if (owner_ != std::thread::id{} && owner_ != std::this_thread::get_id()) {
    std::fputs("brisfell: the engine was called from a thread that does not own it\n", stderr);
    std::abort();
  }
#endif
}

// ---------------------------------------------------------------- adapters

int Engine::EnumerateAdapters() {
  CheckThread();
  adapterCount_ = 0;
  adapters_ = {};
  const auto [major, minor] = ParseDriverVersion(driver_.GetVersion());
  const OsVersion os = driver_.GetOsVersion();
  wideNames_ = !((os.family9x && os.major >= 4) || major > 3 || (major == 3 && minor != 0));

  const uint32_t size = wideNames_ ? driver::kNameListBuffer16 : driver::kNameListBuffer8;
  std::vector<uint8_t> buffer(size, 0);
  if (!driver_.GetAdapterNames(buffer.data(), size, wideNames_)) return -1;

  const size_t unit = wideNames_ ? 2 : 1;
  auto isTerminator = [&](size_t at) {
    return buffer[at] == 0 && (unit == 1 || buffer[at + 1] == 0);
  };
  // Names: each ended by a terminator, an empty name ends the list. Only the first
  // kMaxAdapters are kept; a name longer than its slot is cut, still terminated.
  size_t pos = 0;
  int names = 0;
  while (pos + unit <= size && !isTerminator(pos)) {
    const size_t start = pos;
    while (pos + unit <= size && !isTerminator(pos)) pos += unit;
    if (names < kMaxAdapters) {
      const size_t keep = std::min(pos - start, (kAdapterNameSlot - unit) / unit * unit);
      std::memcpy(adapters_[names].name.data(), buffer.data() + start, keep);
    }
    ++names;
    pos += unit;  // the name's terminator
  }
  pos += unit;  // the empty name that ends the list
  // Descriptions: 8-bit, NUL-terminated, one per name.
  for (int i = 0; i < names && pos < size; ++i) {
    const size_t start = pos;
    while (pos < size && buffer[pos] != 0) ++pos;
    if (i < kMaxAdapters) {
      const size_t keep = std::min(pos - start, kAdapterDescriptionSlot - 1);
      std::memcpy(adapters_[i].description.data(), buffer.data() + start, keep);
    }
    ++pos;
  }
  adapterCount_ = std::min(names, kMaxAdapters);
  return adapterCount_;
}

std::string Engine::AdapterDescription(int i) const {
  if (i < 0 || i >= adapterCount_) return {};
  return std::string(adapters_[i].description.data());
}

std::string Engine::AdapterName(int i) const {
  if (i < 0 || i >= adapterCount_) return {};
  const auto& slot = adapters_[i].name;
  std::string out;
  if (!wideNames_) {
    for (size_t k = 0; k < slot.size() && slot[k] != 0; ++k) out += static_cast<char>(slot[k]);
  } else {
    for (size_t k = 0; k + 1 < slot.size() && (slot[k] != 0 || slot[k + 1] != 0); k += 2)
      out += slot[k + 1] == 0 && slot[k] < 0x80 ? static_cast<char>(slot[k]) : '?';
  }
  return out;
}

std::unique_ptr<AdapterHandle> Engine::OpenForDiscovery(int adapter) {
  if (adapter < 0 || adapter >= adapterCount_) {
    lastAdapterError_ = "no such adapter";
    return nullptr;
  }
  auto handle = driver_.OpenAdapter(adapters_[adapter].name.data(), wideNames_);
  auto fail = [&](const std::string& what) -> std::unique_ptr<AdapterHandle> {
    const std::string why = driver_.LastError();
    lastAdapterError_ = why.empty() ? what : why;
    if (handle) driver_.CloseAdapter(std::move(handle));
    return nullptr;
  };
  if (!handle) return fail("the adapter cannot be opened");
  uint32_t linkType = 0xFFFFFFFF;
  if (!driver_.GetNetType(*handle, linkType) || linkType != driver::kLinkTypeEthernet)
    return fail("the adapter is not an Ethernet adapter");
  Mac station{};
  if (!driver_.Request(*handle, driver::kOidStationAddress, station.data(), 6))
    return fail("the adapter's address cannot be read");
  stationMac_ = station;
  if (!driver_.SetHwFilter(*handle, driver::kHwFilterAllLocal) ||
      !driver_.SetBuff(*handle, driver::kKernelBuffer) ||
      !driver_.SetReadTimeout(*handle, kDiscoveryReadTimeoutMs))
    return fail("the adapter cannot be prepared for discovery");
  lastAdapterError_.clear();
  return handle;
}

// Waits (on the engine's clock) up to kAdapterLockWaitMs for another console to let go.
// Null with `busy` clear when the adapter needs no lock or the lock itself cannot be had:
// the console then works as it would alone rather than not at all.
std::unique_ptr<AdapterLock> Engine::LockAdapter(int adapter, bool& busy) {
  busy = false;
  const std::string name = AdapterName(adapter);
  if (!locks_ || !locks_->Applies(name)) return nullptr;
  const int64_t start = clock_.NowMs();
  for (;;) {
    AdapterLocks::Outcome outcome = AdapterLocks::Outcome::Failed;
    std::string error;
    auto lock = locks_->TryLock(name, outcome, error);
    if (outcome == AdapterLocks::Outcome::Held) return lock;
    if (outcome == AdapterLocks::Outcome::Failed) {
      lockError_ = error;
      return nullptr;
    }
    if (clock_.NowMs() - start >= kAdapterLockWaitMs) {
      busy = true;
      lastAdapterError_ = AnotherConsoleMessage(name);
      return nullptr;
    }
    clock_.SleepMs(kAdapterLockRetryMs);
  }
}

bool Engine::OpenAdapterIo(int adapter) {
  CheckThread();
  if (adapter == -1 || adapter != currentAdapter_ || adapter >= adapterCount_) return false;
  if (io_ || lentIo_) return false;  // one handle slot; the caller must close first
  bool busy = false;
  auto lock = LockAdapter(adapter, busy);
  if (busy) return false;
  auto handle = driver_.OpenAdapter(adapters_[adapter].name.data(), wideNames_);
  if (!handle) {
    lastAdapterError_ = driver_.LastError();
    return false;
  }
  if (!driver_.SetHwFilter(*handle, driver::kHwFilterAllLocal) ||
      !driver_.SetBuff(*handle, driver::kKernelBuffer)) {
    lastAdapterError_ = driver_.LastError();
    driver_.CloseAdapter(std::move(handle));
    return false;
  }
  io_ = std::move(handle);
  ioLock_ = std::move(lock);
  return true;
}

bool Engine::CloseAdapterIo(int adapter) {
  CheckThread();
  if (adapter != currentAdapter_) return false;
  if (io_) driver_.CloseAdapter(std::move(io_));
  io_.reset();
  ioLock_.reset();  // only after the handle is closed
  return true;
}

// False when the driver could not send the frame (its LastError says why); a frame sent may
// still be lost on the wire.
bool Engine::SendFrame(AdapterHandle& adapter, const Frame& frame) {
  auto packet = driver_.AllocatePacket();
  if (!packet) return false;
  Frame copy = frame;
  InitPacket(*packet, copy.data(), static_cast<uint32_t>(copy.size()));
  driver_.SetNumWrites(adapter, 1);
  const bool sent = driver_.SendPacket(adapter, *packet);
  driver_.FreePacket(std::move(packet));
  return sent;
}

void Engine::LookUpUnknownVendors(AdapterHandle& handle) {
  std::vector<SwitchRecord*> unknown;
  for (auto& rec : switches_)
    if ((rec.vendorId >> 16) != kKnownMakerCode) unknown.push_back(&rec);
  if (unknown.empty() || Cancelled()) return;
  lentIo_ = &handle;
  LookUpVendors(unknown);
  lentIo_ = nullptr;
}

// ---------------------------------------------------------------- discovery

int Engine::AbsorbBatch(const uint8_t* buffer, size_t n) {
  int counted = 0;
  WalkBatch(buffer, n, [&](const uint8_t* data, size_t length) {
    auto reply = ParseHelloReply(data, length);
    if (!reply) return true;
    for (const auto& r : switches_)
      if (r.mac == reply->source) return true;  // first reply wins
    if (static_cast<int>(switches_.size()) >= kMaxSwitches) {
      // Counted, not stored; each switch once, although it answers every repeat of the hello.
      if (leftOut_.insert(reply->source).second) ++counted;
      return true;
    }
    ++counted;
    SwitchRecord rec;
    rec.index = static_cast<int>(switches_.size());
    rec.mac = reply->source;
    rec.downLinkPort = reply->downLinkPort;
    rec.upLinkMac = reply->upLinkMac;
    rec.upLinkPort = reply->upLinkPort;
    rec.chipId = reply->chipId;
    rec.vendorId = reply->vendorId;
    rec.authKey = reply->key;
    switches_.push_back(rec);
    return true;
  });
  return counted;
}
// The switch may well be one of the known models: the operator must not take the generic
// port numbering for granted.
std::string Engine::UnknownModelWarning(const SwitchRecord& rec) const {
  return Format("switch %s (\"Switch %d\"): model unknown, its EEPROM did not answer; handled as a generic 26-port switch",
                FormatMac(rec.mac).c_str(), rec.index + 1);
}

std::string Engine::LockWarning() const { return "the adapter could not be locked against other consoles: " + lockError_; }

void Engine::ApplyProfile(SwitchRecord& record) {
  const ModelProfile p = ProfileForVendor(record.vendorId);
  record.profile = p.kind;
  record.portCount = p.portCount;
  record.modelName = p.kind == ProfileKind::Generic ? Format("Switch %d", record.index + 1) : p.modelName;
  record.chipToPort = {};
  record.portToChip = {};
  for (int i = 0; i < p.portCount; ++i) {
    record.chipToPort[i] = p.portList[i];
    record.portToChip[p.portList[i]] = static_cast<uint8_t>(i);
  }
  record.trunkGroups = p.trunkGroups;
  record.factoryDefaults = &FactoryDefaults(p.kind);
  record.eepromMap = &eepromMaps_[ProfileSlot(p.kind)];
  record.accessControl = p.accessControl;
  record.keySettable = p.keySettable;
}

int Engine::DiscoverSwitches(int adapter, bool useDatabase) {
  CheckThread();
  ForgetRoundTrips(adapter);
  currentAdapter_ = adapter;
  switches_.clear();
  currentSwitch_ = -1;
  leftOut_.clear();
  warnings_.clear();
  lockError_.clear();
  if (useDatabase) LoadSwitchDatabase();

  bool busy = false;
  auto lock = LockAdapter(adapter, busy);
  if (busy) return -1;
  auto handle = OpenForDiscovery(adapter);
  if (!handle) return -1;
  auto packet = driver_.AllocatePacket();
  if (!packet) {
    lastAdapterError_ = "no packet object";
    driver_.CloseAdapter(std::move(handle));
    return -1;
  }
  receiveBuffer_.resize(driver::kReceiveBuffer);

  int result = 0;
  // Receives one batch into the buffer; false when the receive call fails.
  auto receive = [&]() {
    InitPacket(*packet, receiveBuffer_.data(), static_cast<uint32_t>(receiveBuffer_.size()));
    if (!driver_.ReceivePacket(*handle, *packet)) return false;
    if (packet->bytesReceived > 0) result += AbsorbBatch(receiveBuffer_.data(), packet->bytesReceived);
    return true;
  };
  auto found = [&](const Mac& mac) {
    return std::any_of(switches_.begin(), switches_.end(), [&](const SwitchRecord& r) { return r.mac == mac; });
  };
  // Each remembered switch not heard from yet, with its own key.
  auto sendDirected = [&] {
    if (!useDatabase) return;
    for (const auto& rec : database_)
      if (!found(rec.mac)) SendFrame(*handle, BuildDirectedHello(stationMac_, rec.mac, rec.key));
  };

  // Directed phase: all hellos back to back, then one window that ends early once every
  // remembered switch has answered. The switches found are listed in database order, as if
  // each had been asked in turn.
  if (useDatabase && !database_.empty()) {
    sendDirected();
    const int64_t start = clock_.NowMs();
    while (clock_.NowMs() - start < kDirectedHelloWindowMs && !Cancelled()) {
      if (!receive()) break;
      if (std::all_of(database_.begin(), database_.end(), [&](const DatabaseRecord& r) { return found(r.mac); })) break;
    }
    auto rank = [&](const SwitchRecord& r) {
      for (size_t i = 0; i < database_.size(); ++i)
        if (database_[i].mac == r.mac) return i;
      return database_.size();
    };
    std::stable_sort(switches_.begin(), switches_.end(),
                     [&](const SwitchRecord& a, const SwitchRecord& b) { return rank(a) < rank(b); });
    for (size_t i = 0; i < switches_.size(); ++i) switches_[i].index = static_cast<int>(i);
  }

  // Broadcast phase: always waits its full second, the hello repeated over it (and with each
  // repeat the remembered switches that have not answered are asked again).
  const int64_t start = clock_.NowMs();
  int hellos = 0;
  for (;;) {
    const int64_t elapsed = clock_.NowMs() - start;
    if (elapsed >= kBroadcastHelloWindowMs || Cancelled()) break;
    if (hellos < kBroadcastHellos && elapsed >= hellos * kBroadcastHelloWindowMs / kBroadcastHellos) {
      if (hellos > 0) sendDirected();
      SendFrame(*handle, BuildBroadcastHello(stationMac_));
      ++hellos;
    }
    if (!receive()) break;
  }

  // Lend the discovery handle for the EEPROM look-up of unknown maker codes.
  LookUpUnknownVendors(*handle);
  for (auto& rec : switches_) ApplyProfile(rec);
  if (!leftOut_.empty())
    warnings_.push_back(Format("the switch table is full: %zu more switch%s answered and %s left out (at most %d are listed)",
                               leftOut_.size(), leftOut_.size() == 1 ? "" : "es", leftOut_.size() == 1 ? "is" : "are",
                               kMaxSwitches));
  if (!lockError_.empty()) warnings_.push_back(LockWarning());

  driver_.FreePacket(std::move(packet));
  driver_.CloseAdapter(std::move(handle));
  lock.reset();
  if (useDatabase) SaveSwitchDatabase();
  return result;
}

const SwitchRecord* Engine::GetSwitchRecord(int index) const {
  if (index < 0 || index >= SwitchCount()) return nullptr;
  return &switches_[index];
}

bool Engine::GetSwitchMac(int index, Mac& out) const {
  const SwitchRecord* r = GetSwitchRecord(index);
  if (!r) return false;
  out = r->mac;
  return true;
}

std::string Engine::ModelName(int index) const {
  const SwitchRecord* r = GetSwitchRecord(index);
  return r ? r->modelName : "Unknown";
}

int Engine::PortCount(int index) const {
  const SwitchRecord* r = GetSwitchRecord(index);
  return r ? r->portCount : 0;
}

int Engine::MapChipToPort(int index, int chipPort) const {
  const SwitchRecord* r = GetSwitchRecord(index);
  if (!r || chipPort < 0 || chipPort >= r->portCount) return -1;
  return r->chipToPort[chipPort];
}

int Engine::MapPortToChip(int index, int position) const {
  const SwitchRecord* r = GetSwitchRecord(index);
  if (!r || position < 0 || position >= r->portCount) return -1;
  return r->portToChip[position];
}

bool Engine::AccessControlSupported(int index) const {
  const SwitchRecord* r = GetSwitchRecord(index);
  return r && r->accessControl;
}

bool Engine::AuthKeySettable(int index) const {
  const SwitchRecord* r = GetSwitchRecord(index);
  return r && r->keySettable;
}

void Engine::SetAuthKey(int index, uint16_t key) {
  if (index >= 0 && index < SwitchCount()) switches_[index].authKey = KeyBytesOf(key);
}

}  // namespace brisfell
