#include "pages/status/overview_logic.h"

namespace brisfell {
namespace {

// 1-based shown port number of a chip port on switch `index`, or "na" when the switch's port
// map has no such chip port (a reply may carry any byte there).
std::string ShownPort(const Engine& engine, int index, int chipPort) {
  const int position = engine.MapChipToPort(index, chipPort);
  if (position < 0) return kNotAvailable;
  return Format("%d", position + 1);
}

}  // namespace

UpLink FindUpLink(const Engine& engine, int index) {
  UpLink link;
  const SwitchRecord* r = engine.GetSwitchRecord(index);
  if (!r) return {-1, kNotAvailable, kNotAvailable};
  link.downLinkPort = ShownPort(engine, index, r->downLinkPort);
  for (int u = 0; u < engine.SwitchCount() && link.upstream == -1; ++u) {
    if (u == index) continue;
    const SwitchRecord* candidate = engine.GetSwitchRecord(u);
    if (candidate && candidate->mac == r->upLinkMac) link.upstream = u;
  }
  // The upstream port is translated with the upstream switch's own port map.
  link.upLinkPort = link.upstream != -1 ? ShownPort(engine, link.upstream, r->upLinkPort) : kNotAvailable;
  return link;
}

OverviewTables OverviewColumns() {
  OverviewTables t;
  t.devices.columns = {"Name", "MAC Address", "Chip ID", "Vendor ID"};
  t.topology.columns = {"Down Link MAC", "Down Link Port", "Up Link MAC", "Up Link Port"};
  return t;
}

OverviewTables BuildOverview(const Engine& engine) {
  OverviewTables t = OverviewColumns();
  const int s = engine.CurrentSwitchIndex();
  if (engine.CurrentAdapterIndex() == -1 || s == -1) return t;
  const SwitchRecord* r = engine.GetSwitchRecord(s);
  if (!r) return t;

  t.devices.rows.push_back(
      {r->modelName, FormatMac(r->mac), Format("0x%04X", r->chipId), Format("0x%08X", r->vendorId)});

  const UpLink link = FindUpLink(engine, s);
  std::vector<std::string> row = {FormatMac(r->mac), link.downLinkPort};
  row.push_back(link.upstream != -1 ? FormatMac(r->upLinkMac) : kNotAvailable);
  row.push_back(link.upLinkPort);
  t.topology.rows.push_back(std::move(row));
  return t;
}

}  // namespace brisfell
