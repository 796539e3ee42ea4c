#include "ui/PaletteGradient.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPalette>
#include <QRect>

void PaintPaletteGradient(QPainter& painter, const QRect& rect, const QPalette& palette) {
  QLinearGradient gradient(rect.topLeft(), rect.topRight());
  gradient.setColorAt(0, palette.color(QPalette::Light));
  gradient.setColorAt(1, palette.color(QPalette::Button));
  painter.fillRect(rect, gradient);
}
