// View > Traffic: the receive and transmit byte rates of chosen ports of the current switch over
// the last five minutes. It samples the counters as the MIB selection has them and says which
// chosen ports do not count bytes. Sampling runs (as jobs on the engine thread) while the
// window is shown; a tick while the last sample still runs is skipped, and a switch that does
// not answer stops it.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QTimer>
#include <QWidget>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>

#include "pages/common/page_context.h"
#include "pages/status/traffic_logic.h"
#include "pages/widgets/engine_jobs.h"
#include "pages/widgets/job_slot.h"

namespace brisfell {

class TrafficWindow : public QWidget {
 public:
  TrafficWindow(PageContext& context, EngineJobs& jobs, QWidget* parent);

  // Another switch became current, or a discovery ran: the history starts over (a sample
  // still under way is dropped).
  void SwitchChanged();
  // Starts one sample, as the timer does: skipped (false) while sampling is off, the window is
  // disabled or hidden, a dialog is open, no switch is chosen, or the last sample still runs.
  bool SampleNow();
  bool Busy() const { return slot_->Busy(); }

  QListWidget* PortList() const { return ports_; }
  QCheckBox* SamplingBox() const { return sampling_; }
  QComboBox* IntervalBox() const { return interval_; }
  QLabel* Notes() const { return notes_; }
  QChart* Chart() const { return chart_; }
  QChartView* ChartView() const { return chartView_; }
  QTimer* Timer() const { return timer_; }
  const TrafficRecorder& Recorder() const { return recorder_; }
  int IntervalMs() const;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void FillPortList();
  void UpdatePortList();
  void PortsChosen();
  void ShowSeries();
  void ShowNotes(const QString& problem = {});
  void StartOrStop();

  PageContext& context_;
  EngineJobs& jobs_;
  JobSlot* slot_ = nullptr;
  TrafficRecorder recorder_;
  QListWidget* ports_ = nullptr;
  QCheckBox* sampling_ = nullptr;
  QComboBox* interval_ = nullptr;
  QLabel* title_ = nullptr;
  QLabel* notes_ = nullptr;
  QChart* chart_ = nullptr;
  QChartView* chartView_ = nullptr;
  QTimer* timer_ = nullptr;
};

}  // namespace brisfell
