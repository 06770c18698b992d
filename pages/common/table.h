// A list as a page shows it: header texts and rows of cell texts. Page logic returns it,
// the widgets render it, the command line prints it (or writes it as JSON).
#pragma once

#include <string>
#include <vector>

namespace brisfell {

struct Table {
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;
};

}  // namespace brisfell
