// The lock-out guard on the command line: a write that would cut this console off from the
// switch (management taken away from, or disabling, the port it comes in through) is refused
// before anything is written, unless --force.
#pragma once

#include "cli/cli.h"
#include "pages/security/lockout_guard.h"

namespace brisfell::cli {

inline constexpr const char* kForceHelp =
    "Also when the change takes management away from, or disables, the port this console reaches the switch "
    "through";

inline void RefuseLockout(Session& s, const LockoutRisk& risk, bool force) {
  const Outcome guard = LockoutGuard(s.context(), risk, force ? LockoutPolicy::kAllow : LockoutPolicy::kRefuse);
  if (guard.kind != OutcomeKind::Done)
    throw Failure(guard.message + "; nothing was written (pass --force to do it anyway)");
}

}  // namespace brisfell::cli
