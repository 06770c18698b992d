// What a page operation did, for every caller alike: the widgets show its message where the
// page's own message boxes have not already done so, and the command line maps it to its exit
// status in one place.
#pragma once

#include <iosfwd>
#include <string>
#include <utility>

namespace brisfell {

// The pages' own texts for a write the switch did not take, shared by the pages that write
// registers and EEPROM.
inline constexpr const char* kRegisterWriteFailed = "Register write failed";
inline constexpr const char* kEepromWriteFailed = "Eeprom write failed";

enum class OutcomeKind {
  Done,         // the switch was changed (or read) as asked
  NothingToDo,  // nothing needed writing, or no adapter/switch is current
  Refused,      // the operator's input was refused; `message` is the page's text
  Declined,     // the operator answered No to the page's question; nothing was written
  ReadFailed,   // a read failed, so (part of) the work was not done; nothing unread was written
};

struct Outcome {
  OutcomeKind kind = OutcomeKind::Done;
  std::string message;

  static Outcome Done(std::string note = {}) { return {OutcomeKind::Done, std::move(note)}; }
  static Outcome NothingToDo(std::string why = {}) { return {OutcomeKind::NothingToDo, std::move(why)}; }
  static Outcome Refused(std::string message) { return {OutcomeKind::Refused, std::move(message)}; }
  static Outcome ReadFailed(std::string what = {}) { return {OutcomeKind::ReadFailed, std::move(what)}; }
  static Outcome Declined() { return {OutcomeKind::Declined, {}}; }

  // Done or nothing to do: nothing went wrong.
  bool ok() const { return kind == OutcomeKind::Done || kind == OutcomeKind::NothingToDo; }
  bool operator==(const Outcome&) const = default;
};

const char* OutcomeKindName(OutcomeKind kind);
std::ostream& operator<<(std::ostream& out, const Outcome& outcome);

}  // namespace brisfell
