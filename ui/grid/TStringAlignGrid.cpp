#include "ui/grid/TStringAlignGrid.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <utility>

#include "core/SpanColumn.h"
#include "ui/grid/ClipboardLineReader.h"
#include "ui/grid/GridCellText.h"
#include "ui/grid/GridKeys.h"
#include "ui/grid/TNewInplaceEdit.h"
#include "ui/grid/TStringAlignGridAccessible.h"

namespace {
// A row's cell and the grid line under it.
constexpr int kRowPitch = TStringAlignGrid::kDefaultRowHeight + TStringAlignGrid::kGridLineWidth;
// The text keeps this far from the cell's edges.
constexpr int kTextInset = 2;
// One notch of an ordinary mouse wheel.
constexpr int kWheelNotch = 120;

const QColor kSilver(192, 192, 192);
const QColor kGray(128, 128, 128);

// Drawing snaps every edge of a cell or a grid line to a whole device pixel:
// at a fractional scale (125 %, 150 %) a logical pixel is not a whole number
// of device pixels, and unsnapped lines would come out in different widths.
qreal SnapToDevice(qreal logical, qreal scale) { return std::round(logical * scale) / scale; }

// A grid line's width on the device: a whole number of pixels, at least one.
qreal LineWidthOnDevice(qreal scale) {
  return std::max<qreal>(1, std::round(TStringAlignGrid::kGridLineWidth * scale)) / scale;
}

// A cell and the grid lines below and right of it, [left, left + width) by
// [top, top + height) in logical pixels, split on device pixels: the lines
// take the last line width of the band, the cell the rest.
QRectF SnappedCell(const QRect& cell, qreal scale) {
  const qreal line = LineWidthOnDevice(scale);
  const qreal right =
      SnapToDevice(cell.left() + cell.width() + TStringAlignGrid::kGridLineWidth, scale) - line;
  const qreal bottom =
      SnapToDevice(cell.top() + cell.height() + TStringAlignGrid::kGridLineWidth, scale) - line;
  const QPointF topLeft(SnapToDevice(cell.left(), scale), SnapToDevice(cell.top(), scale));
  return QRectF(topLeft, QPointF(right, bottom));
}

// The scale from the painter's logical pixels to the device's.
qreal DeviceScale(const QPainter& painter) { return painter.deviceTransform().m22(); }

void CheckColumn(int ACol) {
  if (ACol != 0) throw std::out_of_range("TStringAlignGrid column " + std::to_string(ACol));
}
}  // namespace

TStringAlignGrid::TStringAlignGrid(korvastel::SpanColumn& column, QWidget* parent)
    : QAbstractScrollArea(parent), column_(column) {
  TStringAlignGridAccessible::Install();
  setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // dragging the scroll box moves the view only when the box is released
  verticalScrollBar()->setTracking(false);
  verticalScrollBar()->setSingleStep(1);
  QFont gridFont(QStringLiteral("Arial"));
  gridFont.setStyleHint(QFont::SansSerif);
  gridFont.setPixelSize(13);
  setFont(gridFont);
  setFocusPolicy(Qt::StrongFocus);
  // every pixel of the viewport is painted by paintEvent
  viewport()->setAutoFillBackground(false);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  editor_ = new TNewInplaceEdit(this, viewport());
  connect(qApp, &QApplication::focusChanged, this, &TStringAlignGrid::OnFocusChanged);
  UpdateScrollRange();
}

TStringAlignGrid::~TStringAlignGrid() {
  // the editor may hold the focus while the children are destroyed: no focus
  // change may reach this half-destroyed grid
  if (qApp) disconnect(qApp, nullptr, this, nullptr);
}

// ---- cells -----------------------------------------------------------------

int TStringAlignGrid::RowCount() const { return korvastel::SpanColumn::RowCount; }

const std::string& TStringAlignGrid::Cells(int ACol, int ARow) const {
  CheckColumn(ACol);
  return column_.Text(ARow);
}

void TStringAlignGrid::SetCells(int ACol, int ARow, std::string text) {
  CheckColumn(ACol);
  column_.SetText(ARow, std::move(text));
  if (editorMode_ && ARow == editorRow_) {
    // the new text becomes the text of the open edit, Escape included, so
    // clearing or loading the column is never undone by a later Escape
    editor_->setText(GridCellText::Decode(column_.Text(ARow)));
    typedOver_ = false;
  }
  UpdateRow(ARow);
  NotifyCellTextToAccessibility(ARow);
}

int TStringAlignGrid::Col() const { return 0; }
int TStringAlignGrid::Row() const { return row_; }
bool TStringAlignGrid::EditorMode() const { return editorMode_; }

