#include "pages/common/page_context.h"

namespace brisfell {

std::string PortLabel(int position) {
  // Appended rather than "G" + ...: GCC 12 warns falsely (-Wrestrict) on that at -O3.
  if (position >= 24) return std::string("G").append(std::to_string(position - 23));
  return std::to_string(position + 1);
}

}  // namespace brisfell
