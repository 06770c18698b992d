#include "pages/features/qos_page.h"

#include "pages/features/feature_forms.h"

namespace brisfell {

QosPage::QosPage(PageContext& context, EngineJobs& jobs) : FormPage(context, jobs, QosForm()) {}

}  // namespace brisfell
