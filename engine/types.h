// Small value types shared by the link engine and everything above it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/byte_order.h"

namespace brisfell {

using Mac = std::array<uint8_t, 6>;

// The 16-bit authentication key, kept as on the wire: high byte first.
using KeyBytes = std::array<uint8_t, 2>;

constexpr uint16_t kDefaultAuthKey = 0x5A3C;
constexpr KeyBytes kDefaultKeyBytes = {0x5A, 0x3C};

inline uint16_t KeyValue(const KeyBytes& k) { return LoadBe16(k.data()); }
inline KeyBytes KeyBytesOf(uint16_t key) {
  KeyBytes k{};
  StoreBe16(k.data(), key);
  return k;
}

// "%02X:%02X:%02X:%02X:%02X:%02X" with the given separator.
std::string FormatMac(const Mac& mac, char separator = ':');
// Accepts "02:1A:..", "02-1a-..", "021A2B3C4D5E".
std::optional<Mac> ParseMac(const std::string& text);

// printf-style formatting into a std::string, for the system's fixed texts.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace brisfell
