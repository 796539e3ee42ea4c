#include "ui/TStringAlignGrid.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>

#include "core/SpanColumn.h"

TStringAlignGrid::TStringAlignGrid(korvastel::SpanColumn& column, QWidget* parent)
    : QAbstractScrollArea(parent), column_(column), editor_(new QLineEdit(viewport())) {
  setFocusPolicy(Qt::StrongFocus);
  editor_->hide();
  editor_->installEventFilter(this);
  verticalScrollBar()->setRange(0, RowCount() - 1);
  connect(qApp, &QApplication::focusChanged, this, &TStringAlignGrid::FocusChanged);
}
int TStringAlignGrid::RowCount() const { return korvastel::SpanColumn::RowCount; }
const std::string& TStringAlignGrid::Cells(int, int ARow) const { return column_.Text(ARow); }
void TStringAlignGrid::SetCells(int, int ARow, std::string text) {
  column_.SetText(ARow, std::move(text));
  if (editorMode_ && ARow == row_) editor_->setText(QString::fromStdString(column_.Text(ARow)));
  viewport()->update();
}
int TStringAlignGrid::Col() const { return 0; }
int TStringAlignGrid::Row() const { return row_; }
bool TStringAlignGrid::EditorMode() const { return editorMode_; }

void TStringAlignGrid::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  const int top = verticalScrollBar()->value();
  for (int r = top; r < RowCount() && (r - top) * 20 < viewport()->height(); ++r) {
    QRect cell(0, (r - top) * 20, 114, 20);
    p.fillRect(cell, r == row_ ? QColor(255, 255, 225) : Qt::white);
    p.drawText(cell.adjusted(2, 2, -2, -2), Qt::AlignRight, QString::fromStdString(column_.Text(r)));
  }
}
void TStringAlignGrid::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Down) return MoveTo(row_ + 1, false);
  if (event->key() == Qt::Key_Up) return MoveTo(row_ - 1, false);
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) return OpenEditor();
  if (!event->text().isEmpty() && event->text().at(0) >= QChar(32)) {
    OpenEditor();
    editor_->insert(event->text());
    return;
  }
  QAbstractScrollArea::keyPressEvent(event);
}
void TStringAlignGrid::mousePressEvent(QMouseEvent* event) {
  setFocus();
  MoveTo(verticalScrollBar()->value() + event->position().toPoint().y() / 20, true);
}
bool TStringAlignGrid::eventFilter(QObject* watched, QEvent* event) {
  if (watched == editor_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      Commit();
      setFocus();
      return true;
    }
    if (key->key() == Qt::Key_Down || key->key() == Qt::Key_Up) {
      MoveTo(row_ + (key->key() == Qt::Key_Down ? 1 : -1), false);
      return true;
    }
  }
  return QAbstractScrollArea::eventFilter(watched, event);
}
void TStringAlignGrid::MoveTo(int row, bool commitFirst) {
  row = std::clamp(row, 0, RowCount() - 1);
  if (commitFirst) Commit();
  bool can = true;
  emit OnSelectCell(0, row, can);
  if (!can) return;
  const bool wasEditing = editorMode_;
  const int old = row_;
  row_ = row;
  if (wasEditing) {
    column_.SetText(old, editor_->text().toStdString());
    editorMode_ = false;
    editor_->hide();
    setFocus();
  }
  viewport()->update();
}
void TStringAlignGrid::OpenEditor() {
  editorMode_ = true;
  editor_->setGeometry(0, (row_ - verticalScrollBar()->value()) * 20, 114, 20);
  editor_->setText(QString::fromStdString(column_.Text(row_)));
  editor_->selectAll();
  editor_->show();
  editor_->setFocus();
}
void TStringAlignGrid::Commit() {
  if (!editorMode_) return;
  column_.SetText(row_, editor_->text().toStdString());
  editorMode_ = false;
  editor_->hide();
  viewport()->update();
}
void TStringAlignGrid::FocusChanged(QWidget* old, QWidget* now) {
  const bool wasInside = old == this || old == editor_;
  const bool isInside = now == this || now == editor_;
  if (!wasInside || isInside) return;
  if (editorMode_) {
    column_.SetText(row_, editor_->text().toStdString());
    editor_->hide();
  }
  emit OnExit();
  editorMode_ = false;
}
