// Shell completion from the command table itself (brisfell-cli --complete WORD... CURRENT), so
// that dist/completion/brisfell-cli never lists commands, options or values of its own.
//
// What follows a word comes from what parsing knows: subcommands, each command's options and
// the global ones, and the values an option or positional shows in its --help type name
// ("WHEN:{auto,always,never}", "PORT|all": the lower-case alternatives; FILE, DIR and SCENARIO
// stand for file names, ADAPTER for interface names). Settings words ("port 3 speed 100f")
// are declared with Commands::Keywords.
#pragma once

#include <CLI/CLI.hpp>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace brisfell::cli {

// Settings words of a command: each keyword with the values that may follow it (none for a
// keyword that stands alone, "enable").
using KeywordGrammar = std::vector<std::pair<std::string, std::vector<std::string>>>;

// Candidates for the word `current` after the complete words `typed` (the program's name left
// out), one each; the markers "@files" and "@interfaces" ask the shell for those. Options are
// offered only when `current` starts with '-'.
std::vector<std::string> CompletionCandidates(CLI::App& app, const std::map<const CLI::App*, KeywordGrammar>& keywords,
                                              const std::vector<std::string>& typed, const std::string& current);

// Whether a word after --sim is its scenario: an existing file, or a name ending in .json.
bool IsScenarioWord(const std::string& word);

}  // namespace brisfell::cli
