// The Global Configuration page: back pressure, storm filtering and loop detection; all of it is its table.
#pragma once

#include "pages/widgets/form_page.h"

namespace brisfell {

class GlobalConfigPage : public FormPage {
 public:
  explicit GlobalConfigPage(PageContext& context);
};

}  // namespace brisfell
