#include "cli/output.h"

#include <algorithm>
#include <cctype>
#include <iostream>
#include <map>

#include "cli/parse.h"

namespace brisfell::cli {
namespace {

constexpr const char* kBold = "1";
constexpr const char* kRed = "31";
constexpr const char* kGreen = "32";

std::string Trim(const std::string& s) {
  const size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return {};
  return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

// "rx_bandwidth" -> "rx bandwidth": the words of a key for the text lines.
std::string Words(const std::string& key) {
  std::string w = key;
  std::replace(w.begin(), w.end(), '_', ' ');
  return w;
}

std::string Shown(const std::string& cell) { return cell.empty() ? "-" : cell; }

}  // namespace

// ---------------------------------------------------------------- cell values

Json TextValue(const std::string& cell) {
  if (cell.empty() || cell == "na") return nullptr;
  return cell;
}

Json NumberValue(const std::string& cell) {
  const auto n = ParseNumber(cell);
  if (n) return *n;
  return nullptr;
}

Json NumberInText(const std::string& cell) {
  const size_t at = cell.find_first_of("0123456789");
  if (at == std::string::npos) return nullptr;
  const size_t end = cell.find_first_not_of("0123456789", at);
  return NumberValue(cell.substr(at, end == std::string::npos ? std::string::npos : end - at));
}

Json PortNamesValue(const std::string& cell) {
  Json list = Json::array();
  size_t start = 0;
  while (start < cell.size()) {
    const size_t comma = cell.find(',', start);
    const std::string name = Trim(cell.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (!name.empty()) list.push_back(name);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return list;
}

CellValue FlagValue(std::string on, std::string off) {
  return [on = std::move(on), off = std::move(off)](const std::string& cell) -> Json {
    if (cell == on) return true;
    if (cell == off) return false;
    return nullptr;
  };
}

CellValue TextOrNull(std::vector<std::string> nulls) {
  return [nulls = std::move(nulls)](const std::string& cell) -> Json {
    if (std::find(nulls.begin(), nulls.end(), cell) != nulls.end()) return nullptr;
    return TextValue(cell);
  };
}

Json RowObject(const Table& table, size_t row, const Schema& schema) {
  Json object = Json::object();
  const auto& cells = table.rows.at(row);
  for (size_t c = 0; c < schema.size(); ++c) {
    const std::string cell = c < cells.size() ? cells[c] : std::string();
    object[schema[c].key] = schema[c].value(cell);
  }
  return object;
}

// ---------------------------------------------------------------- changes

std::string Change::Text() const {
  switch (kind) {
    case Kind::kAdded:
      return subject + ": added" + (rowText.empty() ? "" : " (" + rowText + ")");
    case Kind::kRemoved:
      return subject + ": removed";
    case Kind::kModified:
      break;
  }
  return subject + ": " + Words(setting) + " " + Shown(before) + " -> " + Shown(after);
}

Json Change::ToJson() const {
  Json j = where.is_object() ? where : Json::object();
  switch (kind) {
    case Kind::kAdded:
      j["added"] = row;
      break;
    case Kind::kRemoved:
      j["removed"] = row;
      break;
    case Kind::kModified:
      j["setting"] = setting;
      j["old"] = beforeValue;
      j["new"] = afterValue;
      break;
  }
  return j;
}

std::vector<Change> DiffLists(const Table& before, const Table& after, const Schema& schema,
                              const std::string& subjectPrefix) {
  std::vector<Change> changes;
  if (schema.empty()) return changes;
  auto rowIndex = [](const Table& t) {
    std::map<std::string, size_t> index;
    for (size_t r = 0; r < t.rows.size(); ++r)
      if (!t.rows[r].empty()) index.emplace(t.rows[r][0], r);
    return index;
  };
  const auto beforeRows = rowIndex(before);
  const auto afterRows = rowIndex(after);
  auto where = [&](const std::string& first) {
    Json w = Json::object();
    w[schema[0].key] = schema[0].value(first);
    return w;
  };
  // In the order of the list after the change, then the rows that went away.
  for (size_t r = 0; r < after.rows.size(); ++r) {
    if (after.rows[r].empty()) continue;
    const std::string& first = after.rows[r][0];
    const auto old = beforeRows.find(first);
    if (old == beforeRows.end()) {
      Change c;
      c.kind = Change::Kind::kAdded;
      c.subject = subjectPrefix + first;
      c.where = where(first);
      c.row = RowObject(after, r, schema);
      for (size_t col = 1; col < schema.size() && col < after.rows[r].size(); ++col) {
        if (after.rows[r][col].empty()) continue;
        c.rowText += (c.rowText.empty() ? "" : ", ") + Words(schema[col].key) + " " + after.rows[r][col];
      }
      changes.push_back(std::move(c));
      continue;
    }
    const auto& was = before.rows[old->second];
    const auto& now = after.rows[r];
    for (size_t col = 1; col < schema.size(); ++col) {
      const std::string a = col < was.size() ? was[col] : std::string();
      const std::string b = col < now.size() ? now[col] : std::string();
      if (a == b) continue;
      Change c;
      c.subject = subjectPrefix + first;
      c.where = where(first);
      c.setting = schema[col].key;
      c.before = a;
      c.after = b;
      c.beforeValue = schema[col].value(a);
      c.afterValue = schema[col].value(b);
      changes.push_back(std::move(c));
    }
  }
  for (size_t r = 0; r < before.rows.size(); ++r) {
    if (before.rows[r].empty() || afterRows.count(before.rows[r][0])) continue;
    Change c;
    c.kind = Change::Kind::kRemoved;
    c.subject = subjectPrefix + before.rows[r][0];
    c.where = where(before.rows[r][0]);
    c.row = RowObject(before, r, schema);
    changes.push_back(std::move(c));
  }
  return changes;
}

// ---------------------------------------------------------------- the printer

std::string Output::Paint(const std::string& text, const char* code, bool on) const {
  if (!on) return text;
  return std::string("\033[") + code + "m" + text + "\033[0m";
}

void Output::Line(const std::string& text) {
  if (!style_.json) std::cout << text << "\n";
}

void Output::List(const std::string& key, const Table& table, const Schema& schema,
                  const std::function<void(size_t, cli::Json&)>& extra) {
  if (style_.json) {
    cli::Json list = cli::Json::array();
    for (size_t r = 0; r < table.rows.size(); ++r) {
      cli::Json object = RowObject(table, r, schema);
      if (extra) extra(r, object);
      list.push_back(std::move(object));
    }
    doc_[key] = std::move(list);
    return;
  }
  // The columns shown: all of them, or in the brief view those the schema keeps.
  std::vector<size_t> shown;
  for (size_t c = 0; c < table.columns.size(); ++c)
    if (!style_.brief || c >= schema.size() || schema[c].brief) shown.push_back(c);
  std::vector<size_t> width(table.columns.size(), 0);
  if (!style_.brief)
    for (size_t c : shown) width[c] = table.columns[c].size();
  for (const auto& row : table.rows)
    for (size_t c : shown)
      if (c < row.size()) width[c] = std::max(width[c], row[c].size());
  auto line = [&](const std::vector<std::string>& cells, bool header) {
    std::string out;
    for (size_t i = 0; i < shown.size(); ++i) {
      const size_t c = shown[i];
      const std::string cell = c < cells.size() ? cells[c] : std::string();
      const bool last = i + 1 == shown.size();
      std::string padded = last ? cell : cell + std::string(width[c] - std::min(width[c], cell.size()) + 2, ' ');
      out += header ? Paint(padded, kBold, style_.color) : padded;
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    std::cout << out << "\n";
  };
  if (!style_.brief) line(table.columns, true);
  for (const auto& row : table.rows) line(row, false);
}

void Output::Changed(const Change& change) {
  changes_.push_back(change);
  if (style_.json) {
    doc_["changes"].push_back(change.ToJson());
    return;
  }
  if (change.kind == Change::Kind::kModified && style_.color) {
    std::cout << change.subject << ": " << Words(change.setting) << " " << Shown(change.before) << " -> "
              << Paint(Shown(change.after), kGreen, true) << "\n";
    return;
  }
  std::cout << change.Text() << "\n";
}

void Output::Changed(const std::vector<Change>& changes) {
  for (const auto& c : changes) Changed(c);
}

void Output::NothingToDo(const std::string& text) {
  if (style_.json) {
    if (!doc_.contains("changes")) doc_["changes"] = cli::Json::array();
    return;
  }
  std::cout << text << "\n";
}

void Output::Note(const std::string& text) { std::cerr << "brisfell-cli: " << text << "\n"; }

void Output::Error(const std::string& message, const cli::Json& details) {
  if (!style_.json) {
    std::cerr << Paint("brisfell-cli: " + message, kRed, style_.errorColor) << "\n";
  } else if (!hasError_) {
    error_ = cli::Json::object();
    error_["error"] = message;
    if (details.is_object())
      for (const auto& [k, v] : details.items()) error_[k] = v;
  } else {
    std::cerr << "brisfell-cli: " << message << "\n";  // the document already holds the first
  }
  hasError_ = true;
}

void Output::Finish() {
  if (finished_) return;
  finished_ = true;
  if (!style_.json) return;
  // What a command changed before it failed (a write the switch did not take) stays visible.
  if (hasError_ && doc_.contains("changes") && !doc_["changes"].empty()) error_["changes"] = doc_["changes"];
  std::cout << (hasError_ ? error_ : doc_).dump() << "\n";
  std::cout.flush();
}

}  // namespace brisfell::cli
