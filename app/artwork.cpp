#include "app/artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace brisfell {
namespace {

// A switch seen from the front: a dark body, two rows of ports with link lights, and the
// uplink drawn as a short line leaving the top.
QPixmap DrawSwitch(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal s = size;

  // Uplink cable.
  QPen cable(QColor(0x2E, 0x7D, 0x32), s * 0.07, Qt::SolidLine, Qt::RoundCap);
  p.setPen(cable);
  p.drawLine(QPointF(s * 0.5, s * 0.08), QPointF(s * 0.5, s * 0.3));

  // Body.
  const QRectF body(s * 0.06, s * 0.3, s * 0.88, s * 0.46);
  QLinearGradient shade(body.topLeft(), body.bottomLeft());
  shade.setColorAt(0, QColor(0x45, 0x5A, 0x78));
  shade.setColorAt(1, QColor(0x22, 0x2E, 0x40));
  p.setPen(QPen(QColor(0x15, 0x1C, 0x28), qMax<qreal>(1.0, s / 48)));
  p.setBrush(shade);
  p.drawRoundedRect(body, s * 0.06, s * 0.06);

  // Two rows of four ports, each with its light.
  const int perRow = 4;
  const qreal gap = body.width() / (perRow * 5 + 1);
  const qreal w = gap * 4;
  const qreal h = body.height() * 0.3;
  for (int row = 0; row < 2; ++row) {
    for (int i = 0; i < perRow; ++i) {
      const QRectF port(body.left() + gap + i * (w + gap), body.top() + body.height() * (0.12 + row * 0.44), w, h);
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0x10, 0x14, 0x1A));
      p.drawRect(port);
      const bool lit = (row * perRow + i) % 3 != 2;
      p.setBrush(lit ? QColor(0x66, 0xDD, 0x55) : QColor(0xE0, 0xA0, 0x30));
      p.drawRect(QRectF(port.left() + port.width() * 0.2, port.top() + port.height() * 0.2, port.width() * 0.6,
                        port.height() * 0.3));
    }
  }

  // Stand.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x22, 0x2E, 0x40));
  p.drawRect(QRectF(s * 0.16, s * 0.76, s * 0.1, s * 0.08));
  p.drawRect(QRectF(s * 0.74, s * 0.76, s * 0.1, s * 0.08));
  return pixmap;
}

}  // namespace

QIcon ApplicationIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128}) icon.addPixmap(DrawSwitch(size));
  return icon;
}

QPixmap AboutPicture() { return DrawSwitch(64); }

}  // namespace brisfell
