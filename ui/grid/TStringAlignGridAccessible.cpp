#include "ui/grid/TStringAlignGridAccessible.h"

#include <QWidget>

#include "ui/grid/TStringAlignGrid.h"
#include "ui/grid/TStringAlignGridCellAccessible.h"

namespace {
QAccessibleInterface* CreateGridInterface(const QString& className, QObject* object) {
  if (className != QLatin1String(TStringAlignGrid::staticMetaObject.className())) return nullptr;
  auto* grid = qobject_cast<TStringAlignGrid*>(object);
  return grid ? new TStringAlignGridAccessible(grid) : nullptr;
}
}  // namespace

TStringAlignGridAccessible::TStringAlignGridAccessible(TStringAlignGrid* grid)
    : QAccessibleWidget(grid, QAccessible::Table) {}

TStringAlignGridAccessible::~TStringAlignGridAccessible() {
  for (const QAccessible::Id id : std::as_const(cells_)) QAccessible::deleteAccessibleInterface(id);
}

void TStringAlignGridAccessible::Install() {
  static const bool installed = [] {
    QAccessible::installFactory(CreateGridInterface);
    return true;
  }();
  Q_UNUSED(installed);
}

TStringAlignGrid* TStringAlignGridAccessible::Grid() const {
  return static_cast<TStringAlignGrid*>(widget());
}

void* TStringAlignGridAccessible::interface_cast(QAccessible::InterfaceType type) {
  if (type == QAccessible::TableInterface) return static_cast<QAccessibleTableInterface*>(this);
  return QAccessibleWidget::interface_cast(type);
}

QAccessibleInterface* TStringAlignGridAccessible::childAt(int x, int y) const {
  const QWidget* viewport = Grid()->viewport();
  const QPoint point = viewport->mapFromGlobal(QPoint(x, y));
  if (!viewport->rect().contains(point)) return nullptr;
  const int row = Grid()->RowAt(point);
  return row < 0 ? nullptr : cellAt(row, 0);
}

QAccessibleInterface* TStringAlignGridAccessible::child(int index) const { return cellAt(index, 0); }

int TStringAlignGridAccessible::childCount() const { return rowCount(); }

int TStringAlignGridAccessible::indexOfChild(const QAccessibleInterface* child) const {
  auto* cell = child ? const_cast<QAccessibleInterface*>(child)->tableCellInterface() : nullptr;
  if (!cell || cell->table() != this) return -1;
  return cell->rowIndex();
}

QAccessibleInterface* TStringAlignGridAccessible::focusChild() const {
  const int row = Grid()->FocusedRow();
  return row < 0 ? nullptr : cellAt(row, 0);
}

QAccessibleInterface* TStringAlignGridAccessible::caption() const { return nullptr; }
QAccessibleInterface* TStringAlignGridAccessible::summary() const { return nullptr; }

QAccessibleInterface* TStringAlignGridAccessible::cellAt(int row, int column) const {
  if (column != 0 || row < 0 || row >= rowCount()) return nullptr;
  const auto known = cells_.constFind(row);
  if (known != cells_.constEnd()) return QAccessible::accessibleInterface(*known);
  auto* cell = new TStringAlignGridCellAccessible(Grid(), row);
  cells_.insert(row, QAccessible::registerAccessibleInterface(cell));
  return cell;
}

int TStringAlignGridAccessible::selectedCellCount() const {
  return Grid()->SelectionBottom() - Grid()->SelectionTop() + 1;
}

QList<QAccessibleInterface*> TStringAlignGridAccessible::selectedCells() const {
  QList<QAccessibleInterface*> cells;
  for (int row = Grid()->SelectionTop(); row <= Grid()->SelectionBottom(); ++row)
    cells.append(cellAt(row, 0));
  return cells;
}

QString TStringAlignGridAccessible::columnDescription(int) const { return QString(); }
QString TStringAlignGridAccessible::rowDescription(int) const { return QString(); }

bool TStringAlignGridAccessible::AllRowsSelected() const {
  return Grid()->SelectionTop() == 0 && Grid()->SelectionBottom() == rowCount() - 1;
}

int TStringAlignGridAccessible::selectedColumnCount() const { return AllRowsSelected() ? 1 : 0; }

// With one column every selected cell is a whole selected row.
int TStringAlignGridAccessible::selectedRowCount() const { return selectedCellCount(); }

int TStringAlignGridAccessible::columnCount() const { return 1; }
int TStringAlignGridAccessible::rowCount() const { return Grid()->RowCount(); }

QList<int> TStringAlignGridAccessible::selectedColumns() const {
  return AllRowsSelected() ? QList<int>{0} : QList<int>();
}

QList<int> TStringAlignGridAccessible::selectedRows() const {
  QList<int> rows;
  for (int row = Grid()->SelectionTop(); row <= Grid()->SelectionBottom(); ++row) rows.append(row);
  return rows;
}

bool TStringAlignGridAccessible::isColumnSelected(int column) const {
  return column == 0 && AllRowsSelected();
}
bool TStringAlignGridAccessible::isRowSelected(int row) const { return Grid()->IsRowSelected(row); }

// The selection follows the user's keys and clicks only.
bool TStringAlignGridAccessible::selectRow(int) { return false; }
bool TStringAlignGridAccessible::selectColumn(int) { return false; }
bool TStringAlignGridAccessible::unselectRow(int) { return false; }
bool TStringAlignGridAccessible::unselectColumn(int) { return false; }

// Cells read the grid whenever asked, so a changed text needs no bookkeeping.
void TStringAlignGridAccessible::modelChange(QAccessibleTableModelChangeEvent*) {}
