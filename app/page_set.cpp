#include "app/page_set.h"

#include <stdexcept>

#include "pages/features/global_config_page.h"
#include "pages/features/igmp_page.h"
#include "pages/features/qos_page.h"
#include "pages/ports/port_config_page.h"
#include "pages/security/device_security_page.h"
#include "pages/status/mib_counter_page.h"
#include "pages/status/overview_page.h"
#include "pages/status/port_status_page.h"
#include "pages/system/configurations_page.h"
#include "pages/system/device_reset_page.h"
#include "pages/system/fault_info_page.h"
#include "pages/vlan/tag_control_page.h"
#include "pages/vlan/vlan_config_page.h"
#include "pages/vlan/vlan_control_page.h"

namespace brisfell {

// One line per page, in tab order.
PageSet::PageSet(PageContext& c, EngineJobs& j) {
  auto status = std::make_unique<StatusHost>();
  status->AddPage(std::make_unique<OverviewPage>(c, j));
  status->AddPage(std::make_unique<PortStatusPage>(c, j));
  status->AddPage(std::make_unique<MibCounterPage>(c, j));

  auto configuration = std::make_unique<ConfigurationHost>();
  configuration->AddPage(std::make_unique<PortConfigPage>(c, j));
  configuration->AddPage(std::make_unique<GlobalConfigPage>(c, j));
  configuration->AddPage(std::make_unique<QosPage>(c, j));
  configuration->AddPage(std::make_unique<VlanConfigPage>(c, j));
  configuration->AddPage(std::make_unique<VlanControlPage>(c, j));
  configuration->AddPage(std::make_unique<TagControlPage>(c, j));
  configuration->AddPage(std::make_unique<IgmpPage>(c, j));

  auto security = std::make_unique<SecurityHost>();
  security->AddPage(std::make_unique<DeviceSecurityPage>(c, j));

  auto system = std::make_unique<SystemHost>();
  system->AddPage(std::make_unique<FaultInfoPage>(c, j));
  system->AddPage(std::make_unique<DeviceResetPage>(c, j));
  system->AddPage(std::make_unique<ConfigurationsPage>(c, j));

  hosts_ = {std::move(status), std::move(configuration), std::move(security), std::move(system)};
  for (const auto& host : hosts_)
    if (host->PageCount() != host->TabCount())
      throw std::logic_error("every tab of " + host->Name().toStdString() + " needs a page");
}

}  // namespace brisfell
