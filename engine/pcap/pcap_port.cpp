#include "engine/pcap/pcap_port.h"

#include <linux/if_packet.h>
#include <net/if.h>
#include <pcap/pcap.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "engine/pcap/adapter_list.h"

#ifndef PACKET_IGNORE_OUTGOING
#define PACKET_IGNORE_OUTGOING 23
#endif

namespace brisfell::pcapdrv {
namespace {

constexpr const char* kRrcpFilter = "ether proto 0x8899";

struct DrainContext {
  void (*visit)(void*, const CapturedFrame&);
  void* context;
};

void OnFrame(u_char* user, const pcap_pkthdr* header, const u_char* bytes) {
  auto* c = reinterpret_cast<DrainContext*>(user);
  CapturedFrame f;
  f.data = bytes;
  f.capturedLength = header->caplen;
  f.wireLength = header->len;
  f.timestampUs = static_cast<int64_t>(header->ts.tv_sec) * 1'000'000 + header->ts.tv_usec;
  c->visit(c->context, f);
}

}  // namespace

std::string ProgramPath() {
  std::vector<char> buf(4096);
  const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  return n > 0 ? std::string(buf.data(), static_cast<size_t>(n)) : std::string();
}

bool QueryInterface(InterfaceInfo& info) {
  if (info.name.empty() || info.name.size() >= IFNAMSIZ) return false;
  const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (s < 0) return false;
  ifreq request{};
  std::strncpy(request.ifr_name, info.name.c_str(), IFNAMSIZ - 1);
  bool ok = ioctl(s, SIOCGIFHWADDR, &request) == 0;
  if (ok) {
    info.hardwareType = request.ifr_hwaddr.sa_family;
    if (info.hardwareType == kArpHardwareEthernet) {
      Mac mac{};
      std::memcpy(mac.data(), request.ifr_hwaddr.sa_data, 6);
      info.mac = mac;
    }
    if (ioctl(s, SIOCGIFFLAGS, &request) == 0 && (request.ifr_flags & IFF_LOOPBACK)) info.loopback = true;
  }
  close(s);
  return ok;
}

PcapPort::~PcapPort() { Close(); }

bool PcapPort::Fail(const std::string& why) {
  error_ = why;
  Close();
  return false;
}

void PcapPort::Close() {
  if (pcap_) pcap_close(pcap_);
  pcap_ = nullptr;
  fd_ = -1;
  linkType_ = -1;
}

bool PcapPort::Open(const std::string& interfaceName, uint32_t bufferBytes) {
  Close();
  name_ = interfaceName;
  error_.clear();
  char err[PCAP_ERRBUF_SIZE] = {};
  pcap_ = pcap_create(interfaceName.c_str(), err);
  if (!pcap_) return Fail(interfaceName + ": " + err);
  pcap_set_snaplen(pcap_, kSnapLength);
  pcap_set_promisc(pcap_, 0);
  // Each frame is handed over as soon as it arrives, not when a block fills or a timer runs out.
  pcap_set_immediate_mode(pcap_, 1);
  pcap_set_buffer_size(pcap_, static_cast<int>(bufferBytes));
  const int rc = pcap_activate(pcap_);
  if (rc < 0) {
    const std::string detail = pcap_geterr(pcap_);
    switch (rc) {
      case PCAP_ERROR_PERM_DENIED:
        return Fail(PermissionDeniedText(interfaceName, ProgramPath()));
      case PCAP_ERROR_NO_SUCH_DEVICE:
        return Fail(interfaceName + ": no such interface");
      case PCAP_ERROR_IFACE_NOT_UP:
        return Fail(interfaceName + ": the interface is down (ip link set " + interfaceName + " up)");
      default:
        return Fail(interfaceName + ": " + (detail.empty() ? std::string(pcap_statustostr(rc)) : detail));
    }
  }
  linkType_ = pcap_datalink(pcap_);
  if (linkType_ == kDltEthernet) {
    bpf_program program{};
    if (pcap_compile(pcap_, &program, kRrcpFilter, 1, PCAP_NETMASK_UNKNOWN) != 0)
      return Fail(interfaceName + ": cannot compile the capture filter: " + pcap_geterr(pcap_));
    const int set = pcap_setfilter(pcap_, &program);
    pcap_freecode(&program);
    if (set != 0) return Fail(interfaceName + ": cannot set the capture filter: " + pcap_geterr(pcap_));
  }
  // Our own frames would only be skipped later; better the kernel never queues them. The
  // socket option spares the wake-up too; the direction setting covers older kernels.
  pcap_setdirection(pcap_, PCAP_D_IN);
  const int one = 1;
  setsockopt(pcap_fileno(pcap_), SOL_PACKET, PACKET_IGNORE_OUTGOING, &one, sizeof one);
  if (pcap_setnonblock(pcap_, 1, err) != 0) return Fail(interfaceName + ": " + err);
  fd_ = pcap_get_selectable_fd(pcap_);
  if (fd_ < 0) return Fail(interfaceName + ": the capture handle cannot be waited on");
  return true;
}

std::optional<Mac> PcapPort::HardwareAddress() {
  if (!pcap_) return std::nullopt;
  ifreq request{};
  std::strncpy(request.ifr_name, name_.c_str(), IFNAMSIZ - 1);
  if (ioctl(pcap_fileno(pcap_), SIOCGIFHWADDR, &request) != 0) {
    error_ = name_ + ": cannot read the interface's address: " + std::strerror(errno);
    return std::nullopt;
  }
  Mac mac{};
  std::memcpy(mac.data(), request.ifr_hwaddr.sa_data, 6);
  return mac;
}

bool PcapPort::Send(const uint8_t* frame, size_t length) {
  if (!pcap_) {
    error_ = "the adapter is not open";
    return false;
  }
  if (pcap_inject(pcap_, frame, length) < 0) {
    error_ = name_ + ": send failed: " + pcap_geterr(pcap_);
    return false;
  }
  return true;
}

int PcapPort::WaitUs(int64_t timeoutUs) {
  if (fd_ < 0) {
    error_ = "the adapter is not open";
    return -1;
  }
  pollfd p{fd_, POLLIN, 0};
  if (timeoutUs < 0) timeoutUs = 0;
  const timespec wait{static_cast<time_t>(timeoutUs / 1'000'000), static_cast<long>(timeoutUs % 1'000'000 * 1000)};
  for (;;) {
    const int n = ppoll(&p, 1, &wait, nullptr);
    if (n < 0 && errno == EINTR) return 0;  // the caller looks at its clock and waits again
    if (n < 0) {
      error_ = name_ + ": " + std::strerror(errno);
      return -1;
    }
    if (n == 0) return 0;
    if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) {
      // Let libpcap say what happened (typically "the interface went down").
      const int d = pcap_dispatch(pcap_, 1, [](u_char*, const pcap_pkthdr*, const u_char*) {}, nullptr);
      error_ = name_ + ": " + (d < 0 ? std::string(pcap_geterr(pcap_)) : "the interface is no longer usable");
      return -1;
    }
    return 1;
  }
}

bool PcapPort::Healthy() const {
  if (fd_ < 0) return false;
  pollfd p{fd_, POLLIN, 0};
  return poll(&p, 1, 0) >= 0 && !(p.revents & (POLLERR | POLLHUP | POLLNVAL));
}

int PcapPort::DrainRaw(void (*visit)(void*, const CapturedFrame&), void* context, int maxFrames) {
  if (!pcap_) {
    error_ = "the adapter is not open";
    return -1;
  }
  DrainContext c{visit, context};
  const int n = pcap_dispatch(pcap_, maxFrames, OnFrame, reinterpret_cast<u_char*>(&c));
  if (n == PCAP_ERROR_BREAK) return 0;
  if (n < 0) {
    error_ = name_ + ": " + pcap_geterr(pcap_);
    return -1;
  }
  return n;
}

}  // namespace brisfell::pcapdrv
