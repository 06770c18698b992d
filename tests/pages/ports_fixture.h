// What the port and status page tests share: the emulated segment with a page context on
// top, a way to find each model, and a driver that loses the requests for one register a
// given number of times.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/frames.h"
#include "pages/common/page_context.h"
#include "pages/common/prompt.h"
#include "support/sim_fixture.h"

namespace brisfell::testing {

// Passes everything through to the segment, except that the first `drops` get requests for
// `reg` never leave the station.
class DroppingDriver : public PacketDriver {
 public:
  explicit DroppingDriver(PacketDriver& inner) : inner_(inner) {}
  void DropGets(uint16_t reg, int drops) {
    reg_ = reg;
    drops_ = drops;
  }
  int GetsSeen() const { return getsSeen_; }

  std::string GetVersion() override { return inner_.GetVersion(); }
  OsVersion GetOsVersion() override { return inner_.GetOsVersion(); }
  bool GetAdapterNames(uint8_t* b, uint32_t s, bool w) override { return inner_.GetAdapterNames(b, s, w); }
  std::unique_ptr<AdapterHandle> OpenAdapter(const uint8_t* n, bool w) override { return inner_.OpenAdapter(n, w); }
  void CloseAdapter(std::unique_ptr<AdapterHandle> a) override { inner_.CloseAdapter(std::move(a)); }
  bool GetNetType(AdapterHandle& a, uint32_t& t) override { return inner_.GetNetType(a, t); }
  bool Request(AdapterHandle& a, uint32_t oid, uint8_t* d, uint32_t l) override { return inner_.Request(a, oid, d, l); }
  bool SetHwFilter(AdapterHandle& a, uint32_t f) override { return inner_.SetHwFilter(a, f); }
  bool SetBuff(AdapterHandle& a, uint32_t b) override { return inner_.SetBuff(a, b); }
  bool SetReadTimeout(AdapterHandle& a, int ms) override { return inner_.SetReadTimeout(a, ms); }
  std::unique_ptr<Packet> AllocatePacket() override { return inner_.AllocatePacket(); }
  void FreePacket(std::unique_ptr<Packet> p) override { inner_.FreePacket(std::move(p)); }
  bool SetNumWrites(AdapterHandle& a, int c) override { return inner_.SetNumWrites(a, c); }
  bool ReceivePacket(AdapterHandle& a, Packet& p) override { return inner_.ReceivePacket(a, p); }
  void DiscardPending(AdapterHandle& a) override { inner_.DiscardPending(a); }
  std::string LastError() const override { return inner_.LastError(); }

  bool SendPacket(AdapterHandle& a, Packet& p) override {
    if (p.length >= 20 && p.buffer[12] == rrcp::kEtherTypeHigh && p.buffer[13] == rrcp::kEtherTypeLow &&
        p.buffer[15] == rrcp::kOpGet && (p.buffer[18] | p.buffer[19] << 8) == reg_) {
      ++getsSeen_;
      if (drops_ > 0) {
        --drops_;
        return true;  // lost on the way
      }
    }
    return inner_.SendPacket(a, p);
  }

 private:
  PacketDriver& inner_;
  int reg_ = -1;
  int drops_ = 0;
  int getsSeen_ = 0;
};

// The default scenario holds one switch of each model (24, 16 and 26 ports).
struct PortsTest : ::testing::Test {
  SimFixture sim;
  ScriptedPrompt prompt;
  PageContext ctx{sim.engine, prompt};

  void SetUp() override { ASSERT_GT(sim.DiscoverAndSelect(0), 0); }

  // Makes the first switch with `ports` ports current and forgets what it logged so far.
  sim::EmulatedSwitch& Use(int ports) {
    const int index = sim.IndexOfPortCount(ports);
    EXPECT_GE(index, 0) << "no " << ports << "-port switch in the scenario";
    sim.Select(index);
    auto& sw = sim.Emulated(index);
    sw.ClearLog();
    return sw;
  }
  const SwitchRecord& Record() const { return *ctx.Record(); }
  // Shown row of a chip port on the current switch.
  int Row(int chip) const { return sim.engine.MapChipToPort(ctx.Switch(), chip); }

  static std::vector<uint16_t> ReadOrder(const sim::EmulatedSwitch& sw) {
    std::vector<uint16_t> regs;
    for (const auto& r : sw.ReadLog()) regs.push_back(r.reg);
    return regs;
  }
  static std::vector<uint16_t> WriteOrder(const sim::EmulatedSwitch& sw) {
    std::vector<uint16_t> regs;
    for (const auto& w : sw.WriteLog()) regs.push_back(w.reg);
    return regs;
  }
  static std::vector<uint16_t> Range(uint16_t first, int count) {
    std::vector<uint16_t> regs;
    for (int i = 0; i < count; ++i) regs.push_back(static_cast<uint16_t>(first + i));
    return regs;
  }
};

inline std::vector<uint16_t> operator+(std::vector<uint16_t> a, const std::vector<uint16_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace brisfell::testing
