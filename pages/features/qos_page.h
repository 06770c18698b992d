// The QoS Configuration page: priority sources, queue weighting and forced high-priority ports; all of it is its table.
#pragma once

#include "pages/widgets/form_page.h"

namespace brisfell {

class QosPage : public FormPage {
 public:
  QosPage(PageContext& context, EngineJobs& jobs);
};

}  // namespace brisfell
