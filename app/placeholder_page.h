// Stands on a tab whose page is not built yet: shows the page's caption and says so.
// It reads nothing and touches no switch.
#pragma once

#include "pages/common/page.h"

namespace brisfell {

inline constexpr const char* kNotAvailableYet = "Not available yet";

class PlaceholderPage : public Page {
 public:
  PlaceholderPage(PageContext& context, QString caption);

 protected:
  void BuildControls(QWidget* window) override;
};

}  // namespace brisfell
