#include "app/AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace brevanto::app {
namespace {

QPixmap drawIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal s = size;
  // Rounded film frame.
  QPainterPath frame;
  frame.addRoundedRect(QRectF(s * 0.06, s * 0.14, s * 0.88, s * 0.72), s * 0.1, s * 0.1);
  painter.fillPath(frame, QColor(0x2b, 0x3a, 0x55));
  // Sprocket holes along the top and bottom edges.
  painter.setBrush(QColor(0xf2, 0xf2, 0xf2));
  painter.setPen(Qt::NoPen);
  for (int i = 0; i < 5; ++i) {
    const qreal x = s * (0.14 + 0.16 * i);
    painter.drawRect(QRectF(x, s * 0.18, s * 0.08, s * 0.07));
    painter.drawRect(QRectF(x, s * 0.75, s * 0.08, s * 0.07));
  }
  // The picture: a sky and a red play triangle.
  painter.fillRect(QRectF(s * 0.14, s * 0.3, s * 0.72, s * 0.4), QColor(0x6c, 0xb4, 0xee));
  QPainterPath play;
  play.moveTo(s * 0.42, s * 0.36);
  play.lineTo(s * 0.64, s * 0.5);
  play.lineTo(s * 0.42, s * 0.64);
  play.closeSubpath();
  painter.fillPath(play, QColor(0xd9, 0x3b, 0x2b));
  return pixmap;
}

}  // namespace

QIcon applicationIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(drawIcon(size));
  return icon;
}

}  // namespace brevanto::app
