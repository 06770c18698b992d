#include "cli/parse.h"

#include <algorithm>
#include <cctype>

#include "engine/types.h"

namespace brisfell::cli {
namespace {

constexpr int kPlainPorts = 24;

bool IsHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }
bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

}  // namespace

std::optional<uint32_t> ParseNumber(const std::string& text) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string digits = hex ? text.substr(2) : text;
  if (digits.empty()) return std::nullopt;
  uint64_t value = 0;
  for (char c : digits) {
    if (hex ? !IsHexDigit(c) : !IsDigit(c)) return std::nullopt;
    const int d = IsDigit(c) ? c - '0' : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
    value = value * (hex ? 16 : 10) + static_cast<uint64_t>(d);
    if (value > 0xFFFFFFFFull) return std::nullopt;
  }
  return static_cast<uint32_t>(value);
}

uint32_t NumberArg(const std::string& text, const std::string& what, uint32_t min, uint32_t max) {
  const auto n = ParseNumber(text);
  if (!n || *n < min || *n > max)
    throw UsageError(Format("bad %s: %s (%u to %u)", what.c_str(), text.c_str(), min, max));
  return *n;
}

std::optional<NumberRange> ParseNumberRange(const std::string& text, uint32_t max) {
  const size_t dash = text.find('-');
  const auto first = ParseNumber(text.substr(0, dash));
  const auto last = dash == std::string::npos ? first : ParseNumber(text.substr(dash + 1));
  if (!first || !last || *first > max || *last > max || *first > *last) return std::nullopt;
  return NumberRange{*first, *last};
}

std::optional<int> ParsePortName(const std::string& text) {
  if (text.size() >= 2 && (text[0] == 'G' || text[0] == 'g')) {
    const auto n = ParseNumber(text.substr(1));
    if (!n || *n < 1 || *n > kMaxPortPositions - kPlainPorts) return std::nullopt;
    return kPlainPorts - 1 + static_cast<int>(*n);
  }
  const auto n = ParseNumber(text);
  if (!n || *n < 1 || *n > kPlainPorts) return std::nullopt;
  return static_cast<int>(*n) - 1;
}

std::optional<std::vector<int>> ParsePortNames(const std::string& text) {
  std::vector<int> out;
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    const size_t dash = item.find('-');
    const auto first = ParsePortName(item.substr(0, dash));
    const auto last = dash == std::string::npos ? first : ParsePortName(item.substr(dash + 1));
    if (!first || !last || *first > *last) return std::nullopt;
    for (int p = *first; p <= *last; ++p) out.push_back(p);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

std::string PortRangeText(int portCount) {
  if (portCount <= 0) return "no ports";
  std::string text = Format("1-%d", std::min(portCount, kPlainPorts));
  for (int p = kPlainPorts; p < std::min(portCount, kMaxPortPositions); ++p) text += Format(", G%d", p - kPlainPorts + 1);
  return text;
}

int PortOn(const std::string& text, int portCount) {
  const auto p = ParsePortName(text);
  if (!p || *p >= portCount)
    throw UsageError("bad port: " + text + " (this switch has ports " + PortRangeText(portCount) + ")");
  return *p;
}

std::vector<int> PortsOn(const std::string& text, int portCount) {
  const auto list = ParsePortNames(text);
  if (!list || list->back() >= portCount)
    throw UsageError("bad port list: " + text + " (this switch has ports " + PortRangeText(portCount) + ")");
  return *list;
}

CLI::Validator NumberCheck(const std::string& what, uint32_t min, uint32_t max) {
  return CLI::Validator(
      [what, min, max](std::string& text) -> std::string {
        const auto n = ParseNumber(text);
        if (n && *n >= min && *n <= max) return {};
        return Format("bad %s: %s (%u to %u)", what.c_str(), text.c_str(), min, max);
      },
      Format("%u-%u", min, max));
}

CLI::Validator PortCheck() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        return ParsePortName(text) ? std::string() : "bad port: " + text + " (ports are 1-24, G1, G2)";
      },
      "PORT");
}

CLI::Validator PortListCheck() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        return ParsePortNames(text) ? std::string() : "bad port list: " + text + " (e.g. 1-4,9,G1)";
      },
      "PORTLIST");
}

}  // namespace brisfell::cli
