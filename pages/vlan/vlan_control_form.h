// The Vlan Control page as a table: seven radio pairs over the bits of the VLAN control
// register, two of them not shown but still read and written back.
#pragma once

#include "pages/common/form.h"

namespace brisfell {

const FormTable& VlanControlForm();

}  // namespace brisfell
