// fuzz-links: pages
// A configuration file comes from anywhere: any bytes either parse into entries that lie
// inside the file and match its checksum, or are refused with a reason. What parses encodes
// back into a file that parses to the same entries.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "pages/system/config_file.h"

using namespace brisfell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const ConfigParse parsed = ParseConfigFile(data, size);
  if (!parsed.file) {
    if (parsed.problem.empty()) std::abort();  // a refusal always says why
    return 0;
  }
  if (!parsed.problem.empty()) std::abort();
  const ConfigHeader& h = parsed.file->header;
  if (static_cast<uint64_t>(h.dataOffset) + h.dataLength > size) std::abort();
  if (h.dataLength > kConfigMaxDataLength || h.dataLength % kConfigEntrySize != 0) std::abort();
  if (parsed.file->entries.size() != h.dataLength / kConfigEntrySize) std::abort();
  if (ByteSum(data + h.dataOffset, h.dataLength) != h.checksum) std::abort();

  const std::vector<uint8_t> again = EncodeConfigFile(h.mac, parsed.file->entries);
  const ConfigParse reparsed = ParseConfigFile(again.data(), again.size());
  if (!reparsed.file || reparsed.file->header.mac != h.mac) std::abort();
  const auto& a = parsed.file->entries;
  const auto& b = reparsed.file->entries;
  if (a.size() != b.size()) std::abort();
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].reg != b[i].reg || a[i].value != b[i].value || a[i].mask != b[i].mask) std::abort();
  return 0;
}
