// What every page's logic works with: the engine, the prompts, and the one shared value
// that a page sets before it opens its edit dialog.
#pragma once

#include <functional>
#include <string>

#include "engine/engine.h"
#include "pages/common/prompt.h"

namespace brisfell {

struct PageContext {
  PageContext(Engine& e, Prompt& p) : engine(e), prompt(p) {}

  Engine& engine;
  Prompt& prompt;
  // The list row (or VLAN entry) a page selected before opening its modal dialog; -1 for
  // none or new.
  int selectedListRow = -1;
  // Where a page says what went wrong without a message box of its own: the window's status
  // bar, or the command line's error stream.
  std::function<void(const std::string&)> showStatus;

  void Status(const std::string& text) const {
    if (showStatus) showStatus(text);
  }

  int Adapter() const { return engine.CurrentAdapterIndex(); }
  int Switch() const { return engine.CurrentSwitchIndex(); }
  // Pages do nothing while no adapter or no switch is current.
  bool Ready() const { return Adapter() != -1 && Switch() != -1; }
  int PortCount() const { return engine.PortCount(Switch()); }
  const SwitchRecord* Record() const { return engine.GetSwitchRecord(Switch()); }
};

// Label of a 0-based shown port position: "1".."24", then "G1", "G2".
std::string PortLabel(int position);

}  // namespace brisfell
