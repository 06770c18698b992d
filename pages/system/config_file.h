// The configuration file: a 48-byte header (magic, the switch's MAC address, data offset and
// length, byte-sum checksum) and one 16-byte entry per register (register, saved value, mask,
// power-on default), all numbers little-endian. Encoding and parsing are pure functions over
// byte buffers; reading and writing the file on disk is the page logic's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/profiles.h"
#include "engine/types.h"

namespace brisfell {

inline constexpr const char* kConfigFileMagic = "Ardune QSW File";
constexpr size_t kConfigHeaderSize = 48;
constexpr size_t kConfigEntrySize = 16;
constexpr uint32_t kConfigDataOffset = 48;      // where saves put the entries
constexpr uint32_t kConfigMaxDataLength = 4096;  // 256 entries

// An entry has the four columns of a FactoryDefaultList row: register (low 16 bits), saved
// value (already ANDed with the mask when saved), mask, power-on default.
using ConfigEntry = FactoryDefaultRow;

// The header fields a load looks at.
struct ConfigHeader {
  Mac mac{};
  uint32_t dataOffset = 0;
  uint32_t dataLength = 0;
  uint32_t checksum = 0;
};

struct ConfigFile {
  ConfigHeader header;
  std::vector<ConfigEntry> entries;
};

// What parsing found. `problem` says in words why the bytes are not a configuration file
// ("" when they are); a load shows "Invalid file format!" for every problem.
struct ConfigParse {
  std::optional<ConfigFile> file;
  std::string problem;
  uint32_t dataSum = 0;  // the byte sum of the data area, once it could be read
};

// The file a save writes: data offset 48, the rows in order, reserved bytes zero.
std::vector<uint8_t> EncodeConfigFile(const Mac& mac, const std::vector<ConfigEntry>& rows);

// Sum of the bytes, each unsigned, in a 32-bit number.
uint32_t ByteSum(const uint8_t* data, size_t size);

// The header checks, in the order a load makes them: the header is complete, the magic, the
// data length at most 4096 and a multiple of 16, and the data area inside a file of
// `fileSize` bytes. `head` holds the first `headSize` bytes of the file.
ConfigParse ParseConfigHeader(const uint8_t* head, size_t headSize, uint64_t fileSize);
// The last check, on the `header.dataLength` bytes read at the data offset: the checksum;
// then the entries.
ConfigParse ParseConfigData(const ConfigHeader& header, const uint8_t* data, size_t size);
// Both steps on a whole file in memory.
ConfigParse ParseConfigFile(const uint8_t* data, size_t size);

// Reads and parses a file from disk, reading only the header and the data area. nullopt, with
// `error` saying why (path first), when the file cannot be opened or read: what is not a
// regular file is refused without waiting on it.
std::optional<ConfigParse> ReadConfigFile(const std::string& path, std::string& error);
// The captions of the page controls that show bits of the register, as the pages print them
// (empty where no page table holds it).
std::vector<std::string> ConfigRegisterFields(uint16_t reg);

}  // namespace brisfell
