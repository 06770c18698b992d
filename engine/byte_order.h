// Every multi-byte number the system puts on the wire or into a file goes through here:
// RRCP fields, capture headers, pcap records, EEPROM words and configuration files are
// little-endian; the authentication key (see types.h) and IPv4 headers are big-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace brisfell {

inline uint16_t LoadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t LoadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
inline void StoreLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v & 0xFF);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void StoreLe32(uint8_t* p, uint32_t v) {
  for (size_t i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

inline uint16_t LoadBe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
inline uint32_t LoadBe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
         static_cast<uint32_t>(p[3]);
}
inline void StoreBe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v & 0xFF);
}

// Appending to a growing buffer (file headers and records).
inline void AppendLe16(std::vector<uint8_t>& out, uint16_t v) {
  out.resize(out.size() + 2);
  StoreLe16(out.data() + out.size() - 2, v);
}
inline void AppendLe32(std::vector<uint8_t>& out, uint32_t v) {
  out.resize(out.size() + 4);
  StoreLe32(out.data() + out.size() - 4, v);
}

}  // namespace brisfell
