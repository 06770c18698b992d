// The Fault Information page: the switch's own diagnosis from the fault register, with the
// ports of a detected loop and, on switches with gigabit ports, whether their PHYs exist.
#pragma once

#include <cstdint>
#include <string>

#include "pages/common/outcome.h"
#include "pages/common/page_context.h"

namespace brisfell {

struct FaultInfo {
  int portCount = 0;
  std::string trunkFault;   // "Pass" / "Error"; "" before the first read
  std::string faultGroups;  // one "{port ...}\r\n" line per faulty trunk group
  std::string loopFault;    // "Pass" / "Error"
  uint32_t loopPorts = 0;   // shown positions where a loop was seen
  std::string gigaPhy1;     // "Exist" / "Not Exist" (switches above 24 ports)
  std::string gigaPhy2;
  bool operator==(const FaultInfo&) const = default;
};

// The GigaPHY group and boxes from the port count on are hidden below 26 ports.
inline bool ShowsGigaPhy(int portCount) { return portCount >= 26; }

// Refresh: reads the fault register and, when it reports a loop, the loop ports. What a failed
// read would have set keeps its previous value in `info`.
Outcome RefreshFaultInfo(PageContext& context, FaultInfo& info);
// The texts of one fault register value (and the loop register when it was read).
void DecodeFaults(const SwitchRecord& record, uint32_t faults, FaultInfo& info);

}  // namespace brisfell
