#pragma once

#include <QAccessibleWidget>
#include <QList>

class QToolButton;
class TGradientToolBar;

// What screen readers see of the main window's toolbar: a tool bar whose
// children are its buttons, left to right. The gaps between the buttons are
// not shown to them.
class TGradientToolBarAccessible : public QAccessibleWidget {
 public:
  explicit TGradientToolBarAccessible(TGradientToolBar* toolBar);

  // Makes Qt's accessibility describe every TGradientToolBar with this class.
  static void Install();

  int childCount() const override;
  QAccessibleInterface* child(int index) const override;
  int indexOfChild(const QAccessibleInterface* child) const override;

 private:
  QList<QToolButton*> Buttons() const;
};
