// The network map: the discovered switches as a tree hanging from the station, each switch
// under the upstream switch its hello reply named, each link labelled with the shown ports at
// both ends exactly as the Overview's topology list gives them. Laid out as a tidy tree: one
// row per depth, leaves side by side, each parent centred over its children.
#pragma once

#include <string>
#include <vector>

#include "engine/engine.h"

namespace brisfell {

enum class MapNodeKind {
  Station,     // the console's own adapter, the root
  Switch,      // a discovered switch
  Undiscovered // an upstream MAC some reply named that did not answer itself
};

struct MapNode {
  MapNodeKind kind = MapNodeKind::Switch;
  int switchIndex = -1;  // switch table index for a Switch node, -1 otherwise
  std::string name;      // as the Overview's "Name" column (the model name), "Station", "Not discovered"
  std::string mac;
  std::string model;     // what the switch is: its port count and vendor identifier
  int parent = -1;       // index into NetworkMap::nodes; -1 for the station
  // Shown ports of the link to the parent: on the parent's side and on this switch's side
  // ("na" where the Overview says "na"; empty on the station's side, which has no ports).
  std::string parentPort;
  std::string ownPort;
  int depth = 0;
  double slot = 0;  // horizontal position in leaf widths
};

struct NetworkMap {
  std::vector<MapNode> nodes;  // nodes[0] is the station; parents come before their children
  int depth = 0;               // deepest row
  double width = 0;            // slots used
  // The node of a switch table index, -1 when it is not on the map.
  int NodeOfSwitch(int switchIndex) const;
};

// Empty (not even a station) while no adapter is current. A switch whose upstream switch was
// not found hangs from the station when its reply named no upstream MAC (all zero or the
// station's own), otherwise from a "Not discovered" node of that MAC; a chain of upstreams
// that loops back is cut where it closes and hung from the station.
NetworkMap BuildNetworkMap(const Engine& engine);

}  // namespace brisfell
