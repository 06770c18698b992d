#include "engine/pcap/pcap_driver.h"

#include <pcap/pcap.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "engine/frames.h"
#include "engine/pcap/adapter_list.h"
#include "engine/pcap/pcap_port.h"

namespace brisfell {

using pcapdrv::PcapPort;
using Steady = std::chrono::steady_clock;

class PcapDriver::Handle : public AdapterHandle {
 public:
  std::unique_ptr<PcapPort> port;
  int64_t readTimeoutUs = 0;
  int numWrites = 1;
  bool failed = false;  // not worth keeping for the next open
};

PcapDriver::PcapDriver() = default;
PcapDriver::~PcapDriver() = default;

namespace {

// Captured frames never exceed the snap length, so a record never exceeds this.
constexpr size_t kLargestRecord = CapturedRecordSize(pcapdrv::kSnapLength);

int64_t RemainingUs(Steady::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::microseconds>(deadline - Steady::now()).count();
  return left > 0 ? left : 0;
}

}  // namespace

bool PcapDriver::Fail(const std::string& why) {
  lastError_ = why;
  return false;
}

bool PcapDriver::Fail(Handle& handle) {
  handle.failed = true;
  return Fail(handle.port->Error());
}

PcapDriver::Handle* PcapDriver::Own(AdapterHandle& adapter) {
  auto* h = dynamic_cast<Handle*>(&adapter);
  if (!h) lastError_ = "the adapter does not belong to the libpcap driver";
  return h;
}

std::string PcapDriver::GetVersion() {
  // The engine reads the major number at character 0: 4 selects the 8-bit name list.
  return std::string("4.x ") + pcap_lib_version();
}

bool PcapDriver::GetAdapterNames(uint8_t* buffer, uint32_t size, bool wide) {
  char err[PCAP_ERRBUF_SIZE] = {};
  pcap_if_t* all = nullptr;
  if (pcap_findalldevs(&all, err) != 0) return Fail(std::string("cannot list the adapters: ") + err);
  std::vector<pcapdrv::InterfaceInfo> adapters;
  for (pcap_if_t* d = all; d; d = d->next) {
    pcapdrv::InterfaceInfo info;
    info.name = d->name ? d->name : "";
    info.pcapDescription = d->description ? d->description : "";
    info.loopback = (d->flags & PCAP_IF_LOOPBACK) != 0;
    pcapdrv::QueryInterface(info);
    if (pcapdrv::IsEthernetInterface(info)) adapters.push_back(std::move(info));
  }
  pcap_freealldevs(all);
  if (!pcapdrv::WriteNameList(adapters, buffer, size, wide)) return Fail("the adapter list does not fit its buffer");
  return true;
}

std::unique_ptr<AdapterHandle> PcapDriver::OpenAdapter(const uint8_t* name, bool wide) {
  const std::string interfaceName = pcapdrv::NameFromSlot(name, wide);
  if (interfaceName.empty()) {
    Fail("no adapter name");
    return nullptr;
  }
  auto handle = std::make_unique<Handle>();
  if (parked_ && parked_->InterfaceName() == interfaceName && parked_->Healthy()) {
    handle->port = std::move(parked_);
    auto drop = [](const pcapdrv::CapturedFrame&) {};
    if (handle->port->Drain(drop) < 0) handle->port.reset();
  }
  parked_.reset();
  if (!handle->port) {
    handle->port = std::make_unique<PcapPort>();
    if (!handle->port->Open(interfaceName, driver::kKernelBuffer)) {
      Fail(handle->port->Error());
      return nullptr;
    }
  }
  lastError_.clear();
  return handle;
}

void PcapDriver::CloseAdapter(std::unique_ptr<AdapterHandle> adapter) {
  auto* h = adapter ? dynamic_cast<Handle*>(adapter.get()) : nullptr;
  if (h && h->port && h->port->IsOpen() && !h->failed) parked_ = std::move(h->port);
  adapter.reset();
}

bool PcapDriver::GetNetType(AdapterHandle& adapter, uint32_t& linkType) {
  Handle* h = Own(adapter);
  if (!h) return false;
  const int dlt = h->port->LinkType();
  if (dlt == pcapdrv::kDltEthernet) {
    linkType = driver::kLinkTypeEthernet;
    return true;
  }
  // Any non-zero value: the engine only asks whether this is Ethernet.
  linkType = 1000 + static_cast<uint32_t>(dlt < 0 ? 0 : dlt);
  const char* dltName = pcap_datalink_val_to_name(dlt);
  lastError_ = h->port->InterfaceName() + ": not an Ethernet adapter (link type " +
               (dltName ? dltName : std::to_string(dlt)) + ")";
  return true;
}

bool PcapDriver::Request(AdapterHandle& adapter, uint32_t oid, uint8_t* data, uint32_t length) {
  Handle* h = Own(adapter);
  if (!h) return false;
  if (oid != driver::kOidStationAddress || length < 6 || !data)
    return Fail("unsupported adapter request 0x" + Format("%08X", oid));
  const auto mac = h->port->HardwareAddress();
  if (!mac) return Fail(*h);
  std::memcpy(data, mac->data(), 6);
  return true;
}

bool PcapDriver::SetHwFilter(AdapterHandle& adapter, uint32_t filter) {
  if (!Own(adapter)) return false;
  // A non-promiscuous capture receives exactly what is sent by or addressed to this station.
  if (filter != driver::kHwFilterAllLocal) return Fail(Format("unsupported packet filter 0x%X", filter));
  return true;
}

bool PcapDriver::SetBuff(AdapterHandle& adapter, uint32_t bytes) {
  if (!Own(adapter)) return false;
  // The kernel buffer was sized when the handle was opened (libpcap cannot resize it later).
  if (bytes > driver::kKernelBuffer) return Fail(Format("a kernel buffer of %u bytes was not reserved", bytes));
  return true;
}

bool PcapDriver::SetReadTimeout(AdapterHandle& adapter, int milliseconds) {
  Handle* h = Own(adapter);
  if (!h) return false;
  return SetReadTimeoutUs(*h, static_cast<int64_t>(milliseconds) * 1000);
}

bool PcapDriver::SetReadTimeoutUs(AdapterHandle& adapter, int64_t microseconds) {
  Handle* h = Own(adapter);
  if (!h) return false;
  // Only stored: every register read sets it, and it costs no system call this way.
  h->readTimeoutUs = microseconds < 0 ? 0 : microseconds;
  return true;
}

bool PcapDriver::SetNumWrites(AdapterHandle& adapter, int count) {
  Handle* h = Own(adapter);
  if (!h) return false;
  if (count < 1) return Fail("the number of writes must be at least 1");
  h->numWrites = count;
  return true;
}

bool PcapDriver::SendPacket(AdapterHandle& adapter, Packet& packet) {
  Handle* h = Own(adapter);
  if (!h) return false;
  if (!packet.buffer || packet.length == 0) return Fail("nothing to send");
  const uint8_t* frame = packet.buffer;
  size_t length = packet.length;
  // Some interfaces (veth, bridges) do not pad short frames themselves.
  uint8_t padded[kFrameSize] = {};
  if (length < kFrameSize) {
    std::memcpy(padded, frame, length);
    frame = padded;
    length = kFrameSize;
  }
  for (int i = 0; i < h->numWrites; ++i)
    if (!h->port->Send(frame, length)) return Fail(*h);
  return true;
}

bool PcapDriver::ReceivePacket(AdapterHandle& adapter, Packet& packet) {
  Handle* h = Own(adapter);
  if (!h) return false;
  packet.bytesReceived = 0;
  if (!packet.buffer || packet.length < capture::kAlignedHeader + kFrameSize) return Fail("the receive buffer is too small");
  const size_t capacity = packet.length;
  const int maxFrames = static_cast<int>(std::max<size_t>(1, capacity / kLargestRecord));
  const auto deadline = Steady::now() + std::chrono::microseconds(h->readTimeoutUs);

  auto pack = [&](const pcapdrv::CapturedFrame& f) {
    if (batch_.size() + CapturedRecordSize(f.capturedLength) > capacity) return;  // only when the caller's buffer is tiny
    AppendCaptured(batch_, f.data, f.capturedLength, f.timestampUs);
  };
  // Frames already in the capture ring are taken without waiting (no system call for a wait
  // when replies come back to back).
  for (bool waited = false;; waited = true) {
    batch_.clear();
    if (h->port->Drain(pack, maxFrames) < 0) return Fail(*h);
    if (!batch_.empty()) {
      std::memcpy(packet.buffer, batch_.data(), batch_.size());
      packet.bytesReceived = static_cast<uint32_t>(batch_.size());
      return true;
    }
    const int64_t remaining = RemainingUs(deadline);
    if (remaining == 0 && waited) return true;
    if (h->port->WaitUs(remaining) < 0) return Fail(*h);
  }
}

void PcapDriver::DiscardPending(AdapterHandle& adapter) {
  Handle* h = Own(adapter);
  if (!h) return;
  auto drop = [](const pcapdrv::CapturedFrame&) {};
  if (h->port->Drain(drop) < 0) h->failed = true;
}

}  // namespace brisfell
