#include "pages/security/lockout_guard.h"

namespace brisfell {

int StationChipPort(const PageContext& context) {
  const SwitchRecord* record = context.Record();
  if (!record || record->downLinkPort >= record->portCount) return -1;
  return record->downLinkPort;
}

LockoutRisk LockoutRiskOf(const PageContext& context, uint32_t unauthorisedChips, uint32_t disabledChips) {
  const int chip = StationChipPort(context);
  if (chip < 0) return {};
  const bool disables = (disabledChips >> chip) & 1;
  const bool unauthorises = (unauthorisedChips >> chip) & 1;
  if (!disables && !unauthorises) return {};
  return {context.engine.MapChipToPort(context.Switch(), chip), disables};
}

std::string LockoutQuestion(const LockoutRisk& risk) {
  const std::string label = PortLabel(risk.position);
  return "You are connected through port " + label + " of this switch. " +
         (risk.disables ? "Disabling it cuts this console off from the switch until the port is enabled at the "
                          "switch itself."
                        : "Without management on that port the switch stops answering this console.") +
         "\nContinue?";
}

std::string LockoutRefusal(const LockoutRisk& risk) {
  return "port " + PortLabel(risk.position) + " is the port this console reaches the switch through; " +
         (risk.disables ? "disabling it" : "taking management away from it") + " would cut the console off";
}

Outcome LockoutGuard(PageContext& context, const LockoutRisk& risk, LockoutPolicy policy) {
  if (!risk.AtRisk() || policy == LockoutPolicy::kAllow) return Outcome::Done();
  if (policy == LockoutPolicy::kRefuse) return Outcome::Refused(LockoutRefusal(risk));
  if (context.prompt.AskYesNo(kApplicationTitle, LockoutQuestion(risk), PromptIcon::Warning)) return Outcome::Done();
  context.Status("Not written: " + LockoutRefusal(risk) + ".");
  return Outcome::Declined();
}

}  // namespace brisfell
