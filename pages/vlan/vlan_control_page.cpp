#include "pages/vlan/vlan_control_page.h"

#include "pages/vlan/vlan_control_form.h"

namespace brisfell {

VlanControlPage::VlanControlPage(PageContext& context) : FormPage(context, VlanControlForm()) {}

}  // namespace brisfell
