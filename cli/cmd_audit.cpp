// audit: what leaves each discovered switch open to anyone on the segment, one line a finding
// with the command that fixes it; exit 1 when there is any.
#include "cli/cli.h"
#include "pages/security/audit_logic.h"

namespace brisfell::cli {
namespace {

// This command line's own start, so that a fix can be pasted as it is.
std::string Program(const GlobalOptions& o) {
  std::string p = "brisfell-cli";
  if (!o.adapter.empty()) p += " -a " + o.adapter;
  if (o.sim) p += " --sim" + (o.simScenario.empty() ? "" : " " + o.simScenario);
  if (!o.simState.empty()) p += " --sim-state " + o.simState;
  if (o.database != GlobalOptions{}.database) p += " --db " + o.database;
  return p;
}

int Audit(Session& s) {
  const std::vector<AuditFinding> findings = AuditSwitches(s.context());
  const Schema schema = {{"index", NumberValue},        {"mac"},         {"model", TextValue, false},
                         {"check", TextValue, false},  {"finding"},     {"fix", TextOrNull({""})}};
  const int switches = s.engine().SwitchCount();
  if (switches == 0) throw Failure("no switch answered on the adapter; nothing was checked");
  s.out().List("findings", AuditTable(findings, Program(s.Options())), schema);
  s.out().Doc()["switches_checked"] = switches;
  s.out().Line(Format("%zu finding%s on %d switch%s", findings.size(), findings.size() == 1 ? "" : "s", switches,
                      switches == 1 ? "" : "es"));
  return findings.empty() ? kExitOk : kExitFailed;
}

CommandRegistrar registrar([](Commands& c) {
  c.Add(&c.App(), "audit",
        "List what leaves each switch open to anyone on the segment, with the commands that fix it", Needs::kTable,
        Audit);
});

}  // namespace
}  // namespace brisfell::cli