int TStringAlignGrid::SelectionTop() const { return std::min(anchor_, row_); }
int TStringAlignGrid::SelectionBottom() const { return std::max(anchor_, row_); }
bool TStringAlignGrid::IsRowSelected(int row) const {
  return row >= SelectionTop() && row <= SelectionBottom();
}

int TStringAlignGrid::FocusedRow() const {
  const QWidget* focused = window()->focusWidget();
  return focused == this || focused == editor_ ? row_ : -1;
}

// ---- geometry --------------------------------------------------------------

int TStringAlignGrid::TopRow() const { return verticalScrollBar()->value(); }

int TStringAlignGrid::VisibleRowCount() const { return std::max(1, viewport()->height() / kRowPitch); }

QRect TStringAlignGrid::CellRect(int ARow) const {
  return QRect(0, (ARow - TopRow()) * kRowPitch, kColWidth, kDefaultRowHeight);
}

int TStringAlignGrid::RowAt(QPoint viewportPoint) const {
  if (viewportPoint.x() < 0 || viewportPoint.x() >= kColWidth + kGridLineWidth || viewportPoint.y() < 0)
    return -1;
  const int row = TopRow() + viewportPoint.y() / kRowPitch;
  return row < RowCount() ? row : -1;
}

void TStringAlignGrid::UpdateScrollRange() {
  // the last top row still shows the grid filled down to its last row
  QScrollBar* bar = verticalScrollBar();
  bar->setPageStep(VisibleRowCount());
  bar->setRange(0, RowCount() - VisibleRowCount());
}

void TStringAlignGrid::SetTopRow(int row) { verticalScrollBar()->setValue(row); }

void TStringAlignGrid::ScrollIntoView(int row) {
  if (row < TopRow())
    SetTopRow(row);
  else if (row >= TopRow() + VisibleRowCount())
    SetTopRow(row - VisibleRowCount() + 1);
}

void TStringAlignGrid::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollRange();
  PlaceEditor();
}

void TStringAlignGrid::scrollContentsBy(int, int) {
  PlaceEditor();
  viewport()->update();
}

// ---- drawing ---------------------------------------------------------------

void TStringAlignGrid::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  const QRect dirty = event->rect();
  painter.fillRect(dirty, palette().color(QPalette::Base));
  const int firstRow = TopRow() + std::max(0, dirty.top()) / kRowPitch;
  const int lastRow = std::min(RowCount() - 1, TopRow() + dirty.bottom() / kRowPitch);
  for (int row = firstRow; row <= lastRow; ++row) DrawCell(painter, row);
  DrawGridLines(painter, firstRow, lastRow);
}

void TStringAlignGrid::DrawCell(QPainter& painter, int row) const {
  if (editorMode_ && row == editorRow_ && editor_->isVisible()) return;  // the editor covers it
  const QRect cell = CellRect(row);
  const QRectF filled = SnappedCell(cell, DeviceScale(painter));
  const bool selected = IsRowSelected(row);
  painter.fillRect(filled, palette().color(selected ? QPalette::ToolTipBase : QPalette::Base));
  const std::string& bytes = column_.Text(row);
  if (!bytes.empty()) {
    const QRect textArea = cell.adjusted(kTextInset, kTextInset, -kTextInset, -kTextInset);
    const QString text = GridCellText::VisibleTail(bytes, painter.fontMetrics(), textArea.width());
    painter.save();
    // the text may run past the inset, but never past the cell
    painter.setClipRect(cell);
    painter.setPen(Qt::black);
    painter.drawText(textArea, Qt::AlignRight | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip, text);
    painter.restore();
  }
  if (row == row_ && window()->focusWidget() == this) DrawFocusFrame(painter, filled);
}

void TStringAlignGrid::DrawFocusFrame(QPainter& painter, const QRectF& cell) const {
  // dots along the cell's edges, as wide as a grid line
  const qreal width = LineWidthOnDevice(DeviceScale(painter));
  const QBrush dots(Qt::black, Qt::Dense4Pattern);
  painter.fillRect(QRectF(cell.left(), cell.top(), cell.width(), width), dots);
  painter.fillRect(QRectF(cell.left(), cell.bottom() - width, cell.width(), width), dots);
  painter.fillRect(QRectF(cell.left(), cell.top(), width, cell.height()), dots);
  painter.fillRect(QRectF(cell.right() - width, cell.top(), width, cell.height()), dots);
}

