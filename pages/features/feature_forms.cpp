#include "pages/features/feature_forms.h"

#include <algorithm>

namespace brisfell {

const FormTable& GlobalConfigForm() {
  // Back pressure and storm filtering are "disable" bits; loop detection is an "enable" bit.
  // Update changes only these bits, after reading each register again.
  static const FormTable formTable{
      "global",
      "Global Configuration",
      {RadioPair("backpressure", " Half Duplex Back Pressure Flow Control:", {kRegPortControl, 1, 1}, false),
       RadioPair("storm-filter", " Broadcast Strom Filtering Control:", {kRegPortControl, 4, 1}, false),
       RadioPair("loop-detect", "Loop Port Detection:", {kRegGlobalControl, 2, 1}, true)},
      {{kRegPortControl, WriteMode::ReadModifyWrite}, {kRegGlobalControl, WriteMode::ReadModifyWrite}}};
  return formTable;
}

const FormTable& QosForm() {
  // All three registers are written whole from the page, without reading them first.
  static const FormTable formTable{
      "qos",
      "QoS Configuration",
      {RadioPair("tos", " TOS/Diff Serv. priority:", {kRegQosControl, 0, 1}, true),
       RadioPair("flow-control", " Adapted Flow Control Ability:", {kRegQosControl, 2, 1}, true),
       RadioPair("dot1p", " 802.1p priority:", {kRegQosControl, 1, 1}, true),
       Choice("ratio", " Priority Weighted Ratio:(High:Low)", {kRegQosControl, 3, 2}, {"4:1", "8:1", "16:1", "1:0"},
              {"4:1", "8:1", "16:1", "1:0"}),
       PortSet("high", "Force Set High Priority Port", port_field::kHighPriority)},
      {{kRegQosControl, WriteMode::Whole},
       {kRegHighPriorityLow, WriteMode::Whole},
       {kRegHighPriorityHigh, WriteMode::Whole}}};
  return formTable;
}

const FormTable& IgmpForm() {
  // The router ports are only shown; the snooping register is written whole (0 or 1).
  static const FormTable formTable{"igmp",
                             "Igmp Snooping",
                             {RadioPair("snooping", "IGMP Snooping:", {kRegIgmpControl, 0, 1}, true)},
                             {{kRegIgmpControl, WriteMode::Whole}, {kRegIgmpRouterPorts, WriteMode::None}}};
  return formTable;
}

std::string RouterPortsText(const SwitchRecord& record, uint32_t routerPorts) {
  std::string text;
  const int n = std::clamp(record.portCount, 0, kMaxChipPorts);
  for (int i = 0; i < n; ++i)
    if (port_field::kIgmpRouter.Get(routerPorts, record.portToChip[i])) text += Format("%d,", i + 1);
  return text;
}

}  // namespace brisfell
