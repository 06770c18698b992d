// View > Network map: the discovered switches as a tree from the station, each link labelled
// with the ports at both ends, each switch with its name, MAC and model. Clicking a switch
// makes it the current switch, as choosing it in the switch selector does.
#pragma once

#include <QGraphicsScene>
#include <QGraphicsView>
#include <QLabel>
#include <QWidget>
#include <functional>

#include "pages/status/network_map_logic.h"
#include "pages/widgets/engine_jobs.h"
#include "pages/widgets/job_slot.h"

namespace brisfell {

class NetworkMapWindow : public QWidget {
 public:
  // `choose` makes a switch (table index) current.
  NetworkMapWindow(EngineJobs& jobs, std::function<void(int)> choose, QWidget* parent);

  // Draws the map anew from the switch table (read on the engine thread, after whatever is
  // under way there), the current switch highlighted.
  void Rebuild();
  bool Busy() const { return slot_->Busy(); }
  const NetworkMap& Map() const { return map_; }
  QGraphicsView* View() const { return view_; }
  QLabel* Hint() const { return hint_; }
  // Where node `node` of the map is drawn, in the view's viewport (tests click there).
  QPoint NodeCentreInView(int node) const;
  // What a click on the node does: a switch becomes current; the station and an undiscovered
  // upstream do nothing. False when nothing happened.
  bool ActivateNode(int node);

  static constexpr int kBoxWidth = 200;
  static constexpr int kBoxHeight = 64;
  static constexpr int kSlotWidth = 236;
  static constexpr int kRowHeight = 136;

 private:
  QRectF NodeRect(int node) const;
  void Draw(NetworkMap map);

  EngineJobs& jobs_;
  JobSlot* slot_ = nullptr;
  std::function<void(int)> choose_;
  QGraphicsScene* scene_ = nullptr;
  QGraphicsView* view_ = nullptr;
  QLabel* hint_ = nullptr;
  NetworkMap map_;
};

}  // namespace brisfell
