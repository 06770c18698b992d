// A strict reader of the Prometheus text exposition format (0.0.4), for the tests of what the
// metrics say: every line a comment or a well-formed sample, each metric's HELP and TYPE once
// and before its samples, the samples of a metric together.
#pragma once

#include <cctype>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace brisfell::testing {

struct ExpositionSample {
  std::string name;
  std::map<std::string, std::string> labels;
  double value = 0;
};

struct Exposition {
  std::vector<ExpositionSample> samples;
  std::map<std::string, std::string> types;  // metric -> type
  std::map<std::string, std::string> help;   // metric -> help text
  std::vector<std::string> errors;           // empty when the text is well-formed

  std::vector<ExpositionSample> Named(const std::string& name) const {
    std::vector<ExpositionSample> out;
    for (const auto& s : samples)
      if (s.name == name) out.push_back(s);
    return out;
  }
  // The samples of `name` whose labels include all of `match`.
  std::vector<ExpositionSample> Find(const std::string& name, const std::map<std::string, std::string>& match) const {
    std::vector<ExpositionSample> out;
    for (const auto& s : Named(name)) {
      bool all = true;
      for (const auto& [k, v] : match) {
        auto it = s.labels.find(k);
        all = all && it != s.labels.end() && it->second == v;
      }
      if (all) out.push_back(s);
    }
    return out;
  }
};

// [a-zA-Z_:][a-zA-Z0-9_:]* for metric names; label names take no colon.
inline bool IsMetricName(const std::string& s, bool colon = true) {
  if (s.empty() || std::isdigit(static_cast<unsigned char>(s[0]))) return false;
  for (char c : s)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || (colon && c == ':'))) return false;
  return true;
}

inline bool IsSampleValue(const std::string& v) {
  if (v == "NaN" || v == "+Inf" || v == "-Inf" || v == "Inf") return true;
  if (v.empty()) return false;
  char* end = nullptr;
  std::strtod(v.c_str(), &end);
  return end == v.c_str() + v.size() && v.find_first_of("xXpP") == std::string::npos;
}

// name="value",... with backslash escapes for backslash, double quote and line feed only; false
// when malformed.
inline bool ParseLabels(const std::string& text, std::map<std::string, std::string>& out) {
  size_t at = 0;
  while (at < text.size()) {
    const size_t eq = text.find('=', at);
    if (eq == std::string::npos || eq + 1 >= text.size() || text[eq + 1] != '"') return false;
    const std::string name = text.substr(at, eq - at);
    if (!IsMetricName(name, false)) return false;
    std::string value;
    size_t i = eq + 2;
    for (; i < text.size() && text[i] != '"'; ++i) {
      if (text[i] == '\n') return false;
      if (text[i] == '\\') {
        if (i + 1 >= text.size() || (text[i + 1] != '\\' && text[i + 1] != '"' && text[i + 1] != 'n')) return false;
        value += text[i + 1] == 'n' ? '\n' : text[i + 1];
        ++i;
      } else {
        value += text[i];
      }
    }
    if (i >= text.size()) return false;
    if (!out.emplace(name, value).second) return false;
    at = i + 1;
    if (at < text.size()) {
      if (text[at] != ',') return false;
      ++at;
    }
  }
  return true;
}

inline Exposition ParseExposition(const std::string& text) {
  Exposition e;
  std::set<std::string> finished;  // metrics whose samples are over
  std::string current;
  std::istringstream in(text);
  std::string line;
  int number = 0;
  if (!text.empty() && text.back() != '\n') e.errors.push_back("the text does not end with a line feed");
  auto fail = [&](const std::string& why) { e.errors.push_back("line " + std::to_string(number) + ": " + why + ": " + line); };
  auto enter = [&](const std::string& metric) {
    if (metric == current) return;
    if (finished.count(metric)) fail("metric " + metric + " appears in two places");
    if (!current.empty()) finished.insert(current);
    current = metric;
  };
  while (std::getline(in, line)) {
    ++number;
    if (line.empty()) continue;
    if (line[0] == '#') {
      std::istringstream words(line.substr(1));
      std::string kind, metric;
      words >> kind >> metric;
      if (kind != "HELP" && kind != "TYPE") continue;  // other comments are allowed
      if (!IsMetricName(metric)) {
        fail("bad metric name");
        continue;
      }
      std::string rest;
      std::getline(words, rest);
      if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
      auto& slot = kind == "HELP" ? e.help : e.types;
      if (slot.count(metric)) fail(kind + " given twice");
      if (kind == "TYPE" && rest != "counter" && rest != "gauge" && rest != "histogram" && rest != "summary" &&
          rest != "untyped")
        fail("unknown type");
      if (!e.Named(metric).empty()) fail(kind + " after samples");
      slot[metric] = rest;
      enter(metric);
      continue;
    }
    ExpositionSample s;
    size_t at = 0;
    while (at < line.size() && line[at] != '{' && line[at] != ' ') ++at;
    s.name = line.substr(0, at);
    if (!IsMetricName(s.name)) {
      fail("bad sample name");
      continue;
    }
    if (at < line.size() && line[at] == '{') {
      const size_t close = line.find("} ", at);
      if (close == std::string::npos) {
        fail("labels not closed");
        continue;
      }
      if (!ParseLabels(line.substr(at + 1, close - at - 1), s.labels)) fail("bad labels");
      at = close + 1;
    }
    if (at >= line.size() || line[at] != ' ') {
      fail("no value");
      continue;
    }
    std::istringstream rest(line.substr(at + 1));
    std::string value, timestamp, extra;
    rest >> value >> timestamp >> extra;
    if (!IsSampleValue(value) || !extra.empty()) {
      fail("bad value");
      continue;
    }
    s.value = std::strtod(value.c_str(), nullptr);
    // Counters, gauges and untyped metrics name their samples exactly.
    if (!e.types.count(s.name)) fail("sample of a metric without TYPE");
    enter(s.name);
    e.samples.push_back(std::move(s));
  }
  return e;
}

}  // namespace brisfell::testing
