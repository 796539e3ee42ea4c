// The spans grid's key classes, kept apart from the widget so the editor shares them.
#include "ui/grid/GridKeys.h"

#include <QKeyEvent>

namespace {
// Num Lock's keypad flag is not a modifier the user chose.
Qt::KeyboardModifiers ModifiersOf(const QKeyEvent& event) { return event.modifiers() & ~Qt::KeypadModifier; }

bool IsKey(const QKeyEvent& event, int key, Qt::KeyboardModifiers modifiers) {
  return event.key() == key && ModifiersOf(event) == modifiers;
}
}  // namespace

bool IsTabKey(const QKeyEvent& event) {
  const bool tab = event.key() == Qt::Key_Tab || event.key() == Qt::Key_Backtab;
  return tab && !(event.modifiers() & (Qt::ControlModifier | Qt::AltModifier));
}

bool IsCopyKey(const QKeyEvent& event) {
  return IsKey(event, Qt::Key_Insert, Qt::ControlModifier) || IsKey(event, Qt::Key_C, Qt::ControlModifier) ||
         event.matches(QKeySequence::Copy);
}

bool IsCutKey(const QKeyEvent& event) {
  return IsKey(event, Qt::Key_Delete, Qt::ShiftModifier) || IsKey(event, Qt::Key_X, Qt::ControlModifier) ||
         event.matches(QKeySequence::Cut);
}

bool IsPasteKey(const QKeyEvent& event) {
  return IsKey(event, Qt::Key_Insert, Qt::ShiftModifier) || IsKey(event, Qt::Key_V, Qt::ControlModifier) ||
         event.matches(QKeySequence::Paste);
}

bool IsTypingKey(const QKeyEvent& event) {
  if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
  if (event.key() == Qt::Key_Backspace) return true;
  const QString text = event.text();
  return !text.isEmpty() && text[0].unicode() >= 32 && text[0].unicode() != 127;
}
