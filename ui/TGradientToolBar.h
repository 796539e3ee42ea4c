#pragma once

#include <QWidget>

class QAction;
class QToolButton;

// The main window's toolbar: a fixed-height strip with the palette gradient
// and a grooved line along its top edge. Its buttons and spacers sit at fixed
// places chosen by the window; the strip never wraps or sizes itself to them
// (a plain widget rather than a QToolBar, whose layout adds the style's
// margins and spacing and sizes the bar to its items). Screen readers see a
// tool bar holding its buttons.
class TGradientToolBar : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kStripHeight = 32;
  static constexpr int kButtonTop = 2;
  static constexpr int kButtonSize = 25;

  explicit TGradientToolBar(QWidget* parent = nullptr);

  // A flat 25x25 button at `left` carrying the action: its picture, and its
  // hint as the tooltip. Toolbar buttons never take the keyboard focus, so a
  // command started here sees the grid exactly as the user left it.
  QToolButton* AddToolButton(QAction* action, int left);
  // An empty gap of `width` pixels at `left`.
  QWidget* AddSpacer(int left, int width);

 protected:
  void paintEvent(QPaintEvent* event) override;
};
