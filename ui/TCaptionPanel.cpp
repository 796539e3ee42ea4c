#include "ui/TCaptionPanel.h"

#include <QPainter>

#include "ui/PaletteGradient.h"

TCaptionPanel::TCaptionPanel(const QString& caption, QWidget* parent) : QLabel(caption, parent) {
  setAlignment(Qt::AlignCenter);
  setTextFormat(Qt::PlainText);
  // the label draws its text in its foreground role: the highlight colour
  // follows palette changes without a fixed colour anywhere
  setForegroundRole(QPalette::Highlight);
  setFocusPolicy(Qt::NoFocus);
}

void TCaptionPanel::paintEvent(QPaintEvent* event) {
  {
    QPainter painter(this);
    PaintPaletteGradient(painter, rect(), palette());
  }
  QLabel::paintEvent(event);
}
