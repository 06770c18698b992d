#include "engine/types.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <vector>

namespace brisfell {

std::string FormatMac(const Mac& mac, char separator) {
  char buf[18];
  std::snprintf(buf, sizeof buf, "%02X%c%02X%c%02X%c%02X%c%02X%c%02X", mac[0], separator, mac[1],
                separator, mac[2], separator, mac[3], separator, mac[4], separator, mac[5]);
  return buf;
}

std::optional<Mac> ParseMac(const std::string& text) {
  std::string hex;
  for (char c : text) {
    if (std::isxdigit(static_cast<unsigned char>(c))) {
      hex += c;
    } else if (c != ':' && c != '-' && c != '.') {
      return std::nullopt;
    }
  }
  if (hex.size() != 12) return std::nullopt;
  // With separators, each group must be exactly two digits ("2:3:..." is not a MAC here).
  if (hex.size() != text.size() && text.size() != 17) return std::nullopt;
  Mac mac{};
  for (int i = 0; i < 6; ++i) mac[i] = static_cast<uint8_t>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
  return mac;
}

std::string Format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  std::string out;
  if (n > 0) {
    std::vector<char> buf(static_cast<size_t>(n) + 1);
    std::vsnprintf(buf.data(), buf.size(), fmt, args);
    out.assign(buf.data(), static_cast<size_t>(n));
  }
  va_end(args);
  return out;
}

}  // namespace brisfell
