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
#include "engine/no_wire_driver.h"

using namespace brisfell;

namespace {

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

  NoWireDriver driver;  // the database needs no adapter
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
    // A switch may be remembered under two keys (a key change not yet confirmed), never twice
    // under the same one.
    for (size_t j = 0; j < i; ++j)
      if (records[j].mac == records[i].mac && records[j].key == records[i].key) std::abort();
  }
  std::remove(path.c_str());
  return 0;
}
