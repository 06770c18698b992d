// A scripted packet driver for engine tests: a programmable adapter list, failures on demand,
// a log of every frame sent, and answers produced by a responder function with an arrival
// time on a manual clock.
#pragma once

#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "engine/clock.h"
#include "engine/frames.h"
#include "engine/packet_driver.h"

namespace brisfell::testing {

class ManualClock : public Clock {
 public:
  int64_t NowUs() override { return now; }
  void SleepUs(int64_t us) override {
    if (us > 0) now += us;
    slept += us;
  }
  int64_t now = 5'000'000;
  int64_t slept = 0;
};

class FakeDriver : public PacketDriver {
 public:
  struct Handle : AdapterHandle {
    std::string name;
    int64_t readTimeoutUs = 0;
  };
  struct Arrival {
    int64_t atUs;
    std::vector<uint8_t> frame;
  };

  explicit FakeDriver(ManualClock& clock) : clock_(clock) {}

  // --- script ---
  std::string version = "4.1";
  OsVersion os{};
  std::vector<std::string> names = {"fake0"};
  std::vector<std::string> descriptions = {"Fake adapter"};
  bool listFails = false;
  bool openFails = false;
  uint32_t netType = 0;
  bool requestFails = false;
  bool hwFilterFails = false;
  bool buffFails = false;
  bool timeoutFails = false;
  bool receiveFails = false;
  bool allocateFails = false;
  bool sendFails = false;  // the driver refuses to send (the interface went away)
  Mac station = {0x02, 0, 0, 0, 0, 0x01};
  // Called for every frame sent; returns frames to deliver and their delay in microseconds.
  std::function<std::vector<std::pair<int64_t, std::vector<uint8_t>>>(const std::vector<uint8_t>&)> respond;

  // --- observations ---
  std::vector<std::vector<uint8_t>> sent;
  std::vector<int64_t> sentAt;  // when each was sent
  int opens = 0;
  int closes = 0;
  int openHandles = 0;
  std::vector<int> readTimeouts;
  int discards = 0;

  void Deliver(std::vector<uint8_t> frame, int64_t delayUs = 0) {
    queue_.push_back({clock_.NowUs() + delayUs, std::move(frame)});
  }
  void DeliverRaw(std::vector<uint8_t> batch) { rawBatches_.push_back(std::move(batch)); }

  std::string GetVersion() override { return version; }
  OsVersion GetOsVersion() override { return os; }

  bool GetAdapterNames(uint8_t* buffer, uint32_t size, bool wide) override {
    if (listFails) return false;
    std::vector<uint8_t> out;
    for (const auto& n : names) {
      for (char c : n) {
        out.push_back(static_cast<uint8_t>(c));
        if (wide) out.push_back(0);
      }
      out.push_back(0);
      if (wide) out.push_back(0);
    }
    out.push_back(0);
    if (wide) out.push_back(0);
    for (const auto& d : descriptions) {
      out.insert(out.end(), d.begin(), d.end());
      out.push_back(0);
    }
    if (out.size() > size) out.resize(size);
    std::memcpy(buffer, out.data(), out.size());
    return true;
  }

  std::unique_ptr<AdapterHandle> OpenAdapter(const uint8_t* name, bool wide) override {
    ++opens;
    if (openFails) return nullptr;
    auto h = std::make_unique<Handle>();
    for (size_t i = 0; name[i] != 0; i += wide ? 2 : 1) h->name += static_cast<char>(name[i]);
    ++openHandles;
    return h;
  }
  void CloseAdapter(std::unique_ptr<AdapterHandle> adapter) override {
    if (adapter) {
      ++closes;
      --openHandles;
    }
  }
  bool GetNetType(AdapterHandle&, uint32_t& linkType) override {
    linkType = netType;
    return true;
  }
  bool Request(AdapterHandle&, uint32_t oid, uint8_t* data, uint32_t length) override {
    if (requestFails || oid != driver::kOidStationAddress || length != 6) return false;
    std::memcpy(data, station.data(), 6);
    return true;
  }
  bool SetHwFilter(AdapterHandle&, uint32_t) override { return !hwFilterFails; }
  bool SetBuff(AdapterHandle&, uint32_t) override { return !buffFails; }
  bool SetReadTimeout(AdapterHandle& a, int ms) override {
    if (timeoutFails) return false;
    static_cast<Handle&>(a).readTimeoutUs = static_cast<int64_t>(ms) * 1000;
    readTimeouts.push_back(ms);
    return true;
  }
  bool SetReadTimeoutUs(AdapterHandle& a, int64_t us) override {
    if (timeoutFails) return false;
    static_cast<Handle&>(a).readTimeoutUs = us;
    return true;
  }
  std::unique_ptr<Packet> AllocatePacket() override {
    if (allocateFails) return nullptr;
    return std::make_unique<Packet>();
  }
  bool SetNumWrites(AdapterHandle&, int) override { return true; }
  bool SendPacket(AdapterHandle&, Packet& p) override {
    if (sendFails) return false;
    std::vector<uint8_t> frame(p.buffer, p.buffer + p.length);
    sent.push_back(frame);
    sentAt.push_back(clock_.NowUs());
    if (respond)
      for (auto& [delay, reply] : respond(frame)) Deliver(std::move(reply), delay);
    return true;
  }
  bool ReceivePacket(AdapterHandle& a, Packet& p) override {
    if (receiveFails) return false;
    if (!rawBatches_.empty()) {
      auto batch = std::move(rawBatches_.front());
      rawBatches_.pop_front();
      std::memcpy(p.buffer, batch.data(), batch.size());
      p.bytesReceived = static_cast<uint32_t>(batch.size());
      return true;
    }
    const int64_t deadline = clock_.NowUs() + static_cast<Handle&>(a).readTimeoutUs;
    int64_t next = INT64_MAX;
    for (const auto& q : queue_) next = std::min(next, q.atUs);
    if (next > deadline) {
      clock_.SleepUs(deadline - clock_.NowUs());
      p.bytesReceived = 0;
      return true;
    }
    if (next > clock_.NowUs()) clock_.SleepUs(next - clock_.NowUs());
    std::vector<uint8_t> batch;
    for (auto it = queue_.begin(); it != queue_.end();) {
      if (it->atUs <= clock_.NowUs()) {
        AppendCaptured(batch, it->frame.data(), it->frame.size(), it->atUs);
        it = queue_.erase(it);
      } else {
        ++it;
      }
    }
    std::memcpy(p.buffer, batch.data(), batch.size());
    p.bytesReceived = static_cast<uint32_t>(batch.size());
    return true;
  }
  std::string LastError() const override { return sendFails ? "fake0: send failed: No such device" : ""; }
  void DiscardPending(AdapterHandle&) override {
    ++discards;
    for (auto it = queue_.begin(); it != queue_.end();)
      it = it->atUs <= clock_.NowUs() ? queue_.erase(it) : std::next(it);
  }

 private:
  ManualClock& clock_;
  std::deque<Arrival> queue_;
  std::deque<std::vector<uint8_t>> rawBatches_;
};

inline std::vector<uint8_t> ToVector(const Frame& f) { return {f.begin(), f.end()}; }

}  // namespace brisfell::testing
