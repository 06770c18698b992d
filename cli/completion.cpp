#include "cli/completion.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <set>

namespace brisfell::cli {
namespace {

bool IsOption(const std::string& word) { return word.size() > 1 && word[0] == '-'; }

// The option `name` ("--vid", "-s") of `at` or of a command above it (global options may follow
// the command).
const CLI::Option* FindOption(const CLI::App* at, const std::string& name) {
  for (; at; at = at->get_parent())
    for (const CLI::Option* o : at->get_options())
      if (!o->get_positional() && o->check_name(name)) return o;
  return nullptr;
}

CLI::App* FindSubcommand(CLI::App* at, const std::string& name) {
  auto found = at->get_subcommands([&](CLI::App* s) { return s->get_name() == name; });
  return found.empty() ? nullptr : found.front();
}

std::vector<const CLI::Option*> Positionals(const CLI::App* at) {
  std::vector<const CLI::Option*> out;
  for (const CLI::Option* o : at->get_options())
    if (o->get_positional()) out.push_back(o);
  return out;
}

bool HasUpper(const std::string& s) {
  return std::any_of(s.begin(), s.end(), [](unsigned char c) { return std::isupper(c) != 0; });
}

// "1-4094": a range to type, not a word to offer.
bool IsNumberRange(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c) || c == '-'; });
}

// The values an option's type name offers: "{a,b}" sets and lower-case alternatives of "X|y|z".
std::vector<std::string> ValuesOf(const CLI::Option* o) {
  std::vector<std::string> out;
  const std::string type = o->get_type_name();
  size_t start = 0;
  while (start <= type.size()) {
    const size_t colon = std::min(type.find(':', start), type.size());
    std::string part = type.substr(start, colon - start);
    start = colon + 1;
    const bool set = part.size() >= 2 && part.front() == '{' && part.back() == '}';
    if (set) part = part.substr(1, part.size() - 2);
    const char separator = set ? ',' : '|';
    size_t from = 0;
    while (from <= part.size()) {
      const size_t end = std::min(part.find(separator, from), part.size());
      std::string word = part.substr(from, end - from);
      from = end + 1;
      word.erase(std::remove_if(word.begin(), word.end(), [](char c) { return c == '[' || c == ']' || c == ' '; }),
                 word.end());
      if (word.size() >= 3 && word.compare(word.size() - 3, 3, "...") == 0) word.resize(word.size() - 3);
      if (word.find("FILE") != std::string::npos || word.find("DIR") != std::string::npos ||
          word.find("SCENARIO") != std::string::npos)
        out.push_back("@files");
      else if (word.find("ADAPTER") != std::string::npos)
        out.push_back("@interfaces");
      else if (!word.empty() && (set || (!HasUpper(word) && !IsNumberRange(word))))
        out.push_back(word);
    }
  }
  return out;
}

// The next settings word after `given`: the values of a keyword still waiting for its value,
// else the keywords not used yet.
std::vector<std::string> KeywordCandidates(const KeywordGrammar& grammar, const std::vector<std::string>& given) {
  std::set<std::string> used;
  for (size_t i = 0; i < given.size(); ++i) {
    auto k = std::find_if(grammar.begin(), grammar.end(), [&](const auto& g) { return g.first == given[i]; });
    if (k == grammar.end()) continue;
    used.insert(k->first);
    if (k->second.empty()) continue;
    if (i + 1 == given.size()) return k->second;
    ++i;  // its value
  }
  std::vector<std::string> out;
  for (const auto& [keyword, values] : grammar)
    if (!used.count(keyword)) out.push_back(keyword);
  return out;
}

}  // namespace

bool IsScenarioWord(const std::string& word) {
  if (word.size() > 5 && word.compare(word.size() - 5, 5, ".json") == 0) return true;
  std::error_code ec;
  return !IsOption(word) && std::filesystem::exists(word, ec) && !std::filesystem::is_directory(word, ec);
}

std::vector<std::string> CompletionCandidates(CLI::App& app, const std::map<const CLI::App*, KeywordGrammar>& keywords,
                                              const std::vector<std::string>& typed, const std::string& current) {
  CLI::App* at = &app;
  const CLI::Option* pending = nullptr;      // an option waiting for its value
  const CLI::Option* mayTakeNext = nullptr;  // an option whose value is optional (--sim)
  std::vector<std::string> words;            // the command's positional words
  for (const std::string& word : typed) {
    const CLI::Option* optional = mayTakeNext;
    mayTakeNext = nullptr;
    if (pending) {
      pending = nullptr;
      continue;
    }
    if (optional && IsScenarioWord(word)) continue;
    if (IsOption(word)) {
      const size_t eq = word.find('=');
      const CLI::Option* o = FindOption(at, word.substr(0, eq));
      if (o && eq == std::string::npos && o->get_items_expected_max() > 0)
        (o->get_expected_min() == 0 ? mayTakeNext : pending) = o;
      continue;
    }
    if (words.empty())
      if (CLI::App* sub = FindSubcommand(at, word)) {
        at = sub;
        continue;
      }
    words.push_back(word);
  }

  if (pending) return ValuesOf(pending);
  std::vector<std::string> out;
  if (IsOption(current) || current == "-") {
    for (const CLI::App* a = at; a; a = a->get_parent())
      for (const CLI::Option* o : a->get_options()) {
        if (o->get_positional() || o->get_group().empty()) continue;
        for (const auto& n : o->get_lnames()) out.push_back("--" + n);
        for (const auto& n : o->get_snames()) out.push_back("-" + n);
      }
    return out;
  }
  if (mayTakeNext) out = ValuesOf(mayTakeNext);
  if (words.empty())
    for (CLI::App* sub : at->get_subcommands([](CLI::App*) { return true; })) out.push_back(sub->get_name());

  // The positional the next word fills: each takes as many words as it holds.
  const auto positionals = Positionals(at);
  size_t before = 0;
  for (size_t p = 0; p < positionals.size(); ++p) {
    const int max = positionals[p]->get_items_expected_max();
    const size_t holds = max < 0 ? SIZE_MAX : static_cast<size_t>(max);
    const bool last = p + 1 == positionals.size();
    if (words.size() - before >= holds && !last) {
      before += holds;
      continue;
    }
    const auto grammar = keywords.find(at);
    if (last && grammar != keywords.end()) {
      const std::vector<std::string> given(words.begin() + static_cast<std::ptrdiff_t>(before), words.end());
      const auto more = KeywordCandidates(grammar->second, given);
      out.insert(out.end(), more.begin(), more.end());
    } else if (words.size() - before < holds) {
      const auto more = ValuesOf(positionals[p]);
      out.insert(out.end(), more.begin(), more.end());
    }
    break;
  }
  return out;
}

}  // namespace brisfell::cli
