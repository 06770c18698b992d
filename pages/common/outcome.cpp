#include "pages/common/outcome.h"

#include <ostream>

namespace brisfell {

const char* OutcomeKindName(OutcomeKind kind) {
  switch (kind) {
    case OutcomeKind::Done: return "done";
    case OutcomeKind::NothingToDo: return "nothing to do";
    case OutcomeKind::Refused: return "refused";
    case OutcomeKind::ReadFailed: return "read failed";
    case OutcomeKind::Declined: return "declined";
  }
  return "?";
}

// Test failures print the outcome in words.
std::ostream& operator<<(std::ostream& out, const Outcome& outcome) {
  out << OutcomeKindName(outcome.kind);
  if (!outcome.message.empty()) out << ": " << outcome.message;
  return out;
}

}  // namespace brisfell
