#include "pages/features/feature_forms.h"

#include <algorithm>

namespace brisfell {

const FormTable& GlobalConfigForm() {
  // Back pressure and storm filtering are "disable" bits; loop detection is an "enable" bit.
  // Update changes only these bits, after reading each register again.
  static const FormTable formTable{
      "global",
      "Global Configuration",
      {RadioPair("backpressure", " Half Duplex Back Pressure Flow Control:", reg_bit::kBackPressureOff, false),
       RadioPair("storm-filter", " Broadcast Strom Filtering Control:", reg_bit::kStormFilterOff, false),
       RadioPair("loop-detect", "Loop Port Detection:", reg_bit::kLoopDetection, true)},
      {{kRegPortControl, WriteMode::ReadModifyWrite}, {kRegGlobalControl, WriteMode::ReadModifyWrite}}};
  return formTable;
}

const FormTable& QosForm() {
  // All three registers are written whole from the page, without reading them first.
  static const FormTable formTable{
      "qos",
      "QoS Configuration",
      {RadioPair("tos", " TOS/Diff Serv. priority:", reg_bit::kTosPriority, true),
       RadioPair("flow-control", " Adapted Flow Control Ability:", reg_bit::kAdaptedFlowControl, true),
       RadioPair("dot1p", " 802.1p priority:", reg_bit::kDot1pPriority, true),
       Choice("ratio", " Priority Weighted Ratio:(High:Low)", reg_bit::kWeightedRatio, {"4:1", "8:1", "16:1", "1:0"},
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
                             {RadioPair("snooping", "IGMP Snooping:", reg_bit::kIgmpSnooping, true)},
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
