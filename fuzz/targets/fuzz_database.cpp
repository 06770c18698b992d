// The switch database file holds whatever was last written to it, by this console or not.
// Loading any content keeps at most 256 records, each MAC once, and every record kept is one
// of the file's.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/engine.h"

using namespace brisfell;

namespace {

// The database needs no adapter.
class NoDriver : public PacketDriver {
 public:
  std::string GetVersion() override { return "4.1"; }
  bool GetAdapterNames(uint8_t*, uint32_t, bool) override { return false; }
  std::unique_ptr<AdapterHandle> OpenAdapter(const uint8_t*, bool) override { return nullptr; }
  void CloseAdapter(std::unique_ptr<AdapterHandle>) override {}
  bool GetNetType(AdapterHandle&, uint32_t&) override { return false; }
  bool Request(AdapterHandle&, uint32_t, uint8_t*, uint32_t) override { return false; }
  bool SetHwFilter(AdapterHandle&, uint32_t) override { return false; }
  bool SetBuff(AdapterHandle&, uint32_t) override { return false; }
  bool SetReadTimeout(AdapterHandle&, int) override { return false; }
  bool SetNumWrites(AdapterHandle&, int) override { return false; }
  bool SendPacket(AdapterHandle&, Packet&) override { return false; }
  bool ReceivePacket(AdapterHandle&, Packet&) override { return false; }
  void DiscardPending(AdapterHandle&) override {}
};

std::string FilePath() {
  const char* shm = "/dev/shm";
  const std::string dir = access(shm, W_OK) == 0 ? shm : "/tmp";
  return dir + "/brisfell-fuzz-database-" + std::to_string(getpid()) + ".dat";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = FilePath();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  NoDriver driver;
  SystemClock clock;
  Engine engine(driver, clock);
  engine.SetDatabasePath(path);
  bool failed = false;
  engine.SetErrorNotifier([&](const std::string&) { failed = true; });
  engine.LoadSwitchDatabase();
  if (failed) std::abort();  // a regular file of any content loads
  const auto& records = engine.DatabaseRecords();
  if (records.size() > static_cast<size_t>(kMaxDatabaseRecords)) std::abort();
  for (size_t i = 0; i < records.size(); ++i) {
    bool inFile = false;
    for (size_t at = 0; at + 8 <= size && !inFile; at += 8)
      inFile = std::equal(records[i].mac.begin(), records[i].mac.end(), data + at) &&
               records[i].key[0] == data[at + 6] && records[i].key[1] == data[at + 7];
    if (!inFile) std::abort();
    for (size_t j = 0; j < i; ++j)
      if (records[j].mac == records[i].mac) std::abort();
  }
  std::remove(path.c_str());
  return 0;
}
