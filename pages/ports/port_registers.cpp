#include "pages/ports/port_registers.h"

#include <algorithm>

namespace brisfell {

const std::array<const char*, 8> kBandwidthPageTexts = {"no", "128K", "256K", "512K",
                                                        "1M", "2M",   "4M",   "8M"};
const std::array<const char*, 8> kBandwidthDialogTexts = {"Disable", "128Kbps", "256Kbps", "512Kbps",
                                                          "1Mbps",   "2Mbps",   "4Mbps",   "8Mbps"};
const std::array<const char*, 4> kPauseTexts = {"None", "Asym to LinkPartner", "Symmetric",
                                                "Asym to LocalDevice"};

std::string AdvertisedSpeedText(uint8_t advertise) {
  const int v = Abilities(advertise);
  if ((advertise & kAutoFlag) && (v == 0x0F || v == 0x1F)) return "Auto";
  if (v == 0) return "Error";
  if (v >= 16) return "1000M Full";
  if (v >= 8) return "100M Full";
  if (v >= 4) return "100M Half";
  if (v >= 2) return "10M Full";
  return "10M Half";
}

RegisterReader& RegisterReader::Add(uint16_t reg) {
  pending_.push_back(reg);
  return *this;
}

RegisterReader& RegisterReader::AddRange(uint16_t first, int count) {
  for (int i = 0; i < count; ++i) pending_.push_back(static_cast<uint16_t>(first + i));
  return *this;
}

bool RegisterReader::ReadAll() {
  std::map<uint16_t, uint32_t> read;
  const bool ok = engine_.ReadRegisters(switch_, pending_, read, kRegisterTimeoutMs);
  pending_.clear();
  for (const auto& [reg, value] : read) values_[reg] = value;
  return ok;
}

uint32_t RegisterReader::operator[](uint16_t reg) const {
  auto it = values_.find(reg);
  return it == values_.end() ? 0 : it->second;
}

}  // namespace brisfell
