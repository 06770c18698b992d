#include "pages/features/qos_page.h"

#include "pages/features/feature_forms.h"

namespace brisfell {

QosPage::QosPage(PageContext& context) : FormPage(context, QosForm()) {}

}  // namespace brisfell
