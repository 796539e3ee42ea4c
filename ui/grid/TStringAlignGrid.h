#pragma once

#include <QAbstractScrollArea>
#include <string>

namespace korvastel {
class SpanColumn;
}
class TNewInplaceEdit;
class QColor;
class QKeyEvent;
class QPainter;
class QRectF;

// The spans grid: one editable column of 4000 rows, drawn straight from the
// SpanColumn it is given (the grid keeps no copy of the texts). Cells are
// 114 x 20 px with 1 px grid lines, texts right-aligned; a current cell and an
// anchor span the selected run of rows. Typing, Enter, F2 or a click on the
// current cell open the in-place editor; what is typed reaches the cell only
// when the edit is committed (Enter, a move, a click elsewhere, the focus
// leaving the grid), and only if it differs from the cell's text, so a cell
// loaded from a file keeps its exact bytes until the user really edits it.
// While the editor is open it keeps the keyboard: a press on the grid that
// does not move the current cell, or the menu bar's keyboard mode, hands it
// straight back.
class TStringAlignGrid : public QAbstractScrollArea {
  Q_OBJECT
 public:
  static constexpr int kColWidth = 114;
  static constexpr int kDefaultRowHeight = 20;
  static constexpr int kGridLineWidth = 1;

  explicit TStringAlignGrid(korvastel::SpanColumn& column, QWidget* parent = nullptr);
  ~TStringAlignGrid() override;

  int RowCount() const;
  // ACol must be 0 (std::out_of_range otherwise, as for a row outside the grid).
  const std::string& Cells(int ACol, int ARow) const;
  // Writes the store and repaints the row; writing the current cell while the
  // editor is open reloads the editor with the new text.
  void SetCells(int ACol, int ARow, std::string text);

  int Col() const;
  int Row() const;
  bool EditorMode() const;

  // The selected run of rows, from the anchor to the current cell.
  int SelectionTop() const;
  int SelectionBottom() const;
  bool IsRowSelected(int row) const;

  int TopRow() const;
  // Rows shown whole, grid line included; at least 1.
  int VisibleRowCount() const;
  // The cell's rectangle in viewport coordinates (without its grid lines).
  QRect CellRect(int ARow) const;
  // The row under a viewport point (a row's grid lines count as the row's),
  // or -1 right of the column's line and below the last row.
  int RowAt(QPoint viewportPoint) const;

  // The row that has the focus in the window's sense: the current one while
  // the grid or its editor is the window's focused control, else -1.
  int FocusedRow() const;

 signals:
  // Before the current cell moves; a handler may set CanSelect to false to
  // keep the current cell where it is.
  void OnSelectCell(int ACol, int ARow, bool& CanSelect);
  // The focus left the grid for another control of the window, after any open
  // edit was committed.
  void OnExit();

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  // keys
  bool HandleEditorKey(const QKeyEvent& event);
  bool HandleNavigationKey(const QKeyEvent& event);
  bool HandleClipboardKey(const QKeyEvent& event);
  bool HandleEditStartKey(QKeyEvent* event);
  void TypeOver(QKeyEvent* event);
  void LeaveByTab(bool forward);

  // moving the current cell
  void MoveTo(int row, bool extendSelection);
  void MovePage(int direction, bool extendSelection);
  void SetTopRow(int row);
  void ScrollIntoView(int row);

  // the in-place editor
  void OpenEditor(bool selectAll);
  void ShowEditor();
  void CommitEdit();
  void CancelEdit();
  void HideEditor();
  void StoreEditorText();
  void PlaceEditor();

  // focus
  void LeaveGrid();
  void OnFocusChanged(QWidget* old, QWidget* now);
  bool Contains(const QWidget* widget) const;

  // range clipboard commands
  void CopyRange() const;
  void CutRange();
  void PasteRange();

  // drawing
  void DrawCell(QPainter& painter, int row) const;
  void DrawGridLines(QPainter& painter, int firstRow, int lastRow) const;
  void DrawFocusFrame(QPainter& painter, const QRectF& cell) const;
  QColor GridLineColor() const;
  void UpdateRow(int row);
  void UpdateScrollRange();
  void NotifyCurrentCellToAccessibility();
  void NotifyCellTextToAccessibility(int row);

  korvastel::SpanColumn& column_;
  TNewInplaceEdit* editor_;
  int row_ = 0;
  int anchor_ = 0;

  bool editorMode_ = false;
  int editorRow_ = -1;
  // The edit began with a key typed over the cell: the editor started empty
  // instead of loading the text it replaces, which stays in the cell for
  // Escape.
  bool typedOver_ = false;
  // The grid itself is moving the focus (Tab): it must not go back to the editor.
  bool focusLeavingEditor_ = false;
  // The menu bar's keyboard mode took the focus from the grid; it comes back
  // when that mode ends, and the grid is left only if it goes elsewhere.
  bool focusLentToMenuBar_ = false;

  // the row the last mouse press made current: the second click of a
  // double-click there must not open the editor
  int rowMadeCurrentByPress_ = -1;
  int wheelRemainder_ = 0;
};
