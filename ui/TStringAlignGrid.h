#pragma once

#include <QAbstractScrollArea>
#include <string>

class QLineEdit;
namespace korvastel {
class SpanColumn;
}

// Stand-in for the spans grid until the real one is merged.
class TStringAlignGrid : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit TStringAlignGrid(korvastel::SpanColumn& column, QWidget* parent = nullptr);
  int RowCount() const;
  const std::string& Cells(int ACol, int ARow) const;
  void SetCells(int ACol, int ARow, std::string text);
  int Col() const;
  int Row() const;
  bool EditorMode() const;

 signals:
  void OnSelectCell(int ACol, int ARow, bool& CanSelect);
  void OnExit();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void MoveTo(int row, bool commitFirst);
  void OpenEditor();
  void Commit();
  void FocusChanged(QWidget* old, QWidget* now);

  korvastel::SpanColumn& column_;
  QLineEdit* editor_;
  int row_ = 0;
  bool editorMode_ = false;
};
