// What a command prints. Text goes out as it comes (aligned lists with the pages' texts, one
// line per change); with --json the command builds one typed document that is printed once
// when it ends: objects with stable snake_case keys, numbers as numbers, booleans, null for
// "na". An error replaces that document with {"error": ...} on stdout (stderr in text mode).
#pragma once

#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "pages/common/table.h"

namespace brisfell::cli {

using Json = nlohmann::ordered_json;

// ---------------------------------------------------------------- typed lists

// How one cell of a page's list becomes a JSON value.
using CellValue = std::function<Json(const std::string& cell)>;
// The text itself; "" and "na" are null.
Json TextValue(const std::string& cell);
// A number written in decimal or with 0x ("0x0005" -> 5); null when the cell holds none.
Json NumberValue(const std::string& cell);
// The first number inside the text ("Vlan 12" -> 12); null when there is none.
Json NumberInText(const std::string& cell);
// A list of port names ("2, 23, G1" -> ["2", "23", "G1"]); [] for an empty cell.
Json PortNamesValue(const std::string& cell);
// true for `on`, false for `off`, null for anything else.
CellValue FlagValue(std::string on, std::string off);
// The text, with null for each of `nulls` as well (e.g. a bandwidth of "no" limit).
CellValue TextOrNull(std::vector<std::string> nulls);

// One column of a list: its JSON key and how its cells read.
struct Field {
  std::string key;
  CellValue value = TextValue;
  bool brief = true;  // kept in the brief view (--brief)
};
// One field per column, in column order.
using Schema = std::vector<Field>;

// Row `row` of `table` as a JSON object through `schema`.
Json RowObject(const Table& table, size_t row, const Schema& schema);

// ---------------------------------------------------------------- changes

// One thing a write command changed (or, with --dry-run, would change).
struct Change {
  enum class Kind { kModified, kAdded, kRemoved };
  Kind kind = Kind::kModified;
  std::string subject;  // "port 3", "Vlan 2", "register 0x0608"
  Json where;           // the subject, typed: {"port": "3"}
  std::string setting;  // the schema key of what changed ("speed"); empty for rows
  std::string before;   // as the page shows it
  std::string after;
  Json beforeValue;     // typed
  Json afterValue;
  Json row;             // the whole row, for rows added or removed
  std::string rowText;  // its cells as the page shows them ("type Tag-Based, vlan id 100, ...")

  // "port 3: speed 100M Full -> Auto", "Vlan 5: added (...)", "Vlan 2: removed".
  std::string Text() const;
  Json ToJson() const;
};

// The differences between a page's list before and after a change: rows are matched by their
// first cell; the subject is `subjectPrefix` + that cell ("port " + "3").
std::vector<Change> DiffLists(const Table& before, const Table& after, const Schema& schema,
                              const std::string& subjectPrefix);

// ---------------------------------------------------------------- the printer

struct OutputStyle {
  bool json = false;
  bool color = false;  // ANSI colour on stdout
  bool brief = false;  // lists with their brief columns only, no header
  bool errorColor = false;  // ANSI colour on stderr
};

class Output {
 public:
  explicit Output(OutputStyle style = {}) : style_(style) {}
  void SetStyle(const OutputStyle& style) { style_ = style; }
  const OutputStyle& Style() const { return style_; }
  bool Json() const { return style_.json; }

  // The command's JSON document, printed by Finish.
  cli::Json& Doc() { return doc_; }
  // A line on stdout in text mode; nothing with --json.
  void Line(const std::string& text);
  // A page's list: aligned columns with the page's texts, or an array of objects under `key`.
  // `extra` adds fields to each row's object (e.g. the chip port).
  void List(const std::string& key, const Table& table, const Schema& schema,
            const std::function<void(size_t row, cli::Json& object)>& extra = {});

  // Write commands: what changed, one line each; "changes" in the document.
  void Changed(const Change& change);
  void Changed(const std::vector<Change>& changes);
  // Nothing to change: says so ("port 3: nothing to change"); "changes": [] in the document.
  void NothingToDo(const std::string& text);
  const std::vector<Change>& Changes() const { return changes_; }

  // A notice for the operator on stderr, in both modes ("port 3 has no 1000M Full...").
  void Note(const std::string& text);
  // A failure or usage error. In text mode "brisfell-cli: MESSAGE" on stderr; with --json the
  // document becomes {"error": MESSAGE, ...details}. Only the first error makes the document.
  void Error(const std::string& message, const cli::Json& details = {});
  bool HasError() const { return hasError_; }

  // Prints the document (with --json) once; safe to call more than once.
  void Finish();

 private:
  std::string Paint(const std::string& text, const char* code, bool on) const;

  OutputStyle style_;
  cli::Json doc_ = cli::Json::object();
  cli::Json error_;
  bool hasError_ = false;
  bool finished_ = false;
  std::vector<Change> changes_;
};

}  // namespace brisfell::cli
