// The security audit: for every discovered switch, what leaves it open to anyone on the
// segment (the default key, management on every port, remote access that could be turned
// off, loop detection or storm filtering off), each with the command that fixes it. It reads
// through the pages' own tables, so it sees what the pages show.
#pragma once

#include <string>
#include <vector>

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

// "PROGRAM -s MAC COMMAND"; "" when the finding has no command.
std::string FixCommandLine(const AuditFinding& finding, const std::string& program);
// "Index", "MAC Address", "Model", "Check", "Finding", "Fix" (the fix as FixCommandLine).
Table AuditTable(const std::vector<AuditFinding>& findings, const std::string& program);

}  // namespace brisfell
