// The Global Configuration page: back pressure, storm filtering and loop detection; all of it is its table.
#pragma once

#include "pages/widgets/form_page.h"

namespace brisfell {

class GlobalConfigPage : public FormPage {
 public:
  GlobalConfigPage(PageContext& context, EngineJobs& jobs);
};

}  // namespace brisfell
