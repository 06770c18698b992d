// Values as an administrator types them on the command line: numbers in decimal or with 0x,
// ports named as the pages show them (1-24, G1, G2). Anything malformed or out of range is a
// UsageError (exit 2). The CLI11 checks at the end run while the command line is parsed, so a
// malformed argument is refused before the session sends a single frame.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace brisfell::cli {

// A command line that makes no sense: exit 2, before anything is written.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Decimal digits, or 0x/0X and hexadecimal digits. A leading zero is still decimal ("010" is
// 10). No sign, no blanks; nullopt when malformed or above 0xFFFFFFFF.
std::optional<uint32_t> ParseNumber(const std::string& text);
// ParseNumber within [min, max], or a UsageError: "bad WHAT: TEXT (MIN to MAX)".
uint32_t NumberArg(const std::string& text, const std::string& what, uint32_t min, uint32_t max);

// An inclusive range "FIRST-LAST", or one number; both ends within [0, max].
struct NumberRange {
  uint32_t first = 0;
  uint32_t last = 0;
};
std::optional<NumberRange> ParseNumberRange(const std::string& text, uint32_t max);

// Shown port positions are 0-based: position p is labelled PortLabel(p) ("1".."24", "G1", "G2").
constexpr int kMaxPortPositions = 26;
// One port name on any switch; nullopt when it names no port.
std::optional<int> ParsePortName(const std::string& text);
// A PORTLIST of names and ranges ("1-4,9,G1-G2"): sorted distinct positions; nullopt when
// malformed or empty.
std::optional<std::vector<int>> ParsePortNames(const std::string& text);
// The ports a switch has, as an administrator reads them: "1-16", "1-24", "1-24, G1, G2".
std::string PortRangeText(int portCount);
// The same, checked against a switch with `portCount` ports: a UsageError that names the
// switch's ports ("bad port: 20 (this switch has ports 1-16)").
int PortOn(const std::string& text, int portCount);
std::vector<int> PortsOn(const std::string& text, int portCount);

// Checks for CLI11 options and positionals, run while parsing.
CLI::Validator NumberCheck(const std::string& what, uint32_t min, uint32_t max);
CLI::Validator PortCheck();
CLI::Validator PortListCheck();

}  // namespace brisfell::cli
