#include "pages/vlan/vlan_control_page.h"

#include "pages/vlan/vlan_control_form.h"

namespace brisfell {

VlanControlPage::VlanControlPage(PageContext& context, EngineJobs& jobs) : FormPage(context, jobs, VlanControlForm()) {}

}  // namespace brisfell
