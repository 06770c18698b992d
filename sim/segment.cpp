#include "sim/segment.h"

#include <algorithm>
#include <cstring>
#include <deque>

#include "engine/frames.h"
#include "sim/pcap_writer.h"

namespace brisfell::sim {
namespace {

constexpr size_t kMinFrame = 14;
constexpr size_t kMaxFrame = 1514;
constexpr int kDefaultReadTimeoutMs = 1000;
}  // namespace

struct Segment::Impl {
  struct Pending {
    int64_t atUs = 0;
    std::vector<uint8_t> bytes;
  };

  struct Handle : AdapterHandle {
    Impl* owner = nullptr;
    int64_t openedUs = 0;
    int64_t readTimeoutUs = kDefaultReadTimeoutMs * 1000;
    int numWrites = 1;
    std::deque<Pending> queue;
    ~Handle() override {
      if (owner) std::erase(owner->open, this);
    }
  };

  Impl(const Scenario& scenario, Clock& c) : clock(c), network(scenario, &c), faults(scenario.faults) {}
  ~Impl() {
    for (Handle* h : open) h->owner = nullptr;
  }

  Clock& clock;
  Network network;
  Faults faults;
  FaultInjector injector{faults};
  std::vector<Pending> inFlight;  // ordered by arrival; equal times keep their sending order
  std::vector<Handle*> open;
  std::vector<RecordedFrame> recording;
  std::string lastError;

  Handle* Own(AdapterHandle& adapter) {
    auto* h = dynamic_cast<Handle*>(&adapter);
    if (!h || h->owner != this) {
      lastError = "the adapter handle does not belong to the emulated segment";
      return nullptr;
    }
    return h;
  }

  void Record(RecordedFrame::Direction direction, int64_t atUs, const std::vector<uint8_t>& bytes) {
    auto pos = std::upper_bound(recording.begin(), recording.end(), atUs,
                                [](int64_t t, const RecordedFrame& f) { return t < f.timeUs; });
    recording.insert(pos, RecordedFrame{direction, atUs, bytes});
  }

  // Puts a frame on its way to the station.
  void Schedule(int64_t atUs, std::vector<uint8_t> bytes) {
    Record(RecordedFrame::Direction::ToStation, atUs, bytes);
    auto pos = std::upper_bound(inFlight.begin(), inFlight.end(), atUs,
                                [](int64_t t, const Pending& p) { return t < p.atUs; });
    inFlight.insert(pos, Pending{atUs, std::move(bytes)});
  }

  // Frames that have arrived go to every handle that was open when they arrived.
  void Pump() {
    const int64_t now = clock.NowUs();
    size_t n = 0;
    while (n < inFlight.size() && inFlight[n].atUs <= now) {
      for (Handle* h : open)
        if (h->openedUs <= inFlight[n].atUs) h->queue.push_back(inFlight[n]);
      ++n;
    }
    inFlight.erase(inFlight.begin(), inFlight.begin() + static_cast<std::ptrdiff_t>(n));
  }

  void Deliver(const Outgoing& reply) {
    for (auto& frame : injector.Deliver(reply.bytes, reply.atUs)) Schedule(frame.atUs, std::move(frame.bytes));
  }

