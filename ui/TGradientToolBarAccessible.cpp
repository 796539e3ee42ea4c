#include "ui/TGradientToolBarAccessible.h"

#include <QToolButton>

#include "ui/TGradientToolBar.h"

namespace {
QAccessibleInterface* CreateToolBarInterface(const QString& className, QObject* object) {
  if (className != QLatin1String(TGradientToolBar::staticMetaObject.className())) return nullptr;
  auto* toolBar = qobject_cast<TGradientToolBar*>(object);
  return toolBar ? new TGradientToolBarAccessible(toolBar) : nullptr;
}
}  // namespace

TGradientToolBarAccessible::TGradientToolBarAccessible(TGradientToolBar* toolBar)
    : QAccessibleWidget(toolBar, QAccessible::ToolBar) {}

void TGradientToolBarAccessible::Install() {
  static const bool installed = [] {
    QAccessible::installFactory(CreateToolBarInterface);
    return true;
  }();
  Q_UNUSED(installed);
}

QList<QToolButton*> TGradientToolBarAccessible::Buttons() const {
  // added left to right, so the order of the children is the order on screen
  return widget()->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly);
}

int TGradientToolBarAccessible::childCount() const { return static_cast<int>(Buttons().size()); }

QAccessibleInterface* TGradientToolBarAccessible::child(int index) const {
  const QList<QToolButton*> buttons = Buttons();
  if (index < 0 || index >= buttons.size()) return nullptr;
  return QAccessible::queryAccessibleInterface(buttons[index]);
}

int TGradientToolBarAccessible::indexOfChild(const QAccessibleInterface* child) const {
  if (!child) return -1;
  return static_cast<int>(Buttons().indexOf(qobject_cast<QToolButton*>(child->object())));
}