void TStringAlignGrid::DrawGridLines(QPainter& painter, int firstRow, int lastRow) const {
  if (firstRow > lastRow) return;
  const QColor color = GridLineColor();
  const qreal scale = DeviceScale(painter);
  const qreal line = LineWidthOnDevice(scale);
  for (int row = firstRow; row <= lastRow; ++row) {
    const QRectF cell = SnappedCell(CellRect(row), scale);
    painter.fillRect(QRectF(0, cell.bottom(), cell.right() + line, line), color);
  }
  const QRectF first = SnappedCell(CellRect(firstRow), scale);
  const QRectF last = SnappedCell(CellRect(lastRow), scale);
  painter.fillRect(QRectF(first.right(), first.top(), line, last.bottom() + line - first.top()), color);
}

QColor TStringAlignGrid::GridLineColor() const {
  // silver lines would vanish on a silver grid
  return palette().color(QPalette::Base).rgb() == kSilver.rgb() ? kGray : kSilver;
}

void TStringAlignGrid::UpdateRow(int row) {
  // a pixel more on every side: at a fractional scale a snapped edge may
  // lie just outside the row's logical rectangle
  const QRect cell = CellRect(row).adjusted(-1, -1, kGridLineWidth + 1, kGridLineWidth + 1);
  if (cell.intersects(viewport()->rect())) viewport()->update(cell);
}

// ---- keyboard --------------------------------------------------------------

bool TStringAlignGrid::event(QEvent* event) {
  if (event->type() == QEvent::KeyPress && IsTabKey(*static_cast<QKeyEvent*>(event))) {
    const auto* key = static_cast<QKeyEvent*>(event);
    LeaveByTab(key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier));
    return true;
  }
  if (event->type() == QEvent::ShortcutOverride && !editorMode_) {
    // the range clipboard keys belong to the grid, whatever the window binds
    const auto* key = static_cast<QKeyEvent*>(event);
    if (IsCopyKey(*key) || IsCutKey(*key) || IsPasteKey(*key)) {
      event->accept();
      return true;
    }
  }
  return QAbstractScrollArea::event(event);
}

void TStringAlignGrid::keyPressEvent(QKeyEvent* event) {
  const bool handled =
      editorMode_ ? HandleEditorKey(*event)
                  : HandleClipboardKey(*event) || HandleNavigationKey(*event) || HandleEditStartKey(event);
  if (handled)
    event->accept();
  else
    event->ignore();
}

// Keys the open editor handed over.
bool TStringAlignGrid::HandleEditorKey(const QKeyEvent& event) {
  switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      CommitEdit();
      return true;
    case Qt::Key_Escape:
      CancelEdit();
      return true;
    case Qt::Key_Insert:
      return true;
    default:
      return HandleNavigationKey(event);
  }
}

bool TStringAlignGrid::HandleNavigationKey(const QKeyEvent& event) {
  const bool shift = event.modifiers() & Qt::ShiftModifier;
  const bool ctrl = event.modifiers() & Qt::ControlModifier;
  switch (event.key()) {
    case Qt::Key_Up:
      ctrl ? SetTopRow(TopRow() - 1) : MoveTo(row_ - 1, shift);
      return true;
    case Qt::Key_Down:
      ctrl ? SetTopRow(TopRow() + 1) : MoveTo(row_ + 1, shift);
      return true;
    case Qt::Key_PageUp:
      ctrl ? MoveTo(TopRow(), shift) : MovePage(-1, shift);
      return true;
    case Qt::Key_PageDown:
      ctrl ? MoveTo(TopRow() + VisibleRowCount() - 1, shift) : MovePage(1, shift);
      return true;
    case Qt::Key_Home:
      if (ctrl) MoveTo(0, shift);
      return true;
    case Qt::Key_End:
      if (ctrl) MoveTo(RowCount() - 1, shift);
      return true;
    case Qt::Key_Left:
    case Qt::Key_Right:
      return true;  // one column: nowhere to go
    default:
      return false;
  }
}

bool TStringAlignGrid::HandleClipboardKey(const QKeyEvent& event) {
  if (IsCopyKey(event))
    CopyRange();
  else if (IsCutKey(event))
    CutRange();
  else if (IsPasteKey(event))
    PasteRange();
  else
    return false;
  return true;
}

bool TStringAlignGrid::HandleEditStartKey(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      OpenEditor(true);
      return true;
    case Qt::Key_F2:
      OpenEditor(false);
      return true;
    case Qt::Key_Escape:
    case Qt::Key_Delete:
    case Qt::Key_Insert:
      return true;  // nothing to do with the editor closed
    default:
      break;
  }
  if (!IsTypingKey(*event)) return false;
  TypeOver(event);
  return true;
}

