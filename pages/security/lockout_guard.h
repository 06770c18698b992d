// Changes that would cut this console off from the switch it manages: taking management away
// from, or disabling, the port through which the station reaches the switch (the port its
// hello reply named). The rule lives here alone; the pages ask before such a change and the
// command line refuses it unless forced.
#pragma once

#include <cstdint>
#include <string>

#include "pages/common/outcome.h"
#include "pages/common/page_context.h"

namespace brisfell {

enum class LockoutPolicy {
  kAsk,     // ask the operator, No being the default
  kRefuse,  // refuse without asking
  kAllow,   // the caller has decided already (the command line's --force)
};

struct LockoutRisk {
  int position = -1;      // shown position of the station's port; -1 when nothing is at risk
  bool disables = false;  // the port would be disabled (otherwise it would lose management)
  bool AtRisk() const { return position >= 0; }
};

// The chip port through which the station reaches the current switch; -1 when no switch is
// current or its reply named a port the switch does not have.
int StationChipPort(const PageContext& context);

// What a change leaving the chip ports of `unauthorisedChips` without management and those of
// `disabledChips` disabled does to the station's port.
LockoutRisk LockoutRiskOf(const PageContext& context, uint32_t unauthorisedChips, uint32_t disabledChips);

// "You are connected through port N of this switch. ... Continue?" (N as the pages show it).
std::string LockoutQuestion(const LockoutRisk& risk);
// One line saying why such a change was not made.
std::string LockoutRefusal(const LockoutRisk& risk);

// Done when the change may go ahead: nothing at risk, kAllow, or kAsk answered Yes. Otherwise
// what the change comes to: Declined after No (the status line says what
// was held back), Refused with LockoutRefusal under kRefuse.
Outcome LockoutGuard(PageContext& context, const LockoutRisk& risk, LockoutPolicy policy);

}  // namespace brisfell
