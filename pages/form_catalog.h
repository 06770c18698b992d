// Every page made from a form table, for what serves them all alike: the command line's
// show/set commands and the tests that hold every table to the same rules.
#pragma once

#include <vector>

#include "pages/common/form.h"

namespace brisfell {

std::vector<const FormTable*> FormCatalog();

}  // namespace brisfell