void TStringAlignGrid::TypeOver(QKeyEvent* event) {
  // The key replaces the whole text (Backspace empties it), so the old text
  // is not loaded into the editor at all: it stays in the cell for Escape,
  // and typing over a 10 MB cell costs what typing over an empty one does.
  ShowEditor();
  editor_->Load(QString(), false);
  typedOver_ = true;
  QCoreApplication::sendEvent(editor_, event);
  if (event->key() != Qt::Key_Backspace && editor_->text().isEmpty()) {
    // a character the editor does not take: over the selected text it would
    // have changed nothing, so the edit shows the text, selected, after all
    editor_->Load(GridCellText::Decode(column_.Text(row_)), true);
    typedOver_ = false;
  }
}

void TStringAlignGrid::LeaveByTab(bool forward) {
  {
    // step from the grid itself, so the search for the next control does not
    // land back on the grid when it starts from the editor
    const QScopedValueRollback leaving(focusLeavingEditor_, true);
    if (editor_->hasFocus()) setFocus(Qt::TabFocusReason);
  }
  focusNextPrevChild(forward);
  if (editorMode_ && Contains(QApplication::focusWidget())) editor_->setFocus(Qt::OtherFocusReason);
}

// ---- moving the current cell -----------------------------------------------

void TStringAlignGrid::MoveTo(int row, bool extendSelection) {
  row = std::clamp(row, 0, RowCount() - 1);
  if (row == row_) return;  // a move that cannot move does nothing: a selected range stays
  bool canSelect = true;
  emit OnSelectCell(0, row, canSelect);
  if (!canSelect) return;
  row_ = row;
  if (!extendSelection) anchor_ = row;
  rowMadeCurrentByPress_ = -1;
  ScrollIntoView(row_);
  CommitEdit();  // into the cell just left
  viewport()->update();
  NotifyCurrentCellToAccessibility();
}

void TStringAlignGrid::MovePage(int direction, bool extendSelection) {
  const int page = std::max(1, VisibleRowCount() - 1);
  SetTopRow(TopRow() + direction * page);
  MoveTo(row_ + direction * page, extendSelection);
}

// ---- mouse -----------------------------------------------------------------

void TStringAlignGrid::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const int row = RowAt(event->position().toPoint());
  if (row < 0) return;
  // the edited row's grid line, beside the editor: nothing moves, the edit goes on
  if (row == row_ && editorMode_) return;
  if (row == row_) {
    // a click on the current cell collapses a range to it and edits it
    if (anchor_ != row_) {
      anchor_ = row_;
      viewport()->update();
    }
    rowMadeCurrentByPress_ = -1;
    OpenEditor(true);
    return;
  }
  CommitEdit();  // before the selection notification, which sees the new text
  MoveTo(row, false);
  if (row_ == row) rowMadeCurrentByPress_ = row;
}

void TStringAlignGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  // the first click made this cell current; the second only confirms it
  const bool secondClickOnNewCell =
      event->button() == Qt::LeftButton && RowAt(event->position().toPoint()) == rowMadeCurrentByPress_;
  if (!secondClickOnNewCell) mousePressEvent(event);
}

void TStringAlignGrid::wheelEvent(QWheelEvent* event) {
  // fine-grained wheels send parts of a notch; whole notches move the cell
  wheelRemainder_ += event->angleDelta().y();
  while (std::abs(wheelRemainder_) >= kWheelNotch) {
    const int step = wheelRemainder_ > 0 ? -1 : 1;
    wheelRemainder_ += step * kWheelNotch;
    MoveTo(row_ + step, false);
  }
  event->accept();
}

// ---- the in-place editor ---------------------------------------------------

void TStringAlignGrid::OpenEditor(bool selectAll) {
  ShowEditor();
  editor_->Load(GridCellText::Decode(column_.Text(row_)), selectAll);
  typedOver_ = false;
}

void TStringAlignGrid::ShowEditor() {
  ScrollIntoView(row_);
  editorMode_ = true;
  editorRow_ = row_;
  PlaceEditor();
  editor_->show();
  editor_->setFocus(Qt::OtherFocusReason);
  UpdateRow(row_);
}

void TStringAlignGrid::PlaceEditor() {
  if (editorMode_) editor_->setGeometry(CellRect(editorRow_));
}

void TStringAlignGrid::CommitEdit() {
  if (!editorMode_) return;
  StoreEditorText();
  HideEditor();
}

void TStringAlignGrid::CancelEdit() {
  // the cell still holds the text the edit began with (or the one written to
  // it since): dropping the editor's text is all Escape has to do, and a long
  // text is not loaded into the editor again
  HideEditor();
}

