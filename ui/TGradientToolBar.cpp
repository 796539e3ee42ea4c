#include "ui/TGradientToolBar.h"

#include <QAction>
#include <QPainter>
#include <QToolButton>

#include "ui/PaletteGradient.h"
#include "ui/TGradientToolBarAccessible.h"

TGradientToolBar::TGradientToolBar(QWidget* parent) : QWidget(parent) {
  TGradientToolBarAccessible::Install();
  setFixedHeight(kStripHeight);
}

QToolButton* TGradientToolBar::AddToolButton(QAction* action, int left) {
  auto* button = new QToolButton(this);
  button->setDefaultAction(action);
  button->setToolButtonStyle(Qt::ToolButtonIconOnly);
  button->setAutoRaise(true);
  button->setFocusPolicy(Qt::NoFocus);
  button->setIconSize(QSize(16, 16));
  button->setGeometry(left, kButtonTop, kButtonSize, kButtonSize);
  return button;
}

QWidget* TGradientToolBar::AddSpacer(int left, int width) {
  auto* spacer = new QWidget(this);
  spacer->setGeometry(left, kButtonTop, width, kButtonSize);
  return spacer;
}

void TGradientToolBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  PaintPaletteGradient(painter, rect(), palette());
  // a groove: a dark line with a light one below it
  painter.setPen(palette().color(QPalette::Mid));
  painter.drawLine(0, 0, width() - 1, 0);
  painter.setPen(palette().color(QPalette::Light));
  painter.drawLine(0, 1, width() - 1, 1);
}
