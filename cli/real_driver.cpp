#include "cli/cli.h"
#include "engine/pcap/pcap_driver.h"

namespace brisfell::cli {

std::unique_ptr<PacketDriver> CreateRealDriver(std::string& why) {
  why.clear();
  return std::make_unique<PcapDriver>();
}

}  // namespace brisfell::cli
