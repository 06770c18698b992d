// The switch-wide settings pages as tables: Global Configuration, QoS Configuration and Igmp
// Snooping, and the IGMP page's multicast-router list.
#pragma once

#include <cstdint>
#include <string>

#include "engine/switch_record.h"
#include "pages/common/form.h"

namespace brisfell {

const FormTable& GlobalConfigForm();
const FormTable& QosForm();
const FormTable& IgmpForm();

// The router ports of register 0x0309 in shown-port order, each as "%d,": "1,5,12,".
std::string RouterPortsText(const SwitchRecord& record, uint32_t routerPorts);

}  // namespace brisfell