  void SendOne(const uint8_t* data, size_t length) {
    const int64_t now = clock.NowUs();
    std::vector<uint8_t> bytes(data, data + length);
    Record(RecordedFrame::Direction::FromStation, now, bytes);
    if (faults.echoStationFrames) {
      auto pos = std::upper_bound(inFlight.begin(), inFlight.end(), now,
                                  [](int64_t t, const Pending& p) { return t < p.atUs; });
      inFlight.insert(pos, Pending{now, bytes});
    }
    if (injector.LoseFromStation()) return;
    Mac source{};
    std::memcpy(source.data(), data + 6, 6);
    for (const Outgoing& reply : network.FromStation(data, length, source, now)) Deliver(reply);
  }
};

Segment::Segment(const Scenario& scenario, Clock& clock) : impl_(std::make_unique<Impl>(scenario, clock)) {}

Segment::~Segment() = default;

std::string Segment::GetVersion() { return "4.1 brisfell-sim"; }

std::string Segment::AdapterDescriptionText() const {
  const int n = impl_->network.SwitchCount();
  return Format("Brisfell emulated segment (%d switch%s)", n, n == 1 ? "" : "es");
}

const Mac& Segment::StationMac() const { return impl_->network.StationMac(); }

bool Segment::GetAdapterNames(uint8_t* buffer, uint32_t size, bool wide) {
  std::vector<uint8_t> list;
  for (const char* c = kAdapterName; *c; ++c) {
    list.push_back(static_cast<uint8_t>(*c));
    if (wide) list.push_back(0);  // UTF-16, low byte first
  }
  const size_t terminators = wide ? 4 : 2;  // the name's, then the empty name ending the list
  list.insert(list.end(), terminators, 0);
  const std::string description = AdapterDescriptionText();
  list.insert(list.end(), description.begin(), description.end());
  list.push_back(0);
  if (!buffer || list.size() > size) {
    impl_->lastError = "the adapter name buffer is too small";
    return false;
  }
  std::memcpy(buffer, list.data(), list.size());
  return true;
}

std::unique_ptr<AdapterHandle> Segment::OpenAdapter(const uint8_t* name, bool wide) {
  std::string text;
  if (name) {
    if (wide) {
      for (size_t i = 0; i < 1024 && (name[i] || name[i + 1]); i += 2)
        text += name[i + 1] == 0 && name[i] < 0x80 ? static_cast<char>(name[i]) : '?';
    } else {
      for (size_t i = 0; i < 1024 && name[i]; ++i) text += static_cast<char>(name[i]);
    }
  }
  if (text != kAdapterName) {
    impl_->lastError = "no adapter named \"" + text + "\" on the emulated segment";
    return nullptr;
  }
  auto handle = std::make_unique<Impl::Handle>();
  handle->owner = impl_.get();
  handle->openedUs = impl_->clock.NowUs();
  impl_->open.push_back(handle.get());
  return handle;
}

void Segment::CloseAdapter(std::unique_ptr<AdapterHandle> adapter) { adapter.reset(); }

bool Segment::GetNetType(AdapterHandle& adapter, uint32_t& linkType) {
  if (!impl_->Own(adapter)) return false;
  linkType = driver::kLinkTypeEthernet;
  return true;
}

bool Segment::Request(AdapterHandle& adapter, uint32_t oid, uint8_t* data, uint32_t length) {
  if (!impl_->Own(adapter) || !data) return false;
  std::memset(data, 0, length);
  if (oid == driver::kOidStationAddress) {
    if (length < 6) {
      impl_->lastError = "the station address needs 6 bytes";
      return false;
    }
    std::memcpy(data, StationMac().data(), 6);
  }
  return true;
}

bool Segment::SetHwFilter(AdapterHandle& adapter, uint32_t) { return impl_->Own(adapter) != nullptr; }

bool Segment::SetBuff(AdapterHandle& adapter, uint32_t) { return impl_->Own(adapter) != nullptr; }

bool Segment::SetReadTimeout(AdapterHandle& adapter, int milliseconds) {
  return SetReadTimeoutUs(adapter, static_cast<int64_t>(milliseconds) * 1000);
}

bool Segment::SetReadTimeoutUs(AdapterHandle& adapter, int64_t microseconds) {
  auto* h = impl_->Own(adapter);
  if (!h) return false;
  h->readTimeoutUs = microseconds;
  return true;
}

bool Segment::SetNumWrites(AdapterHandle& adapter, int count) {
  auto* h = impl_->Own(adapter);
  if (!h) return false;
  h->numWrites = count < 1 ? 1 : count;
  return true;
}

bool Segment::SendPacket(AdapterHandle& adapter, Packet& packet) {
  auto* h = impl_->Own(adapter);
  if (!h) return false;
  if (!packet.buffer || packet.length < kMinFrame || packet.length > kMaxFrame) {
    impl_->lastError = "a frame must be 14 to 1514 bytes long";
    return false;
  }
  for (int i = 0; i < h->numWrites; ++i) impl_->SendOne(packet.buffer, packet.length);
  return true;
}

bool Segment::ReceivePacket(AdapterHandle& adapter, Packet& packet) {
  auto* h = impl_->Own(adapter);
  if (!h) return false;
  packet.bytesReceived = 0;
  Clock& clock = impl_->clock;
  impl_->Pump();
  if (h->queue.empty()) {
    // Nothing has arrived: wait for the next frame, but no longer than the read time-out.
    // A time-out of zero or less waits for the next frame, or not at all when none is coming.
    const int64_t now = clock.NowUs();
    const int64_t timeoutUs = h->readTimeoutUs;
    const bool coming = !impl_->inFlight.empty();
    const int64_t next = coming ? impl_->inFlight.front().atUs : 0;
    if (coming && (timeoutUs <= 0 || next - now <= timeoutUs)) {
      clock.SleepUs(next - now);
    } else if (timeoutUs > 0) {
      clock.SleepUs(timeoutUs);
    }
    impl_->Pump();
  }
  std::vector<uint8_t> batch;
  while (!h->queue.empty()) {
    const auto& f = h->queue.front();
    const size_t before = batch.size();
    AppendCaptured(batch, f.bytes.data(), f.bytes.size(), f.atUs);
    if (batch.size() > packet.length) {
      batch.resize(before);
      break;
    }
    h->queue.pop_front();
  }
  if (batch.empty() && !h->queue.empty()) {
    impl_->lastError = "the receive buffer is too small for the next frame";
    return false;
  }
  if (!batch.empty()) {
    if (!packet.buffer) {
      impl_->lastError = "no receive buffer";
      return false;
    }
    std::memcpy(packet.buffer, batch.data(), batch.size());
  }
  packet.bytesReceived = static_cast<uint32_t>(batch.size());
  return true;
}

void Segment::DiscardPending(AdapterHandle& adapter) {
  auto* h = impl_->Own(adapter);
  if (!h) return;
  impl_->Pump();
  h->queue.clear();
}

std::string Segment::LastError() const { return impl_->lastError; }

int Segment::SwitchCount() const { return impl_->network.SwitchCount(); }

EmulatedSwitch& Segment::Switch(int i) { return impl_->network.Switch(i); }

EmulatedSwitch* Segment::FindSwitch(const Mac& mac) { return impl_->network.FindSwitch(mac); }

Faults& Segment::GetFaults() { return impl_->faults; }

Network& Segment::GetNetwork() { return impl_->network; }

int Segment::OpenAdapterCount() const { return static_cast<int>(impl_->open.size()); }

size_t Segment::FramesInFlight() const { return impl_->inFlight.size(); }

const std::vector<RecordedFrame>& Segment::Recording() const { return impl_->recording; }

void Segment::ClearRecording() { impl_->recording.clear(); }

size_t Segment::FramesFromStation() const {
  return static_cast<size_t>(std::count_if(impl_->recording.begin(), impl_->recording.end(), [](const RecordedFrame& f) {
    return f.direction == RecordedFrame::Direction::FromStation;
  }));
}

bool Segment::WritePcap(const std::string& path) const {
  PcapWriter writer;
  if (!writer.Open(path)) return false;
  for (const auto& f : impl_->recording) writer.Write(f.bytes.data(), f.bytes.size(), f.timeUs);
  return writer.Close();
}

}  // namespace brisfell::sim