void TStringAlignGrid::StoreEditorText() {
  // an unchanged text is not written back: a cell keeps the exact bytes it
  // was loaded with (its invalid UTF-8 included) until the user edits it
  if (!typedOver_ && !editor_->isModified()) return;  // the loaded text, untouched
  const QString text = editor_->text();
  if (GridCellText::DecodesTo(column_.Text(editorRow_), text)) return;
  column_.SetText(editorRow_, GridCellText::Encode(text));
  NotifyCellTextToAccessibility(editorRow_);
}

void TStringAlignGrid::HideEditor() {
  const int row = editorRow_;
  editorMode_ = false;
  editorRow_ = -1;
  typedOver_ = false;
  // the text goes first: a line edit losing the focus walks all of its text
  editor_->Unload();
  // the focus stays with the grid instead of passing to the next control
  if (editor_->hasFocus()) setFocus(Qt::OtherFocusReason);
  editor_->hide();
  UpdateRow(row);
}

// ---- focus -----------------------------------------------------------------

bool TStringAlignGrid::Contains(const QWidget* widget) const {
  return widget == this || isAncestorOf(widget);
}

void TStringAlignGrid::OnFocusChanged(QWidget* old, QWidget* now) {
  // only a move to another control of this window leaves the grid: another
  // window (a dialog, the About window) or a menu leaves an edit open
  if (!old || !now || now->window() != window()) return;
  if (Contains(now)) {
    focusLentToMenuBar_ = false;
    return;
  }
  const bool fromGrid = Contains(old) || (focusLentToMenuBar_ && qobject_cast<QMenuBar*>(old));
  if (!fromGrid) return;
  if (qobject_cast<QMenuBar*>(now)) {
    // the menu bar's keyboard mode (Alt, F10) hands the focus back when it ends
    focusLentToMenuBar_ = true;
    return;
  }
  focusLentToMenuBar_ = false;
  LeaveGrid();
}

void TStringAlignGrid::LeaveGrid() {
  const bool editing = editorMode_;
  if (editing) {
    editor_->hide();
    StoreEditorText();
  }
  emit OnExit();  // sees the committed text
  if (editing) {
    editorMode_ = false;
    editorRow_ = -1;
    typedOver_ = false;
    editor_->Unload();
  }
  UpdateRow(row_);
}

void TStringAlignGrid::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  // While an edit is open the keyboard belongs to its editor: a press on the
  // scroll bar, the border, the strip beside the column or below the last
  // row, or a right or middle click, gives the grid the focus without moving
  // the current cell, and the focus goes straight back.
  if (editorMode_ && !focusLeavingEditor_) editor_->setFocus(Qt::OtherFocusReason);
  UpdateRow(row_);
}

void TStringAlignGrid::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  UpdateRow(row_);
}

// ---- range clipboard commands ------------------------------------------------

void TStringAlignGrid::CopyRange() const {
  // each cell followed by a TAB, each row ended by CR LF
  QString text;
  for (int row = SelectionTop(); row <= SelectionBottom(); ++row) {
    text += GridCellText::Decode(column_.Text(row));
    text += QStringLiteral("\t\r\n");
  }
  QGuiApplication::clipboard()->setText(text);
}

void TStringAlignGrid::CutRange() {
  CopyRange();
  for (int row = SelectionTop(); row <= SelectionBottom(); ++row) SetCells(0, row, std::string());
}

void TStringAlignGrid::PasteRange() {
  // one line per row from the range's top, the first TAB field of each; an
  // empty line leaves its row alone and nothing outside the range is touched
  const QString text = QGuiApplication::clipboard()->text();
  ClipboardLineReader lines(text);
  for (int row = SelectionTop(); row <= SelectionBottom() && !lines.AtEnd(); ++row) {
    const QStringView line = lines.NextLine();
    if (!line.isEmpty()) SetCells(0, row, GridCellText::Encode(ClipboardLineReader::FirstField(line)));
  }
}

// ---- accessibility -----------------------------------------------------------

void TStringAlignGrid::NotifyCurrentCellToAccessibility() {
  if (!QAccessible::isActive() || FocusedRow() < 0) return;
  QAccessibleEvent focus(this, QAccessible::Focus);
  focus.setChild(row_);
  QAccessible::updateAccessibility(&focus);
}

void TStringAlignGrid::NotifyCellTextToAccessibility(int row) {
  if (!QAccessible::isActive()) return;
  QAccessibleTableModelChangeEvent change(this, QAccessibleTableModelChangeEvent::DataChanged);
  change.setFirstRow(row);
  change.setLastRow(row);
  change.setFirstColumn(0);
  change.setLastColumn(0);
  QAccessible::updateAccessibility(&change);
}
