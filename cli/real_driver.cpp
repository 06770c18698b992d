#include "cli/cli.h"

namespace brisfell::cli {

std::unique_ptr<PacketDriver> CreateRealDriver(std::string& why) {
  why = "this build has no packet driver for real adapters; use --sim";
  return nullptr;
}

}  // namespace brisfell::cli
