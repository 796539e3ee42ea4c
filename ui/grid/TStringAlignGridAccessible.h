#pragma once

#include <QAccessibleWidget>
#include <QHash>

class TStringAlignGrid;

// What screen readers see of the spans grid: a table of one column and 4000
// rows whose cells carry the texts shown in them, with the selected run of rows
// and the current cell as the focused one. Cells are made when first asked for
// and live as long as the grid's own interface.
class TStringAlignGridAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
 public:
  explicit TStringAlignGridAccessible(TStringAlignGrid* grid);
  ~TStringAlignGridAccessible() override;

  // Makes Qt's accessibility describe every TStringAlignGrid with this class.
  static void Install();

  TStringAlignGrid* Grid() const;

  void* interface_cast(QAccessible::InterfaceType type) override;
  QAccessibleInterface* childAt(int x, int y) const override;
  QAccessibleInterface* child(int index) const override;
  int childCount() const override;
  int indexOfChild(const QAccessibleInterface* child) const override;
  QAccessibleInterface* focusChild() const override;

  QAccessibleInterface* caption() const override;
  QAccessibleInterface* summary() const override;
  QAccessibleInterface* cellAt(int row, int column) const override;
  int selectedCellCount() const override;
  QList<QAccessibleInterface*> selectedCells() const override;
  QString columnDescription(int column) const override;
  QString rowDescription(int row) const override;
  int selectedColumnCount() const override;
  int selectedRowCount() const override;
  int columnCount() const override;
  int rowCount() const override;
  QList<int> selectedColumns() const override;
  QList<int> selectedRows() const override;
  bool isColumnSelected(int column) const override;
  bool isRowSelected(int row) const override;
  bool selectRow(int row) override;
  bool selectColumn(int column) override;
  bool unselectRow(int row) override;
  bool unselectColumn(int column) override;
  void modelChange(QAccessibleTableModelChangeEvent* event) override;

 private:
  bool AllRowsSelected() const;

  mutable QHash<int, QAccessible::Id> cells_;
};
