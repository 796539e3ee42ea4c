#include "ui/grid/TNewInplaceEdit.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <limits>

#include "ui/grid/GridKeys.h"

TNewInplaceEdit::TNewInplaceEdit(QWidget* grid, QWidget* parent) : QLineEdit(parent), grid_(grid) {
  setFrame(false);
  // the line edit keeps 2 px of its own at the sides and 1 px at the top,
  // plus room for the caret after the text; these margins put the text 2 px
  // in from the cell's left, top and right edges, where the grid draws it
  setTextMargins(0, 1, -2, 0);
  setAlignment(Qt::AlignRight | Qt::AlignTop);
  setMaxLength(std::numeric_limits<int>::max());  // a cell has no length limit
  // the editor is reached only through its grid, never by Tab
  setFocusPolicy(Qt::ClickFocus);
  hide();
}

void TNewInplaceEdit::Load(const QString& text, bool selectAll) {
  setText(text);
  if (selectAll)
    QLineEdit::selectAll();
  else
    CaretToEnd();
}

void TNewInplaceEdit::Unload() {
  // setText, not clear(): clearing records every removed character for undo
  if (!text().isEmpty()) setText(QString());
}

void TNewInplaceEdit::CaretToEnd() {
  deselect();
  end(false);
}

bool TNewInplaceEdit::IsGridKey(const QKeyEvent& event) {
  switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
      return true;
    case Qt::Key_Insert:
      return event.modifiers() == Qt::NoModifier || event.modifiers() == Qt::KeypadModifier;
    default:
      return IsTabKey(event);
  }
}

bool TNewInplaceEdit::event(QEvent* event) {
  // Tab is never typed into the text and never moves between the grid's own
  // widgets: the grid decides where the focus goes.
  if (event->type() == QEvent::KeyPress && IsTabKey(*static_cast<QKeyEvent*>(event)))
    return QCoreApplication::sendEvent(grid_, event);
  return QLineEdit::event(event);
}

void TNewInplaceEdit::keyPressEvent(QKeyEvent* event) {
  if (IsGridKey(*event)) {
    QCoreApplication::sendEvent(grid_, event);
    return;
  }
  if (event->key() == Qt::Key_F2 && event->modifiers() == Qt::NoModifier) {
    CaretToEnd();
    return;
  }
  // a single line has no document start or end apart from its own ends
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  const bool mark = event->modifiers() & Qt::ShiftModifier;
  if (ctrl && event->key() == Qt::Key_Home) return home(mark);
  if (ctrl && event->key() == Qt::Key_End) return end(mark);
  QLineEdit::keyPressEvent(event);
}
