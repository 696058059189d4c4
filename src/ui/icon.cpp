#include "ui/icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tarvex::ui {

QIcon programIcon() {
  QIcon icon;
  for (int size : {16, 32, 64, 128}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    p.setPen(QPen(QColor(0x1f, 0x3b, 0x73), 3));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 8, 8);
    p.setPen(QPen(QColor(0x1f, 0x3b, 0x73), 2.5));
    p.drawLine(QPointF(8, 54), QPointF(58, 54));
    p.drawLine(QPointF(8, 54), QPointF(8, 8));
    QPainterPath curve(QPointF(10, 52));
    curve.cubicTo(20, 52, 22, 18, 28, 16);
    curve.cubicTo(34, 14, 34, 30, 40, 30);
    curve.cubicTo(46, 30, 48, 50, 58, 51);
    p.setPen(QPen(Qt::black, 3));
    p.setBrush(Qt::NoBrush);
    p.drawPath(curve);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xe0, 0x20, 0x20));
    const QPointF points[] = {{14, 50}, {20, 42}, {24, 24}, {29, 17},
                              {35, 24}, {41, 31}, {47, 42}, {53, 49}};
    for (const QPointF& at : points)
      p.drawEllipse(at, 2.2, 2.2);
    p.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace tarvex::ui
