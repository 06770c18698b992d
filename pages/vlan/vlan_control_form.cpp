#include "pages/vlan/vlan_control_form.h"

namespace brisfell {

const FormTable& VlanControlForm() {
  // The first choice of every pair means the bit is set. The register is written whole: bits
  // 7 to 15 hold nothing of this system and go out as 0.
  namespace b = reg_bit;
  static const FormTable formTable{
      "vlan-control",
      "Vlan Control",
      {RadioPair("function", " Vlan Function:", b::kVlanFunction, true),
       RadioPair("unicast-leaky", "Unicast Packet Inter-Vlan leaky:", b::kUnicastLeaky, true),
       RadioPair("arp-leaky", "ARP Broadcast Packet Inter-Vlan leaky:", b::kArpLeaky, true),
       Hidden(RadioPair("multicast-leaky", "IP Multicast Packet Inter-Vlan Leaky:", b::kMulticastLeaky, true)),
       RadioPair("tag-aware", "802.1Q Vlan TAG aware:", b::kTagAware, true),
       RadioPair("admit", "Ingress rule for acceptable frame types control:", b::kAdmitTaggedOnly, true,
                 {"Admit only Vlan-Tagged frames", "Admit all frames"}, {"tagged", "all"}),
       Hidden(RadioPair("ingress-filter", "Ingress Rule for Ingress Filtering:", b::kIngressFilter, true))},
      {{kRegVlanControl, WriteMode::Whole}}};
  return formTable;
}

}  // namespace brisfell
