#pragma once

#include <QLineEdit>

class QKeyEvent;

// The spans grid's in-place editor: a borderless line edit laid exactly over
// the current cell, right-aligned like the cell's text, in the grid's font and
// window colour. It keeps the caret and text keys for itself (Left, Right,
// Home, End, Delete, the clipboard keys, typing) and hands back to its grid the
// keys that end the edit or move the current cell: Enter, Escape, Up, Down,
// Page Up, Page Down, Tab and a bare Insert.
class TNewInplaceEdit : public QLineEdit {
  Q_OBJECT
 public:
  // `grid` receives the keys the editor does not handle; `parent` is the
  // widget the editor is laid over (the grid's viewport).
  TNewInplaceEdit(QWidget* grid, QWidget* parent);

  // Shows `text` for a new edit: all of it selected (typing replaces it), or
  // nothing selected with the caret after the last character.
  void Load(const QString& text, bool selectAll);
  // Drops the text of an ended edit, so a long one is not kept laid out
  // while the editor is hidden.
  void Unload();

  // Nothing selected, caret after the last character (F2).
  void CaretToEnd();

  static bool IsGridKey(const QKeyEvent& event);

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QWidget* grid_;
};
