#include "app/traffic_window.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>

#include "pages/status/mib_counter_logic.h"

namespace brisfell {
namespace {

constexpr int kIntervalsS[] = {1, 2, 5, 10};
constexpr int kDefaultInterval = 1;  // 2 s
// Rx and Tx of one port in two colours of one pair (dark and light), each pair its own hue, so
// that every line is told apart by colour alone; Tx is also dashed.
const QColor kPalette[][2] = {{QColor(0x1F, 0x77, 0xB4), QColor(0xFF, 0x7F, 0x0E)},
                              {QColor(0x2C, 0xA0, 0x2C), QColor(0xD6, 0x27, 0x28)},
                              {QColor(0x94, 0x67, 0xBD), QColor(0x8C, 0x56, 0x4B)},
                              {QColor(0x17, 0xBE, 0xCF), QColor(0xE3, 0x77, 0xC2)},
                              {QColor(0x7F, 0x7F, 0x7F), QColor(0xBC, 0xBD, 0x22)},
                              {QColor(0x39, 0x3B, 0x79), QColor(0xAD, 0x49, 0x4A)}};

}  // namespace

TrafficWindow::TrafficWindow(PageContext& context, EngineJobs& jobs, QWidget* parent)
    : QWidget(parent, Qt::Window), context_(context), jobs_(jobs) {
  setObjectName("TrafficWindow");
  setWindowTitle("Traffic");
  auto* layout = new QVBoxLayout(this);
  title_ = new QLabel(this);
  title_->setObjectName("trafficTitle");
  layout->addWidget(title_);

  auto* middle = new QHBoxLayout;
  auto* left = new QVBoxLayout;
  left->addWidget(new QLabel("Ports:", this));
  ports_ = new QListWidget(this);
  ports_->setObjectName("trafficPorts");
  ports_->setMaximumWidth(190);
  left->addWidget(ports_, 1);
  middle->addLayout(left);

  chart_ = new QChart;
  chart_->legend()->setAlignment(Qt::AlignBottom);
  chart_->setMargins(QMargins(4, 4, 4, 4));
  chartView_ = new QChartView(chart_, this);
  chartView_->setObjectName("trafficChart");
  chartView_->setRenderHint(QPainter::Antialiasing);
  chartView_->setMinimumSize(480, 300);
  middle->addWidget(chartView_, 1);
  layout->addLayout(middle, 1);

  notes_ = new QLabel(this);
  notes_->setObjectName("trafficNotes");
  notes_->setWordWrap(true);
  layout->addWidget(notes_);

  auto* controls = new QHBoxLayout;
  sampling_ = new QCheckBox("Sample every", this);
  sampling_->setObjectName("trafficSampling");
  sampling_->setChecked(true);
  interval_ = new QComboBox(this);
  interval_->setObjectName("trafficInterval");
  for (int s : kIntervalsS) interval_->addItem(QString("%1 s").arg(s), s);
  interval_->setCurrentIndex(kDefaultInterval);
  controls->addWidget(sampling_);
  controls->addWidget(interval_);
  controls->addStretch();
  layout->addLayout(controls);

  slot_ = new JobSlot(jobs_, this, chartView_, {});
  timer_ = new QTimer(this);
  QObject::connect(timer_, &QTimer::timeout, this, [this] { SampleNow(); });
  QObject::connect(sampling_, &QCheckBox::toggled, this, [this](bool on) {
    if (on) ShowNotes();
    StartOrStop();
  });
  QObject::connect(interval_, &QComboBox::currentIndexChanged, this, [this] { StartOrStop(); });
  QObject::connect(ports_, &QListWidget::itemChanged, this, [this] { PortsChosen(); });

  resize(820, 520);
  SwitchChanged();
}

int TrafficWindow::IntervalMs() const { return interval_->currentData().toInt() * 1000; }

void TrafficWindow::StartOrStop() {
  if (sampling_->isChecked() && isVisible()) {
    timer_->start(IntervalMs());
  } else {
    timer_->stop();
  }
}

void TrafficWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  StartOrStop();
  // A first sample at once: rates need two, and the operator should not wait for both.
  if (recorder_.LastSampleUs() == 0) SampleNow();
}

void TrafficWindow::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  timer_->stop();
}

void TrafficWindow::SwitchChanged() {
  slot_->Cancel();
  recorder_.Reset();
  const SwitchRecord* record = jobs_.View().Current();
  title_->setText(record ? QString("Rates of %1 (%2), last five minutes")
                               .arg(QString::fromStdString(FormatMac(record->mac)),
                                    QString::fromStdString(record->modelName))
                         : QString("No switch chosen."));
  FillPortList();
  ShowSeries();
  ShowNotes();
  if (isVisible() && sampling_->isChecked()) SampleNow();
}

void TrafficWindow::FillPortList() {
  const QSignalBlocker block(ports_);
  ports_->clear();
  const int n = jobs_.View().PortCount();
  for (int p = 0; p < n; ++p) {
    auto* item = new QListWidgetItem(QString("Port %1").arg(QString::fromStdString(PortLabel(p))), ports_);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
  }
}

