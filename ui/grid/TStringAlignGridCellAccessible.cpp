#include "ui/grid/TStringAlignGridCellAccessible.h"

#include <QWidget>
#include <QWindow>

#include "ui/grid/GridCellText.h"
#include "ui/grid/TStringAlignGrid.h"

TStringAlignGridCellAccessible::TStringAlignGridCellAccessible(TStringAlignGrid* grid, int row)
    : grid_(grid), row_(row) {}

void* TStringAlignGridCellAccessible::interface_cast(QAccessible::InterfaceType type) {
  if (type == QAccessible::TableCellInterface) return static_cast<QAccessibleTableCellInterface*>(this);
  return nullptr;
}

bool TStringAlignGridCellAccessible::isValid() const {
  return grid_ && row_ >= 0 && row_ < grid_->RowCount();
}

// A cell is not an object of its own; the grid is.
QObject* TStringAlignGridCellAccessible::object() const { return nullptr; }

QWindow* TStringAlignGridCellAccessible::window() const {
  return grid_ ? grid_->window()->windowHandle() : nullptr;
}

QAccessibleInterface* TStringAlignGridCellAccessible::childAt(int, int) const { return nullptr; }

QAccessibleInterface* TStringAlignGridCellAccessible::parent() const { return table(); }

QAccessibleInterface* TStringAlignGridCellAccessible::child(int) const { return nullptr; }
int TStringAlignGridCellAccessible::childCount() const { return 0; }
int TStringAlignGridCellAccessible::indexOfChild(const QAccessibleInterface*) const { return -1; }

QString TStringAlignGridCellAccessible::text(QAccessible::Text t) const {
  if (!isValid() || (t != QAccessible::Name && t != QAccessible::Value)) return QString();
  return GridCellText::Decode(grid_->Cells(0, row_));
}

// Cells change through the user's edits, not through assistive software.
void TStringAlignGridCellAccessible::setText(QAccessible::Text, const QString&) {}

QRect TStringAlignGridCellAccessible::rect() const {
  if (!isValid()) return QRect();
  const QRect cell = grid_->CellRect(row_);
  return QRect(grid_->viewport()->mapToGlobal(cell.topLeft()), cell.size());
}

QAccessible::Role TStringAlignGridCellAccessible::role() const { return QAccessible::Cell; }

QAccessible::State TStringAlignGridCellAccessible::state() const {
  QAccessible::State state;
  if (!isValid()) {
    state.invalid = true;
    return state;
  }
  state.selectable = true;
  state.focusable = true;
  state.editable = true;
  state.selected = isSelected();
  state.focused = grid_->FocusedRow() == row_;
  state.offscreen = !grid_->viewport()->rect().intersects(grid_->CellRect(row_));
  return state;
}

bool TStringAlignGridCellAccessible::isSelected() const { return isValid() && grid_->IsRowSelected(row_); }

QList<QAccessibleInterface*> TStringAlignGridCellAccessible::columnHeaderCells() const { return {}; }
QList<QAccessibleInterface*> TStringAlignGridCellAccessible::rowHeaderCells() const { return {}; }

int TStringAlignGridCellAccessible::columnIndex() const { return 0; }
int TStringAlignGridCellAccessible::rowIndex() const { return row_; }
int TStringAlignGridCellAccessible::columnExtent() const { return 1; }
int TStringAlignGridCellAccessible::rowExtent() const { return 1; }

QAccessibleInterface* TStringAlignGridCellAccessible::table() const {
  return grid_ ? QAccessible::queryAccessibleInterface(grid_.data()) : nullptr;
}
