// The Vlan Control page: the VLAN function, the leaky rules, tag awareness and the ingress
// rules, all of it its table.
#pragma once

#include "pages/widgets/form_page.h"

namespace brisfell {

class VlanControlPage : public FormPage {
 public:
  VlanControlPage(PageContext& context, EngineJobs& jobs);
};

}  // namespace brisfell
