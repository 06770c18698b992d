#include "sim/faults.h"

#include <algorithm>
#include <cstring>

#include "engine/byte_order.h"
#include "engine/frames.h"

namespace brisfell::sim {
namespace {

// The source of stray replies: a switch nobody asked.
constexpr Mac kStrangerMac = {0x02, 0x0B, 0xF1, 0xEE, 0xEE, 0x01};
constexpr Mac kIpv4HostMac = {0x02, 0x0B, 0xF1, 0xDD, 0x00, 0x01};

std::vector<uint8_t> Ipv4Frame(const Mac& destination) {
  std::vector<uint8_t> f(60, 0);
  std::memcpy(f.data(), destination.data(), 6);
  std::memcpy(f.data() + 6, kIpv4HostMac.data(), 6);
  f[12] = 0x08;
  f[13] = 0x00;
  // IPv4 header: UDP from 192.0.2.10 to 192.0.2.255 (the discard port), 18 bytes of payload.
  const uint8_t ip[20] = {0x45, 0x00, 0x00, 0x2E, 0x00, 0x01, 0x00, 0x00, 0x40, 0x11, 0x00, 0x00,
                          192,  0,    2,    10,   192,  0,    2,    255};
  std::memcpy(f.data() + 14, ip, 20);
  uint32_t sum = 0;
  for (int i = 0; i < 20; i += 2) sum += LoadBe16(f.data() + 14 + i);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  StoreBe16(f.data() + 24, static_cast<uint16_t>(~sum));
  const uint8_t udp[8] = {0x30, 0x39, 0x00, 0x09, 0x00, 0x1A, 0x00, 0x00};
  std::memcpy(f.data() + 34, udp, 8);
  return f;
}

}  // namespace

bool Faults::Any() const {
  Faults none;
  none.seed = seed;
  return !(*this == none);
}

// splitmix64: small, seedable and the same everywhere, so fault runs repeat exactly.
uint64_t FaultInjector::Next() {
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

bool FaultInjector::Chance(double p) {
  if (p <= 0) return false;
  if (p >= 1) return true;
  if (!seeded_ || seededWith_ != faults_.seed) {
    state_ = faults_.seed;
    seeded_ = true;
    seededWith_ = faults_.seed;
  }
  return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0) < p;
}

bool FaultInjector::LoseFromStation() { return Chance(faults_.dropToSwitches); }

std::vector<ScheduledFrame> FaultInjector::Deliver(const std::vector<uint8_t>& bytes, int64_t atUs) {
  std::vector<ScheduledFrame> out;
  if (Chance(faults_.dropToStation)) return out;
  int64_t at = atUs + faults_.replyDelayUs;
  const auto reply = DecodeFrame(bytes.data(), bytes.size());
  const bool getReply = reply && reply->opcode == rrcp::kOpGetReply;
  if (getReply && faults_.lateNextReply) {
    faults_.lateNextReply = false;
    at += faults_.lateReplyDelayUs;
  }
  Mac destination{};
  if (bytes.size() >= 6) std::memcpy(destination.data(), bytes.data(), 6);
  // Strays travel with the reply and come first, so a careless filter takes them instead.
  if (Chance(faults_.strayIpv4)) out.push_back({at, Ipv4Frame(destination)});
  auto stray = [&](RrcpFrame f) {
    f.value = ~f.value;
    const Frame s = EncodeFrame(f);
    out.push_back({at, std::vector<uint8_t>(s.begin(), s.end())});
  };
  if (getReply && Chance(faults_.strayOtherRegister)) {
    RrcpFrame f = *reply;
    ++f.reg;
    stray(f);
  }
  if (getReply && Chance(faults_.strayOtherMac)) {
    RrcpFrame f = *reply;
    f.source = kStrangerMac;
    stray(f);
  }
  if (Chance(faults_.strayTruncated)) {
    const size_t keep = getReply ? rrcp::kGetReplyMinLength - 2 : rrcp::kHelloReplyMinLength - 2;
    out.push_back({at, std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(keep, bytes.size())))});
  }
  out.push_back({at, bytes});
  if (Chance(faults_.duplicateReplies)) out.push_back({at + std::max<int64_t>(0, faults_.duplicateDelayUs), bytes});
  return out;
}

}  // namespace brisfell::sim
