#include <cctype>
#include <string>
#include <utility>

#include "engine/engine.h"

namespace brisfell {
namespace {

// Digits from `at` as a number (capped, so a long run of digits cannot overflow); `at` moves
// past them. 0 when there are none.
int TakeNumber(const std::string& text, size_t& at) {
  int value = 0;
  while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
    if (value < 100000) value = value * 10 + (text[at] - '0');
    ++at;
  }
  return value;
}

}  // namespace

std::pair<int, int> ParseDriverVersion(const std::string& text) {
  size_t at = 0;
  const int major = TakeNumber(text, at);
  if (at == 0 || at + 1 >= text.size()) return {major, 0};
  ++at;  // the separator
  return {major, TakeNumber(text, at)};
}

}  // namespace brisfell
