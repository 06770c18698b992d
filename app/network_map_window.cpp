#include "app/network_map_window.h"

#include <QFontMetrics>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QMouseEvent>
#include <QPen>
#include <QVBoxLayout>

namespace brisfell {
namespace {

constexpr int kNodeKey = 0;  // item data: the map node an item belongs to
constexpr int kPadding = 8;

// A click on a node's box or text activates the node; nothing else reacts to the mouse.
class MapView : public QGraphicsView {
 public:
  MapView(QGraphicsScene* scene, NetworkMapWindow* window) : QGraphicsView(scene, window), window_(window) {}

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    // The base class is not called: activating may rebuild the scene under the click.
    if (event->button() != Qt::LeftButton) return;
    for (QGraphicsItem* item : items(event->position().toPoint())) {
      const QVariant node = item->data(kNodeKey);
      if (node.isValid()) {
        window_->ActivateNode(node.toInt());
        return;
      }
    }
  }

 private:
  NetworkMapWindow* window_;
};

QString PortText(const std::string& port) {
  const QString p = QString::fromStdString(port);
  return p == "na" ? p : "port " + p;
}

}  // namespace

NetworkMapWindow::NetworkMapWindow(EngineJobs& jobs, std::function<void(int)> choose, QWidget* parent)
    : QWidget(parent, Qt::Window), jobs_(jobs), choose_(std::move(choose)) {
  setObjectName("NetworkMapWindow");
  setWindowTitle("Network map");
  auto* layout = new QVBoxLayout(this);
  hint_ = new QLabel(this);
  hint_->setObjectName("networkMapHint");
  layout->addWidget(hint_);
  scene_ = new QGraphicsScene(this);
  view_ = new MapView(scene_, this);
  view_->setObjectName("networkMapView");
  view_->setRenderHint(QPainter::Antialiasing);
  view_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  layout->addWidget(view_, 1);
  slot_ = new JobSlot(jobs_, this, view_, {view_});
  resize(760, 560);
}

QRectF NetworkMapWindow::NodeRect(int node) const {
  const MapNode& n = map_.nodes[node];
  const double x = n.slot * kSlotWidth + (kSlotWidth - kBoxWidth) / 2.0;
  return QRectF(x, n.depth * kRowHeight, kBoxWidth, kBoxHeight);
}

void NetworkMapWindow::Rebuild() {
  // The newest table is the one to draw: a rebuild still waiting is dropped.
  slot_->Cancel();
  slot_->Run(
      "Reading the switch table...", [](JobControl& job) { return BuildNetworkMap(job.engine); },
      [this](NetworkMap map) { Draw(std::move(map)); });
}

void NetworkMapWindow::Draw(NetworkMap map) {
  scene_->clear();
  map_ = std::move(map);
  if (map_.nodes.empty()) {
    hint_->setText("No adapter chosen yet: choose one to discover its switches.");
    return;
  }
  hint_->setText(map_.nodes.size() == 1 ? "No switch answered on this adapter."
                                        : "Click a switch to make it the current switch.");
  const int current = jobs_.View().currentSwitch;
  const QFont plain = font();
  QFont bold = plain;
  bold.setBold(true);
  QFont small = plain;
  small.setPointSizeF(plain.pointSizeF() * 0.9);

  // Links first, so that the boxes and labels are drawn over them.
  for (size_t i = 1; i < map_.nodes.size(); ++i) {
    const MapNode& n = map_.nodes[i];
    const QRectF parent = NodeRect(n.parent);
    const QRectF own = NodeRect(static_cast<int>(i));
    const QPointF from(parent.center().x(), parent.bottom());
    const QPointF to(own.center().x(), own.top());
    QPen pen(QColor(0x55, 0x55, 0x55), 1.5);
    if (n.kind == MapNodeKind::Undiscovered || map_.nodes[n.parent].kind == MapNodeKind::Undiscovered)
      pen.setStyle(Qt::DashLine);
    scene_->addLine(QLineF(from, to), pen);
    auto label = [&](const std::string& port, double along) {
      if (port.empty()) return;
      auto* text = new QGraphicsSimpleTextItem(PortText(port));
      text->setFont(small);
      const QPointF at = from + (to - from) * along;
      const QRectF box = text->boundingRect().adjusted(-4, -2, 4, 2);
      auto* back = scene_->addRect(box, QPen(QColor(0xAA, 0xAA, 0xAA)), QBrush(QColor(0xFF, 0xFF, 0xF4)));
      back->setPos(at - box.center());
      text->setParentItem(back);
    };
    label(n.parentPort, 0.34);
    label(n.ownPort, 0.78);
  }

  for (size_t i = 0; i < map_.nodes.size(); ++i) {
    const MapNode& n = map_.nodes[i];
    const QRectF r = NodeRect(static_cast<int>(i));
    QPen border(QColor(0x55, 0x55, 0x55), 1.2);
    QBrush fill(Qt::white);
    if (n.kind == MapNodeKind::Station) {
      fill = QBrush(QColor(0xEC, 0xEC, 0xEC));
    } else if (n.kind == MapNodeKind::Undiscovered) {
      border = QPen(QColor(0x99, 0x99, 0x99), 1.2, Qt::DashLine);
      fill = QBrush(QColor(0xFA, 0xFA, 0xFA));
    } else if (n.switchIndex == current) {
      border = QPen(QColor(0x2A, 0x62, 0xC9), 2.5);
      fill = QBrush(QColor(0xDB, 0xE9, 0xFF));
    }
    auto* box = scene_->addRect(r, border, fill);
    box->setData(kNodeKey, static_cast<int>(i));
    if (n.kind == MapNodeKind::Switch) {
      box->setCursor(Qt::PointingHandCursor);
      box->setToolTip(QString("Make %1 the current switch").arg(QString::fromStdString(n.mac)));
    }
    // Three lines: name, MAC, model; each cut to the box.
    const std::pair<const std::string*, const QFont*> lines[] = {{&n.name, &bold}, {&n.mac, &plain}, {&n.model, &small}};
    double y = r.top() + 5;
    for (const auto& [text, f] : lines) {
      const QFontMetrics fm(*f);
      auto* item = new QGraphicsSimpleTextItem(
          fm.elidedText(QString::fromStdString(*text), Qt::ElideRight, kBoxWidth - 2 * kPadding), box);
      item->setFont(*f);
      item->setData(kNodeKey, static_cast<int>(i));
      item->setPos(r.left() + kPadding, y);
      y += fm.lineSpacing() + 1;
    }
  }
  scene_->setSceneRect(scene_->itemsBoundingRect().adjusted(-20, -20, 20, 20));
}

QPoint NetworkMapWindow::NodeCentreInView(int node) const {
  if (node < 0 || node >= static_cast<int>(map_.nodes.size())) return {};
  return view_->mapFromScene(NodeRect(node).center());
}

bool NetworkMapWindow::ActivateNode(int node) {
  if (!isEnabled() || slot_->Busy() || node < 0 || node >= static_cast<int>(map_.nodes.size())) return false;
  const MapNode& n = map_.nodes[node];
  if (n.kind != MapNodeKind::Switch) return false;
  choose_(n.switchIndex);
  return true;
}

}  // namespace brisfell
