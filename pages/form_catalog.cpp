#include "pages/form_catalog.h"

#include "pages/features/feature_forms.h"
#include "pages/security/device_security_logic.h"
#include "pages/vlan/vlan_control_form.h"

namespace brisfell {

std::vector<const FormTable*> FormCatalog() {
  return {&GlobalConfigForm(), &QosForm(), &VlanControlForm(), &IgmpForm(), &DeviceSecurityForm()};
}

}  // namespace brisfell
