#include "pages/status/network_map_logic.h"

#include <algorithm>
#include <functional>
#include <map>

#include "pages/status/overview_logic.h"

namespace brisfell {
namespace {

constexpr int kStation = -1;

bool NamesNoUpstream(const Engine& engine, const Mac& upLinkMac) {
  return upLinkMac == Mac{} || upLinkMac == engine.StationMac();
}

}  // namespace

int NetworkMap::NodeOfSwitch(int switchIndex) const {
  for (size_t i = 0; i < nodes.size(); ++i)
    if (nodes[i].kind == MapNodeKind::Switch && nodes[i].switchIndex == switchIndex) return static_cast<int>(i);
  return -1;
}

NetworkMap BuildNetworkMap(const Engine& engine) {
  NetworkMap map;
  if (engine.CurrentAdapterIndex() == -1) return map;
  const int n = engine.SwitchCount();

  std::vector<UpLink> links(static_cast<size_t>(n));
  std::vector<int> up(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    links[i] = FindUpLink(engine, i);
    up[i] = links[i].upstream;
  }
  // Replies may name each other as upstream; cut each loop at the link that closes it.
  std::vector<bool> cut(static_cast<size_t>(n), false);
  for (int i = 0; i < n; ++i) {
    std::vector<bool> onPath(static_cast<size_t>(n), false);
    int last = -1;
    int at = i;
    while (at != -1 && !onPath[at]) {
      onPath[at] = true;
      last = at;
      at = up[at];
    }
    if (at != -1) {
      up[last] = -1;
      cut[last] = true;
    }
  }

  // Parents as keys: kStation, a switch index (>= 0), or an undiscovered upstream MAC, which
  // gets a node of its own below the station (keyed -2, -3, ... in order of first mention).
  std::map<int, std::vector<int>> children;  // parent key -> switch indexes, ascending
  std::vector<Mac> undiscovered;
  std::vector<int> parentKey(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    const SwitchRecord* r = engine.GetSwitchRecord(i);
    int key = up[i];
    if (key == -1) {
      key = kStation;
      if (!cut[i] && !NamesNoUpstream(engine, r->upLinkMac)) {
        auto it = std::find(undiscovered.begin(), undiscovered.end(), r->upLinkMac);
        if (it == undiscovered.end()) it = undiscovered.insert(undiscovered.end(), r->upLinkMac);
        key = -2 - static_cast<int>(it - undiscovered.begin());
      }
    }
    parentKey[i] = key;
    children[key].push_back(i);
  }

  MapNode station;
  station.kind = MapNodeKind::Station;
  station.name = "Station";
  station.mac = FormatMac(engine.StationMac());
  station.model = engine.AdapterDescription(engine.CurrentAdapterIndex());
  map.nodes.push_back(station);

  // Breadth first, so that parents come before their children.
  std::vector<std::pair<int, int>> queue;  // (parent key, node index of that parent)
  queue.push_back({kStation, 0});
  for (size_t u = 0; u < undiscovered.size(); ++u) {
    MapNode node;
    node.kind = MapNodeKind::Undiscovered;
    node.name = "Not discovered";
    node.mac = FormatMac(undiscovered[u]);
    node.parent = 0;
    node.depth = 1;
    map.nodes.push_back(node);
    queue.push_back({-2 - static_cast<int>(u), static_cast<int>(map.nodes.size()) - 1});
  }
  for (size_t q = 0; q < queue.size(); ++q) {
    const auto [key, parentNode] = queue[q];
    for (int i : children[key]) {
      const SwitchRecord* r = engine.GetSwitchRecord(i);
      MapNode node;
      node.kind = MapNodeKind::Switch;
      node.switchIndex = i;
      node.name = r->modelName;
      node.mac = FormatMac(r->mac);
      node.model = Format("%d ports, vendor 0x%08X", r->portCount, r->vendorId);
      node.parent = parentNode;
      node.depth = map.nodes[parentNode].depth + 1;
      node.ownPort = links[i].downLinkPort;
      // The station has no ports; everything else shows the Overview's "Up Link Port".
      node.parentPort = key == kStation ? "" : links[i].upLinkPort;
      map.nodes.push_back(node);
      queue.push_back({i, static_cast<int>(map.nodes.size()) - 1});
    }
  }

  // Tidy layout: leaves side by side in order, parents centred over their children.
  std::vector<std::vector<int>> kids(map.nodes.size());
  for (size_t i = 1; i < map.nodes.size(); ++i) kids[map.nodes[i].parent].push_back(static_cast<int>(i));
  double nextLeaf = 0;
  std::function<void(int)> place = [&](int node) {
    if (kids[node].empty()) {
      map.nodes[node].slot = nextLeaf;
      nextLeaf += 1;
      return;
    }
    for (int k : kids[node]) place(k);
    map.nodes[node].slot = (map.nodes[kids[node].front()].slot + map.nodes[kids[node].back()].slot) / 2;
  };
  place(0);
  map.width = nextLeaf;
  for (const MapNode& node : map.nodes) map.depth = std::max(map.depth, node.depth);
  return map;
}

}  // namespace brisfell
