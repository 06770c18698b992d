#include "pages/common/page_context.h"

namespace brisfell {

std::string PortLabel(int position) {
  if (position >= 24) return "G" + std::to_string(position - 23);
  return std::to_string(position + 1);
}

}  // namespace brisfell