// Check marks from the recorder's choice, and what each port's counters count.
void TrafficWindow::UpdatePortList() {
  const QSignalBlocker block(ports_);
  const auto& chosen = recorder_.Chosen();
  for (int p = 0; p < ports_->count(); ++p) {
    QListWidgetItem* item = ports_->item(p);
    const bool on = std::find(chosen.begin(), chosen.end(), p) != chosen.end();
    item->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    const int rx = recorder_.Code(p, 0);
    const int tx = recorder_.Code(p, 1);
    QString counts;
    if (rx == 0 && tx == 0) {
      counts = "bytes";
    } else if (rx >= 0 && rx != 0 && tx != 0) {
      counts = "not bytes";
    } else if (rx >= 0) {
      counts = rx == 0 ? "Rx bytes only" : "Tx bytes only";
    }
    const QString label = QString("Port %1").arg(QString::fromStdString(PortLabel(p)));
    item->setText(counts.isEmpty() ? label : QString("%1  (%2)").arg(label, counts));
    item->setToolTip(rx < 0 ? QString()
                            : QString("Counter 1 counts %1, counter 2 counts %2")
                                  .arg(MibPageText(0, rx), MibPageText(1, tx)));
  }
}

void TrafficWindow::PortsChosen() {
  std::vector<int> chosen;
  for (int p = 0; p < ports_->count(); ++p)
    if (ports_->item(p)->checkState() == Qt::Checked) chosen.push_back(p);
  // A sample under way would bring back the old choice.
  slot_->Cancel();
  recorder_.Choose(chosen);
  ShowSeries();
  ShowNotes();
}

bool TrafficWindow::SampleNow() {
  const SwitchRecord* record = jobs_.View().Current();
  if (!sampling_->isChecked() || !isEnabled() || !isVisible() || QApplication::activeModalWidget() || !record ||
      slot_->Busy())
    return false;
  JobSlot::Options options;
  options.automatic = true;
  // The recorder's copy samples on the engine thread; it comes back whole.
  slot_->Run(
      "Sampling the counters...",
      [recorder = recorder_, context = jobs_.EngineContext(context_)](JobControl&) mutable {
        const bool ok = recorder.Sample(context);
        return std::make_pair(ok, std::move(recorder));
      },
      [this, mac = record->mac](std::pair<bool, TrafficRecorder> sampled) {
        if (!sampled.first) {
          // Not again every few seconds: each try waits for a whole time-out.
          const QSignalBlocker block(sampling_);
          sampling_->setChecked(false);
          timer_->stop();
          ShowNotes(QString("No reply from %1: sampling stopped.").arg(QString::fromStdString(FormatMac(mac))));
          return;
        }
        recorder_ = std::move(sampled.second);
        UpdatePortList();
        ShowSeries();
        ShowNotes();
      },
      std::move(options));
  return true;
}

void TrafficWindow::ShowNotes(const QString& problem) {
  QStringList lines;
  if (!problem.isEmpty()) lines << problem;
  for (const std::string& note : recorder_.Notes()) lines << QString::fromStdString(note);
  if (!lines.isEmpty() && recorder_.Notes().size() > 0)
    lines << "Make them count bytes on the MIB Counter page (All BYTE or Config).";
  if (lines.isEmpty() && recorder_.Chosen().empty() && recorder_.HasChosen()) lines << "Choose ports to plot.";
  notes_->setText(lines.join("\n"));
}

void TrafficWindow::ShowSeries() {
  chart_->removeAllSeries();
  for (QAbstractAxis* axis : chart_->axes()) {
    chart_->removeAxis(axis);
    delete axis;
  }
  const double keepS = static_cast<double>(recorder_.KeepUs()) / 1e6;
  const int64_t last = recorder_.LastSampleUs();
  double largest = 0;
  for (const TrafficSeries& s : recorder_.Series())
    for (const TrafficSample& x : s.samples) largest = std::max({largest, x.rx.value_or(0), x.tx.value_or(0)});
  const RateScale rate = RateScaleFor(largest);
  // Bytes a second to the axis' unit.
  const double scale = rate.bitsPerUnit / 8;

  auto* axisX = new QValueAxis;
  axisX->setRange(-keepS, 0);
  axisX->setTickCount(6);
  axisX->setLabelFormat("%.0f");
  axisX->setTitleText("Seconds before the last sample");
  auto* axisY = new QValueAxis;
  axisY->setRange(0, largest > 0 ? largest / scale * 1.15 : 1);
  axisY->applyNiceNumbers();
  axisY->setLabelFormat(axisY->max() >= 10 ? "%.0f" : "%.1f");
  axisY->setTitleText(QString::fromStdString(rate.unit));
  chart_->addAxis(axisX, Qt::AlignBottom);
  chart_->addAxis(axisY, Qt::AlignLeft);

  int colour = 0;
  for (const TrafficSeries& s : recorder_.Series()) {
    const auto& pair = kPalette[colour++ % std::size(kPalette)];
    for (int direction = 0; direction < 2; ++direction) {
      if (recorder_.Code(s.position, direction) > 0) continue;  // not bytes: the notes say so
      auto* line = new QLineSeries;
      line->setName(QString("%1 %2").arg(QString::fromStdString(s.label), direction == 0 ? "Rx" : "Tx"));
      QPen pen(pair[direction], 2);
      if (direction == 1) pen.setStyle(Qt::DashLine);
      line->setPen(pen);
      for (const TrafficSample& x : s.samples) {
        const auto& v = direction == 0 ? x.rx : x.tx;
        if (v) line->append(static_cast<double>(x.timeUs - last) / 1e6, *v / scale);
      }
      // The exact rate, in bytes too, where the pointer rests on the line.
      QObject::connect(line, &QLineSeries::hovered, chartView_, [this, line, scale](const QPointF& at, bool on) {
        chartView_->setToolTip(on ? QString::fromStdString(TrafficPointText(line->name().toStdString(), at.y() * scale, -at.x()))
                                  : QString());
      });
      chart_->addSeries(line);
      line->attachAxis(axisX);
      line->attachAxis(axisY);
    }
  }
}

}  // namespace brisfell
