#include "pages/vlan/vlan_control_form.h"

namespace brisfell {

const FormTable& VlanControlForm() {
  // The first choice of every pair means the bit is set. The register is written whole: bits
  // 7 to 15 hold nothing of this system and go out as 0.
  auto bit = [](uint8_t b) { return BitField{kRegVlanControl, b, 1}; };
  static const FormTable formTable{
      "vlan-control",
      "Vlan Control",
      {RadioPair("function", " Vlan Function:", bit(0), true),
       RadioPair("unicast-leaky", "Unicast Packet Inter-Vlan leaky:", bit(1), true),
       RadioPair("arp-leaky", "ARP Broadcast Packet Inter-Vlan leaky:", bit(2), true),
       Hidden(RadioPair("multicast-leaky", "IP Multicast Packet Inter-Vlan Leaky:", bit(3), true)),
       RadioPair("tag-aware", "802.1Q Vlan TAG aware:", bit(4), true),
       RadioPair("admit", "Ingress rule for acceptable frame types control:", bit(5), true,
                 {"Admit only Vlan-Tagged frames", "Admit all frames"}, {"tagged", "all"}),
       Hidden(RadioPair("ingress-filter", "Ingress Rule for Ingress Filtering:", bit(6), true))},
      {{kRegVlanControl, WriteMode::Whole}}};
  return formTable;
}

}  // namespace brisfell
