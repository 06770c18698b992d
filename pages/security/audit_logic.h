// The security audit: for every discovered switch, what leaves it open to anyone on the
// segment (the default key, management on every port, remote access that could be turned
// off, loop detection or storm filtering off), each with the command that fixes it. It reads
// through the pages' own tables, so it sees what the pages show.
#pragma once

#include <string>
#include <vector>

#include "pages/common/outcome.h"
#include "pages/common/page_context.h"
#include "pages/common/table.h"

namespace brisfell {

// The checks' keywords, in the order a switch's findings are listed.
inline constexpr const char* kAuditDefaultKey = "default-key";
inline constexpr const char* kAuditKeyNotSaved = "key-not-saved";  // the EEPROM holds another key
inline constexpr const char* kAuditEveryPortManages = "management-on-every-port";
inline constexpr const char* kAuditRemoteAccess = "remote-access";
inline constexpr const char* kAuditLoopDetectionOff = "loop-detection-off";
inline constexpr const char* kAuditStormFilterOff = "storm-filter-off";
inline constexpr const char* kAuditNotChecked = "not-checked";  // a read failed

struct AuditFinding {
  int switchIndex = -1;
  Mac mac{};
  std::string model;
  std::string check;    // one of the keywords above
  std::string text;     // the finding, one line
  std::string command;  // the brisfell-cli command (after "-s MAC") that fixes it; "" for none
};

// The findings on switch `index` of the table (made current while it is checked).
std::vector<AuditFinding> AuditSwitch(PageContext& context, int index);
// Every switch of the table in order; the current switch is the same afterwards.
std::vector<AuditFinding> AuditSwitches(PageContext& context);

// Whether the finding's fix is one change with nothing left for the operator to choose (a new
// key is), so that it can be applied as it stands.
bool AuditFixApplicable(const AuditFinding& finding);
// Applies the fix of one finding through the page that owns the setting, as the page would:
// remote access is disabled only after the page's question, and management is kept on the
// station's own port only (the lock-out guard asks if that would cut this console off). The
// switch must still be the one audited (same index, same MAC); the current switch is the same
// afterwards.
Outcome ApplyAuditFix(PageContext& context, const AuditFinding& finding);

// "brisfell-cli -a NAME" for a real adapter; the emulated segment is "brisfell-cli --sim"
// (with its scenario file when one was loaded), which is how the command line reaches it.
std::string AuditProgram(const std::string& adapterName, bool emulated, const std::string& scenarioFile);
// "PROGRAM -s MAC COMMAND"; "" when the finding has no command.
std::string FixCommandLine(const AuditFinding& finding, const std::string& program);
// "Index", "MAC Address", "Model", "Check", "Finding", "Fix" (the fix as FixCommandLine; the
// command alone when `program` is "", as a list that shows the MAC beside it does).
Table AuditTable(const std::vector<AuditFinding>& findings, const std::string& program);

}  // namespace brisfell
