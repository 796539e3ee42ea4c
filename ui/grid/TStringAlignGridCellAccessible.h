#pragma once

#include <QAccessibleInterface>
#include <QPointer>

class TStringAlignGrid;

// One cell of the spans grid as screen readers see it: its text (decoded as
// the grid shows it), its place in the table, and whether it is selected,
// current or scrolled out of view.
class TStringAlignGridCellAccessible : public QAccessibleInterface, public QAccessibleTableCellInterface {
 public:
  TStringAlignGridCellAccessible(TStringAlignGrid* grid, int row);

  void* interface_cast(QAccessible::InterfaceType type) override;
  bool isValid() const override;
  QObject* object() const override;
  QWindow* window() const override;
  QAccessibleInterface* childAt(int x, int y) const override;
  QAccessibleInterface* parent() const override;
  QAccessibleInterface* child(int index) const override;
  int childCount() const override;
  int indexOfChild(const QAccessibleInterface* child) const override;
  QString text(QAccessible::Text t) const override;
  void setText(QAccessible::Text t, const QString& text) override;
  QRect rect() const override;
  QAccessible::Role role() const override;
  QAccessible::State state() const override;

  bool isSelected() const override;
  QList<QAccessibleInterface*> columnHeaderCells() const override;
  QList<QAccessibleInterface*> rowHeaderCells() const override;
  int columnIndex() const override;
  int rowIndex() const override;
  int columnExtent() const override;
  int rowExtent() const override;
  QAccessibleInterface* table() const override;

 private:
  QPointer<TStringAlignGrid> grid_;
  int row_;
};
