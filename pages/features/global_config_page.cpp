#include "pages/features/global_config_page.h"

#include "pages/features/feature_forms.h"

namespace brisfell {

GlobalConfigPage::GlobalConfigPage(PageContext& context, EngineJobs& jobs) : FormPage(context, jobs, GlobalConfigForm()) {}

}  // namespace brisfell
