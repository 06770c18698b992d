// Switches on a scripted segment for discovery and database tests: hellos answered when the
// key matches, the EEPROM registers answered from a tiny EEPROM model (bytes 26..29 hold the
// vendor copy), and the switch database in a private folder.
#pragma once

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "fake_driver.h"

namespace brisfell::testing {

inline Mac MacOf(int i) { return {0x02, 0x20, 0, 0, static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i)}; }

struct FakeSwitch {
  Mac mac;
  uint32_t vendor = 0x6B2D7001;
  KeyBytes key = kDefaultKeyBytes;
  std::array<uint8_t, 4> eepromVendor = {0, 0, 0, 0};
  bool eepromAnswers = true;
  uint8_t downLink = 0, upLink = 0;
  int lostHelloReplies = 0;  // this many of its hello replies are lost on the way
};

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/brisfell-engine-XXXXXX";
    path_ = mkdtemp(tmpl);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Switches on a fake segment: hellos answered when the key matches, gets of the EEPROM
// registers answered from a tiny EEPROM model (bytes 26..29 hold the vendor copy).
struct Segment {
  ManualClock clock;
  FakeDriver driver{clock};
  Engine engine{driver, clock};
  std::vector<FakeSwitch> switches;
  std::map<Mac, uint16_t> eepromAddress;
  int duplicateHelloReplies = 0;
  TempDir dir;
  std::vector<std::string> messages;

  Segment() {
    engine.SetDatabasePath(dir.File("qswrec.dat"));
    engine.SetErrorNotifier([this](const std::string& m) { messages.push_back(m); });
    driver.respond = [this](const std::vector<uint8_t>& bytes) {
      std::vector<std::pair<int64_t, std::vector<uint8_t>>> out;
      const auto f = DecodeFrame(bytes.data(), bytes.size());
      if (!f) return out;
      int delay = 1000;
      for (auto& sw : switches) {
        delay += 100;
        if (f->destination != sw.mac && !(f->opcode == rrcp::kOpHello && f->destination == kBroadcastMac)) continue;
        if (f->key != sw.key) continue;
        if (f->opcode == rrcp::kOpHello) {
          HelloReply r;
          r.source = sw.mac;
          r.key = sw.key;
          r.vendorId = sw.vendor;
          r.downLinkPort = sw.downLink;
          r.upLinkPort = sw.upLink;
          if (sw.lostHelloReplies > 0) {
            --sw.lostHelloReplies;
            continue;
          }
          for (int k = 0; k <= duplicateHelloReplies; ++k)
            out.emplace_back(delay + k, ToVector(BuildHelloReply(driver.station, r)));
        } else if (f->opcode == rrcp::kOpSet && f->reg == kRegEepromControl) {
          eepromAddress[sw.mac] = static_cast<uint16_t>(f->value & kEepromAddressMask);
        } else if (f->opcode == rrcp::kOpGet && sw.eepromAnswers) {
          uint32_t v = 0;
          const uint16_t a = eepromAddress[sw.mac];
          if (f->reg == kRegEepromData && a >= kEepromVendorCopy && a < kEepromVendorCopy + 4)
            v = reg_bit::kEepromByteRead.With(0, sw.eepromVendor[a - kEepromVendorCopy]);
          if (f->reg == kRegEepromControl) v = a | kEepromReadCommand;  // the read command, done
          out.emplace_back(delay, ToVector(BuildGetReply(driver.station, sw.mac, sw.key, f->reg, v)));
        }
      }
      return out;
    };
    engine.EnumerateAdapters();
  }

  void WriteDatabase(const std::vector<std::pair<Mac, KeyBytes>>& records, size_t extraBytes = 0) {
    std::ofstream out(dir.File("qswrec.dat"), std::ios::binary | std::ios::trunc);
    for (auto& [mac, key] : records) {
      out.write(reinterpret_cast<const char*>(mac.data()), 6);
      out.write(reinterpret_cast<const char*>(key.data()), 2);
    }
    for (size_t i = 0; i < extraBytes; ++i) out.put('\x7F');
  }

  std::vector<std::pair<Mac, KeyBytes>> ReadDatabase() {
    std::ifstream in(dir.File("qswrec.dat"), std::ios::binary);
    std::vector<std::pair<Mac, KeyBytes>> out;
    char rec[8];
    while (in.read(rec, 8)) {
      Mac m;
      std::copy(rec, rec + 6, m.begin());
      out.push_back({m, {static_cast<uint8_t>(rec[6]), static_cast<uint8_t>(rec[7])}});
    }
    return out;
  }
};

}  // namespace brisfell::testing
