// The spans grid driven by real key and mouse events: starting and ending
// edits, the order in which the window's notifications see a cell, moving
// and selecting, the range clipboard commands, drawing, and what screen
// readers are told.

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QImage>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QWheelEvent>
#include <memory>

#include "core/SpanColumn.h"
#include "ui/grid/GridCellText.h"
#include "ui/grid/TNewInplaceEdit.h"
#include "ui/grid/TStringAlignGrid.h"

namespace {
// The main window's grid: 145 x 442 px, so 20 rows show whole.
constexpr int kGridWidth = 145;
constexpr int kGridHeight = 442;
constexpr int kWholeRows = 20;
constexpr int kPitch = TStringAlignGrid::kDefaultRowHeight + TStringAlignGrid::kGridLineWidth;

const QColor kSilverLine(192, 192, 192);
const QColor kGrayLine(128, 128, 128);

bool IsDark(QRgb pixel) { return qGray(pixel) < 100; }

// Columns x0..x1 of one pixel row that hold dark (text or frame) pixels.
QList<int> DarkColumns(const QImage& image, int y, int x0, int x1) {
  QList<int> columns;
  for (int x = x0; x <= x1; ++x)
    if (IsDark(image.pixel(x, y))) columns.append(x);
  return columns;
}

// The left- and rightmost dark pixel inside a rectangle, or (-1, -1).
QPair<int, int> DarkSpan(const QImage& image, const QRect& area) {
  int left = -1, right = -1;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (IsDark(image.pixel(x, y))) {
        if (left < 0 || x < left) left = x;
        right = std::max(right, x);
      }
  return {left, right};
}
}  // namespace

class TestGrid : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void startsEmptyAtTheTopLeft();

  // starting and ending edits
  void editStartAndEnd_data();
  void editStartAndEnd();
  void typingKeepsTheCellUntilCommitted();
  void editorKeysStayInTheEditor_data();
  void editorKeysStayInTheEditor();
  void unchangedEditKeepsTheStoredBytes_data();
  void unchangedEditKeepsTheStoredBytes();
  void typedTextIsStoredAsUtf8();
  void windows1251BytesAreShownAsTheirLetters();
  void writingTheEditedCellReloadsTheEditor();
  void focusLeavingForAnotherWindowKeepsTheEditOpen();
  void selectionRefusedKeepsTheCell();
  void tabLeavesTheGrid_data();
  void tabLeavesTheGrid();

  // moving and selecting
  void navigation_data();
  void navigation();
  void moveScrollsTheCurrentCellIntoView();
  void clickMakesCurrentAndCollapses();
  void shiftClickDoesNotExtend();
  void dragDoesNotSelect();
  void clickOnTheCurrentCellOpensTheEditor();
  void doubleClickOnAnotherCellOnlySelectsIt();
  void quickSecondClickIsADoubleClickInTheEditor();
  void scrollBoxAppliesOnRelease();

  // range clipboard commands
  void copyPutsTextTabCrLfPerRow_data();
  void copyPutsTextTabCrLfPerRow();
  void cutCopiesThenEmptiesTheRange_data();
  void cutCopiesThenEmptiesTheRange();
  void pasteFillsTheRangeOnly_data();
  void pasteFillsTheRangeOnly();
  void pasteIgnoresANonTextClipboard();
  void clipboardKeysInTheEditorWorkOnItsText();

  // drawing
  void drawsWindowStripAndSilverLines();
  void drawsGrayLinesOnASilverGrid();
  void drawsSelectionWithFocusFrame();
  void keepsSelectionButNotFrameWithoutFocus();
  void drawsTextRightAlignedInsetTwoPixels();
  void drawsAmpersandAsItself();
  void cutsWideTextAtTheCellEdge();
  void doesNotDrawTheCellUnderTheEditor();
  void editorShowsTheTextWhereTheCellDoes();
  void drawsTheEndOfAHugeText();
  void drawsEveryLineAsWideAtAnyScale_data();
  void drawsEveryLineAsWideAtAnyScale();
  void visibleTailStartsOnACharacter_data();
  void visibleTailStartsOnACharacter();
  void decodesToTellsTextsApartWithoutDecoding_data();
  void decodesToTellsTextsApartWithoutDecoding();

  // accessibility
  void exposesATableOfCells();
  void exposesSelectionAndFocus();

 private:
  // input
  void Do(const QString& step);
  void Run(const QStringList& steps);
  void TypeText(const QString& text);
  void Click(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
  void Wheel(int notches);
  QPoint CellCenter(int row) const;
  QPoint InWindow(QWidget* widget, QPoint point) const;

  // state
  TNewInplaceEdit* Editor() const;
  QString Text(int row) const;
  void SetRows(const QStringList& texts);
  QStringList Rows(int count) const;
  void Select(int from, int to);
  QImage Viewport() const;

  std::unique_ptr<korvastel::SpanColumn> column_;
  std::unique_ptr<QWidget> window_;
  TStringAlignGrid* grid_ = nullptr;
  QPushButton* before_ = nullptr;
  QPushButton* button_ = nullptr;
  QStringList log_;
};

// ---- fixture -------------------------------------------------------------------

void TestGrid::init() {
  column_ = std::make_unique<korvastel::SpanColumn>();
  window_ = std::make_unique<QWidget>();
  auto* layout = new QHBoxLayout(window_.get());
  before_ = new QPushButton(QStringLiteral("before"), window_.get());
  grid_ = new TStringAlignGrid(*column_, window_.get());
  grid_->setFixedSize(kGridWidth, kGridHeight);
  button_ = new QPushButton(QStringLiteral("Расчёт"), window_.get());
  layout->addWidget(before_);
  layout->addWidget(grid_);
  layout->addWidget(button_);
  QWidget::setTabOrder(before_, grid_);
  QWidget::setTabOrder(grid_, button_);
  log_.clear();
  connect(grid_, &TStringAlignGrid::OnSelectCell, this, [this](int ACol, int ARow, bool&) {
    log_ << QStringLiteral("select %1,%2 sees '%3'").arg(ACol).arg(ARow).arg(Text(0));
  });
  connect(grid_, &TStringAlignGrid::OnExit, this,
          [this] { log_ << QStringLiteral("exit sees '%1'").arg(Text(0)); });
  window_->show();
  QApplication::setActiveWindow(window_.get());
  QVERIFY(QTest::qWaitForWindowActive(window_.get()));
  grid_->setFocus();
  QVERIFY(grid_->hasFocus());
}

void TestGrid::cleanup() {
  window_.reset();  // the grid goes before the column it shows
  column_.reset();
  QGuiApplication::clipboard()->clear();
}

// ---- helpers -------------------------------------------------------------------

TNewInplaceEdit* TestGrid::Editor() const { return grid_->findChild<TNewInplaceEdit*>(); }

QString TestGrid::Text(int row) const { return QString::fromStdString(grid_->Cells(0, row)); }

void TestGrid::SetRows(const QStringList& texts) {
  for (int row = 0; row < texts.size(); ++row) grid_->SetCells(0, row, texts[row].toStdString());
}

QStringList TestGrid::Rows(int count) const {
  QStringList texts;
  for (int row = 0; row < count; ++row) texts << Text(row);
  return texts;
}

QPoint TestGrid::CellCenter(int row) const { return grid_->CellRect(row).center(); }

QPoint TestGrid::InWindow(QWidget* widget, QPoint point) const { return widget->mapTo(window_.get(), point); }

void TestGrid::Click(int row, Qt::KeyboardModifiers modifiers) {
  QTest::mouseClick(grid_->viewport(), Qt::LeftButton, modifiers, CellCenter(row));
}

void TestGrid::Wheel(int notches) {
  // the pointer rests over the grid, below the cells in use
  const QPoint at = CellCenter(grid_->TopRow() + 15);
  QWheelEvent wheel(at, grid_->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120 * notches), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(grid_->viewport(), &wheel);
}

void TestGrid::TypeText(const QString& text) {
  // one key at a time to whichever widget holds the focus, as a keyboard does
  for (const QChar c : text)
    QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key(c.toUpper().unicode()), QString(c),
                        Qt::NoModifier);
}

// A step is "=text" (typed), "Click:N" / "ShiftClick:N" / "RightClick:N" /
// "MiddleClick:N" on row N, "Wheel:N" notches (negative: up), a press on a
// part of the grid that holds no cell ("PressScrollBar", "PressBorder",
// "PressBesideTheColumn", "PressBelowTheRows"), "ScrollToEnd" (the view only),
// "ClickButton" / "FocusButton" for the other control, or a key such as
// "Shift+Down".
void TestGrid::Do(const QString& step) {
  if (step.startsWith(u'=')) return TypeText(step.mid(1));
  if (step.startsWith(QLatin1String("Click:"))) return Click(step.mid(6).toInt());
  if (step.startsWith(QLatin1String("RightClick:")))
    return QTest::mouseClick(grid_->viewport(), Qt::RightButton, {}, CellCenter(step.mid(11).toInt()));
  if (step.startsWith(QLatin1String("MiddleClick:")))
    return QTest::mouseClick(grid_->viewport(), Qt::MiddleButton, {}, CellCenter(step.mid(12).toInt()));
  QScrollBar* bar = grid_->verticalScrollBar();
  const QRect viewport = grid_->viewport()->rect();
  if (step == QLatin1String("PressScrollBar"))  // on the track below the box: a page down
    return QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, bar->height() - 30));
  if (step == QLatin1String("PressBorder"))
    return QTest::mouseClick(grid_, Qt::LeftButton, {}, QPoint(0, 100));
  if (step == QLatin1String("PressBesideTheColumn"))
    return QTest::mouseClick(grid_->viewport(), Qt::LeftButton, {}, QPoint(viewport.right() - 2, 10));
  if (step == QLatin1String("PressBelowTheRows"))
    return QTest::mouseClick(grid_->viewport(), Qt::LeftButton, {}, QPoint(50, viewport.bottom() - 2));
  if (step == QLatin1String("ScrollToEnd")) return bar->setValue(bar->maximum());
  if (step.startsWith(QLatin1String("ShiftClick:"))) return Click(step.mid(11).toInt(), Qt::ShiftModifier);
  if (step.startsWith(QLatin1String("Wheel:"))) return Wheel(step.mid(6).toInt());
  if (step == QLatin1String("ClickButton")) return QTest::mouseClick(button_, Qt::LeftButton);
  if (step == QLatin1String("FocusButton")) return button_->setFocus(Qt::OtherFocusReason);
  const QKeySequence sequence = QKeySequence::fromString(step);
  QVERIFY2(sequence.count() == 1, qPrintable(step));
  QTest::keyClick(QApplication::focusWidget(), sequence[0].key(), sequence[0].keyboardModifiers());
}

void TestGrid::Run(const QStringList& steps) {
  for (const QString& step : steps) Do(step);
}

void TestGrid::Select(int from, int to) {
  Do(QStringLiteral("Ctrl+Home"));
  for (int row = 0; row < from; ++row) Do(QStringLiteral("Down"));
  for (int row = from; row < to; ++row) Do(QStringLiteral("Shift+Down"));
  QCOMPARE(grid_->SelectionTop(), from);
  QCOMPARE(grid_->SelectionBottom(), to);
  log_.clear();
}

QImage TestGrid::Viewport() const { return grid_->viewport()->grab().toImage(); }

// ---- basics ----------------------------------------------------------------------

void TestGrid::startsEmptyAtTheTopLeft() {
  QCOMPARE(grid_->RowCount(), 4000);
  QCOMPARE(grid_->Col(), 0);
  QCOMPARE(grid_->Row(), 0);
  QVERIFY(!grid_->EditorMode());
  QCOMPARE(grid_->Cells(0, 3999), std::string());
  QCOMPARE(grid_->VisibleRowCount(), kWholeRows);
  QVERIFY_THROWS_EXCEPTION(std::out_of_range, grid_->Cells(1, 0));
  QVERIFY_THROWS_EXCEPTION(std::out_of_range, grid_->Cells(0, 4000));
  QCOMPARE(grid_->horizontalScrollBar()->isVisible(), false);
  QCOMPARE(grid_->verticalScrollBar()->isVisible(), true);
}

// ---- starting and ending edits -------------------------------------------------------

void TestGrid::editStartAndEnd_data() {
  QTest::addColumn<QString>("before");  // row 0's text
  QTest::addColumn<QStringList>("steps");
  QTest::addColumn<QString>("after");  // row 0's text
  QTest::addColumn<int>("row");
  QTest::addColumn<bool>("editing");
  QTest::addColumn<QStringList>("notifications");
  const bool open = true, closed = false;

  QTest::newRow("'125' then Down") << "" << QStringList{"=125", "Down"} << "125" << 1 << closed
                                   << QStringList{"select 0,1 sees ''"};
  QTest::newRow("'125' then Shift+Down")
      << "" << QStringList{"=125", "Shift+Down"} << "125" << 1 << closed << QStringList{"select 0,1 sees ''"};
  QTest::newRow("'125' then Page Down") << "" << QStringList{"=125", "PgDown"} << "125" << kWholeRows - 1
                                        << closed << QStringList{"select 0,19 sees ''"};
  QTest::newRow("'125' then a wheel notch down")
      << "" << QStringList{"=125", "Wheel:1"} << "125" << 1 << closed << QStringList{"select 0,1 sees ''"};
  QTest::newRow("'125' then Up on row 1") << "" << QStringList{"Down", "=125", "Up"} << "" << 0 << closed
                                          << QStringList{"select 0,1 sees ''", "select 0,0 sees ''"};
  QTest::newRow("'125' then click row 5")
      << "" << QStringList{"=125", "Click:5"} << "125" << 5 << closed << QStringList{"select 0,5 sees '125'"};
  QTest::newRow("'125' then Tab") << "" << QStringList{"=125", "Tab"} << "125" << 0 << closed
                                  << QStringList{"exit sees '125'"};
  QTest::newRow("'125' then Shift+Tab")
      << "" << QStringList{"=125", "Shift+Tab"} << "125" << 0 << closed << QStringList{"exit sees '125'"};
  QTest::newRow("'125' then click the button")
      << "" << QStringList{"=125", "ClickButton"} << "125" << 0 << closed << QStringList{"exit sees '125'"};
  QTest::newRow("'125' then the button takes the focus")
      << "" << QStringList{"=125", "FocusButton"} << "125" << 0 << closed << QStringList{"exit sees '125'"};
  QTest::newRow("'125' then Enter") << "" << QStringList{"=125", "Enter"} << "125" << 0 << closed
                                    << QStringList{};
  QTest::newRow("'125' then Enter twice")
      << "" << QStringList{"=125", "Enter", "Enter"} << "125" << 0 << open << QStringList{};
  QTest::newRow("'125' still open") << "" << QStringList{"=125"} << "" << 0 << open << QStringList{};
  QTest::newRow("typing over '100' replaces it")
      << "100" << QStringList{"=7", "Enter"} << "7" << 0 << closed << QStringList{};
  QTest::newRow("Escape over '100'") << "100" << QStringList{"=125", "Escape"} << "100" << 0 << closed
                                     << QStringList{};
  QTest::newRow("Escape after Backspace")
      << "100" << QStringList{"Backspace", "Escape"} << "100" << 0 << closed << QStringList{};
  QTest::newRow("F2 on '100' then '5'")
      << "100" << QStringList{"F2", "=5", "Enter"} << "1005" << 0 << closed << QStringList{};
  QTest::newRow("Enter on '100' then '5'")
      << "100" << QStringList{"Enter", "=5", "Enter"} << "5" << 0 << closed << QStringList{};
  QTest::newRow("Backspace on '100' then Enter")
      << "100" << QStringList{"Backspace", "Enter"} << "" << 0 << closed << QStringList{};
  QTest::newRow("letters, spaces and commas are kept")
      << "" << QStringList{"=a 1,5", "Enter"} << "a 1,5" << 0 << closed << QStringList{};
  QTest::newRow("Escape with the editor closed")
      << "100" << QStringList{"Escape"} << "100" << 0 << closed << QStringList{};
  QTest::newRow("Delete with the editor closed")
      << "100" << QStringList{"Delete"} << "100" << 0 << closed << QStringList{};
  QTest::newRow("Down at the last row keeps the edit open")
      << "" << QStringList{"Ctrl+End", "=9", "Down"} << "" << 3999 << open
      << QStringList{"select 0,3999 sees ''"};
  QTest::newRow("Ctrl+Down scrolls and keeps the edit open")
      << "" << QStringList{"=9", "Ctrl+Down"} << "" << 0 << open << QStringList{};
  // a press that does not move the current cell leaves the keyboard with the editor
  QTest::newRow("'12', scroll bar, '3', Enter")
      << "" << QStringList{"=12", "PressScrollBar", "=3", "Enter"} << "123" << 0 << closed << QStringList{};
  QTest::newRow("'12', border, '3', Enter")
      << "" << QStringList{"=12", "PressBorder", "=3", "Enter"} << "123" << 0 << closed << QStringList{};
  QTest::newRow("'12', beside the column, '3', Enter")
      << "" << QStringList{"=12", "PressBesideTheColumn", "=3", "Enter"} << "123" << 0 << closed
      << QStringList{};
  QTest::newRow("'12', below the last row, '3', Enter")
      << "" << QStringList{"=12", "ScrollToEnd", "PressBelowTheRows", "=3", "Enter"} << "123" << 0 << closed
      << QStringList{};
  QTest::newRow("'12', press on its own row beside the editor, '3', Enter")
      << "" << QStringList{"=12", "Click:0", "=3", "Enter"} << "123" << 0 << closed << QStringList{};
  QTest::newRow("'12', right click on row 3, '3', Enter")
      << "" << QStringList{"=12", "RightClick:3", "=3", "Enter"} << "123" << 0 << closed << QStringList{};
  QTest::newRow("'12', middle click on row 3, '3', Enter")
      << "" << QStringList{"=12", "MiddleClick:3", "=3", "Enter"} << "123" << 0 << closed << QStringList{};
  QTest::newRow("a character the editor does not take keeps '100'")
      << "100" << QStringList{"=\u0085", "Enter"} << "100" << 0 << closed << QStringList{};
}

void TestGrid::editStartAndEnd() {
  QFETCH(QString, before);
  QFETCH(QStringList, steps);
  QFETCH(QString, after);
  QFETCH(int, row);
  QFETCH(bool, editing);
  QFETCH(QStringList, notifications);
  grid_->SetCells(0, 0, before.toStdString());
  Run(steps);
  QCOMPARE(Text(0), after);
  QCOMPARE(grid_->Row(), row);
  QCOMPARE(grid_->EditorMode(), editing);
  QCOMPARE(Editor()->isVisible(), editing);
  QCOMPARE(log_, notifications);
}

void TestGrid::typingKeepsTheCellUntilCommitted() {
  grid_->SetCells(0, 0, "100");
  // typing over the cell never loads its text into the editor: a long text
  // would cost seconds to lay out only to be replaced
  QSignalSpy shown(Editor(), &QLineEdit::textChanged);
  Run({"Backspace"});
  QVERIFY(grid_->EditorMode());
  QCOMPARE(Editor()->text(), QString());
  QCOMPARE(Text(0), QStringLiteral("100"));
  Run({"=12"});
  QCOMPARE(Editor()->text(), QStringLiteral("12"));
  QCOMPARE(Text(0), QStringLiteral("100"));
  QVERIFY(Editor()->hasFocus());
  Run({"Enter"});
  QCOMPARE(Text(0), QStringLiteral("12"));
  QVERIFY(grid_->hasFocus());                // the focus stays in the grid, not on the next control
  Run({"=3", "Escape", "Enter", "Escape"});  // nor does Escape load it back, after typing or Enter
  QCOMPARE(Text(0), QStringLiteral("12"));
  for (const QList<QVariant>& change : std::as_const(shown))
    QVERIFY2(change[0].toString() != QStringLiteral("100") && change[0].toString().size() <= 2,
             qPrintable(change[0].toString()));
  QCOMPARE(shown.count(QList<QVariant>{QStringLiteral("12")}), 2);  // typed, then loaded by Enter
}

void TestGrid::editorKeysStayInTheEditor_data() {
  QTest::addColumn<QStringList>("steps");
  QTest::addColumn<QString>("text");  // the editor's text afterwards
  QTest::addColumn<QString>("selected");

  QTest::newRow("Home then typing inserts at the start") << QStringList{"F2", "Home", "=9"} << "9100"
                                                         << "";
  QTest::newRow("Left then typing inserts before the end") << QStringList{"F2", "Left", "=9"} << "1090"
                                                           << "";
  QTest::newRow("Ctrl+Home stays in the editor") << QStringList{"F2", "Ctrl+Home", "=9"} << "9100"
                                                 << "";
  QTest::newRow("Ctrl+End stays in the editor") << QStringList{"Enter", "Ctrl+End", "=9"} << "1009"
                                                << "";
  QTest::newRow("Delete removes from the text") << QStringList{"F2", "Home", "Delete"} << "00"
                                                << "";
  QTest::newRow("F2 drops the selection") << QStringList{"Enter", "F2", "=5"} << "1005"
                                          << "";
  QTest::newRow("Enter selects the whole text") << QStringList{"Enter"} << "100"
                                                << "100";
  QTest::newRow("a bare Insert changes nothing") << QStringList{"F2", "Ins", "=5"} << "1005"
                                                 << "";
  QTest::newRow("Tab is never typed") << QStringList{"F2", "Tab", "Shift+Tab", "F2"} << "100"
                                      << "";
}

void TestGrid::editorKeysStayInTheEditor() {
  QFETCH(QStringList, steps);
  QFETCH(QString, text);
  QFETCH(QString, selected);
  grid_->SetCells(0, 0, "100");
  Run(steps);
  QCOMPARE(Editor()->text(), text);
  QCOMPARE(Editor()->selectedText(), selected);
  QCOMPARE(grid_->Row(), 0);
}

void TestGrid::unchangedEditKeepsTheStoredBytes_data() {
  QTest::addColumn<QStringList>("steps");
  QTest::newRow("Enter, Enter") << QStringList{"Enter", "Enter"};
  QTest::newRow("F2, Down") << QStringList{"F2", "Down"};
  QTest::newRow("F2, Tab") << QStringList{"F2", "Tab"};
  QTest::newRow("typing then Escape") << QStringList{"=5", "Escape"};
  QTest::newRow("F2, a key and Backspace") << QStringList{"F2", "=5", "Backspace", "Enter"};
  QTest::newRow("click, click row 3") << QStringList{"Click:0", "Click:3"};
}

void TestGrid::unchangedEditKeepsTheStoredBytes() {
  QFETCH(QStringList, steps);
  // a byte that is not UTF-8, as a span file from another code page holds
  const std::string loaded =
      "\xB2"
      "12.5";
  grid_->SetCells(0, 0, loaded);
  Run(steps);
  QVERIFY(!grid_->EditorMode());
  QCOMPARE(grid_->Cells(0, 0), loaded);
}

void TestGrid::typedTextIsStoredAsUtf8() {
  Run({"=ф1", "Enter"});
  QCOMPARE(grid_->Cells(0, 0), std::string("\xD1\x84"
                                           "1"));
}

void TestGrid::windows1251BytesAreShownAsTheirLetters() {
  grid_->SetCells(0, 0,
                  "\xB2"
                  "12");
  Run({"F2"});
  QCOMPARE(Editor()->text(), QStringLiteral("\u040612"));
  Run({"=5", "Enter"});  // a real edit stores what is shown, as UTF-8
  QCOMPARE(grid_->Cells(0, 0), std::string("\xD0\x86"
                                           "125"));
}

void TestGrid::writingTheEditedCellReloadsTheEditor() {
  grid_->SetCells(0, 0, "100");
  grid_->SetCells(0, 1, "200");
  Run({"=125"});
  grid_->SetCells(0, 1, "x");  // another row: the edit goes on
  QCOMPARE(Editor()->text(), QStringLiteral("125"));
  grid_->SetCells(0, 0, "");  // the edited row, as clearing the column does
  QVERIFY(grid_->EditorMode());
  QCOMPARE(Editor()->text(), QString());
  Run({"Escape"});  // Escape keeps the reloaded text, not the one before it
  QCOMPARE(Text(0), QString());
  Run({"=7"});
  grid_->SetCells(0, 0, "300");  // as loading a file does
  Run({"Enter"});
  QCOMPARE(Text(0), QStringLiteral("300"));
}

void TestGrid::focusLeavingForAnotherWindowKeepsTheEditOpen() {
  // a dialog or the About window takes the focus: nothing is committed
  Run({"=125"});
  QWidget other;
  other.show();
  QApplication::setActiveWindow(&other);
  QVERIFY(QTest::qWaitForWindowActive(&other));
  QVERIFY(grid_->EditorMode());
  QCOMPARE(Text(0), QString());
  QVERIFY(log_.isEmpty());
  QApplication::setActiveWindow(window_.get());
  QVERIFY(QTest::qWaitForWindowActive(window_.get()));
  QVERIFY(Editor()->hasFocus());
  Run({"=6", "Enter"});
  QCOMPARE(Text(0), QStringLiteral("1256"));
}

void TestGrid::selectionRefusedKeepsTheCell() {
  connect(grid_, &TStringAlignGrid::OnSelectCell, this, [](int, int, bool& CanSelect) { CanSelect = false; });
  Run({"Down", "Click:4", "Ctrl+End"});
  QCOMPARE(grid_->Row(), 0);
  QCOMPARE(log_.size(), 3);
}

void TestGrid::tabLeavesTheGrid_data() {
  QTest::addColumn<QStringList>("steps");
  QTest::addColumn<QString>("focused");
  QTest::newRow("Tab") << QStringList{"Tab"} << "Расчёт";
  QTest::newRow("Shift+Tab") << QStringList{"Shift+Tab"} << "before";
  QTest::newRow("Backtab") << QStringList{"Shift+Backtab"} << "before";
  QTest::newRow("Tab from the editor") << QStringList{"F2", "Tab"} << "Расчёт";
  QTest::newRow("Shift+Tab from the editor") << QStringList{"F2", "Shift+Tab"} << "before";
}

void TestGrid::tabLeavesTheGrid() {
  QFETCH(QStringList, steps);
  QFETCH(QString, focused);
  Run(steps);
  auto* button = qobject_cast<QPushButton*>(QApplication::focusWidget());
  QVERIFY(button);
  QCOMPARE(button->text(), focused);
  QCOMPARE(log_.size(), 1);  // one exit notification
  QCOMPARE(grid_->Row(), 0);
  QVERIFY(!grid_->EditorMode());
}

// ---- moving and selecting --------------------------------------------------------------

void TestGrid::navigation_data() {
  QTest::addColumn<QStringList>("steps");
  QTest::addColumn<int>("row");
  QTest::addColumn<int>("selectionTop");
  QTest::addColumn<int>("selectionBottom");
  QTest::addColumn<int>("topRow");
  QTest::addColumn<int>("notifications");
  const int lastTop = 4000 - kWholeRows;
  const int page = kWholeRows - 1;

  QTest::newRow("Down") << QStringList{"Down"} << 1 << 1 << 1 << 0 << 1;
  QTest::newRow("Up at row 0") << QStringList{"Up"} << 0 << 0 << 0 << 0 << 0;
  QTest::newRow("Ctrl+End") << QStringList{"Ctrl+End"} << 3999 << 3999 << 3999 << lastTop << 1;
  QTest::newRow("Ctrl+End, Down") << QStringList{"Ctrl+End", "Down"} << 3999 << 3999 << 3999 << lastTop << 1;
  QTest::newRow("Ctrl+End, Ctrl+Home") << QStringList{"Ctrl+End", "Ctrl+Home"} << 0 << 0 << 0 << 0 << 2;
  QTest::newRow("Shift+Down x3 from row 2")
      << QStringList{"Down", "Down", "Shift+Down", "Shift+Down", "Shift+Down"} << 5 << 2 << 5 << 0 << 5;
  QTest::newRow("Shift+Down x3 then Shift+Up")
      << QStringList{"Down", "Down", "Shift+Down", "Shift+Down", "Shift+Down", "Shift+Up"} << 4 << 2 << 4 << 0
      << 6;
  QTest::newRow("Shift+Down x3 then Up collapses")
      << QStringList{"Down", "Down", "Shift+Down", "Shift+Down", "Shift+Down", "Up"} << 4 << 4 << 4 << 0 << 6;
  QTest::newRow("Shift+Up above the anchor")
      << QStringList{"Down", "Down", "Shift+Up", "Shift+Up"} << 0 << 0 << 2 << 0 << 4;
  QTest::newRow("Shift+Ctrl+End") << QStringList{"Down", "Shift+Ctrl+End"} << 3999 << 1 << 3999 << lastTop
                                  << 2;
  QTest::newRow("Page Down") << QStringList{"PgDown"} << page << page << page << page << 1;
  QTest::newRow("Page Down twice") << QStringList{"PgDown", "PgDown"} << 2 * page << 2 * page << 2 * page
                                   << 2 * page << 2;
  QTest::newRow("Page Down, Page Up") << QStringList{"Down", "PgDown", "PgUp"} << 1 << 1 << 1 << 0 << 3;
  QTest::newRow("Shift+Page Down") << QStringList{"Shift+PgDown"} << page << 0 << page << page << 1;
  QTest::newRow("Page Up at the top") << QStringList{"Down", "PgUp"} << 0 << 0 << 0 << 0 << 2;
  QTest::newRow("Page Down near the end fills the grid")
      << QStringList{"Ctrl+End", "Up", "Up", "PgDown"} << 3999 << 3999 << 3999 << lastTop << 4;
  QTest::newRow("Ctrl+Page Down") << QStringList{"Ctrl+PgDown"} << page << page << page << 0 << 1;
  QTest::newRow("Ctrl+Page Up") << QStringList{"Ctrl+PgDown", "Ctrl+Down", "Ctrl+Down", "Ctrl+PgUp"} << 2 << 2
                                << 2 << 2 << 2;
  QTest::newRow("Ctrl+Down scrolls only") << QStringList{"Ctrl+Down", "Ctrl+Down"} << 0 << 0 << 0 << 2 << 0;
  QTest::newRow("Ctrl+Up at the top") << QStringList{"Ctrl+Up"} << 0 << 0 << 0 << 0 << 0;
  QTest::newRow("Left, Right, Home, End")
      << QStringList{"Down", "Left", "Right", "Home", "End"} << 1 << 1 << 1 << 0 << 1;
  QTest::newRow("two wheel notches down") << QStringList{"Wheel:2"} << 2 << 2 << 2 << 0 << 2;
  QTest::newRow("wheel up at the top") << QStringList{"Wheel:-1"} << 0 << 0 << 0 << 0 << 0;
  QTest::newRow("wheel collapses a range")
      << QStringList{"Shift+Down", "Shift+Down", "Wheel:-1"} << 1 << 1 << 1 << 0 << 3;
  // a move that cannot move does nothing: the range stays
  QTest::newRow("Up, Ctrl+Home, wheel up at row 0 keep a range")
      << QStringList{"Down", "Down", "Shift+Up", "Shift+Up", "Up", "Ctrl+Home", "Wheel:-1"} << 0 << 0 << 2
      << 0 << 4;
  QTest::newRow("Down, Ctrl+End, Page Down, wheel down at the last row keep a range")
      << QStringList{"Ctrl+End", "Up",       "Up",     "Shift+Down", "Shift+Down",
                     "Down",     "Ctrl+End", "PgDown", "Wheel:1"}
      << 3999 << 3997 << 3999 << lastTop << 5;
}

void TestGrid::navigation() {
  QFETCH(QStringList, steps);
  QFETCH(int, row);
  QFETCH(int, selectionTop);
  QFETCH(int, selectionBottom);
  QFETCH(int, topRow);
  QFETCH(int, notifications);
  Run(steps);
  QCOMPARE(grid_->Row(), row);
  QCOMPARE(grid_->SelectionTop(), selectionTop);
  QCOMPARE(grid_->SelectionBottom(), selectionBottom);
  QCOMPARE(grid_->TopRow(), topRow);
  QCOMPARE(log_.size(), notifications);
  QVERIFY(!grid_->EditorMode());
  QVERIFY(grid_->hasFocus());
}

void TestGrid::moveScrollsTheCurrentCellIntoView() {
  Run(QStringList(kWholeRows, QStringLiteral("Down")));
  QCOMPARE(grid_->Row(), kWholeRows);
  QCOMPARE(grid_->TopRow(), 1);
  Run({"Ctrl+End", "Ctrl+Home"});
  QCOMPARE(grid_->TopRow(), 0);
  // a cell scrolled out of view comes back when an edit starts on it
  Run({"Down", "Ctrl+Down", "Ctrl+Down", "=4"});
  QCOMPARE(grid_->TopRow(), 1);
  QVERIFY(grid_->EditorMode());
}

void TestGrid::clickMakesCurrentAndCollapses() {
  Select(2, 5);
  Click(8);
  QCOMPARE(grid_->Row(), 8);
  QCOMPARE(grid_->SelectionTop(), 8);
  QCOMPARE(grid_->SelectionBottom(), 8);
  QCOMPARE(log_, QStringList{"select 0,8 sees ''"});
  QVERIFY(!grid_->EditorMode());
}

void TestGrid::shiftClickDoesNotExtend() {
  Click(2);
  Click(6, Qt::ShiftModifier);
  QCOMPARE(grid_->Row(), 6);
  QCOMPARE(grid_->SelectionTop(), 6);
  QCOMPARE(grid_->SelectionBottom(), 6);
}

void TestGrid::dragDoesNotSelect() {
  Click(2);
  QTest::mousePress(grid_->viewport(), Qt::LeftButton, {}, CellCenter(4));
  QTest::mouseMove(grid_->viewport(), CellCenter(7));
  QTest::mouseRelease(grid_->viewport(), Qt::LeftButton, {}, CellCenter(7));
  QCOMPARE(grid_->Row(), 4);
  QCOMPARE(grid_->SelectionTop(), 4);
  QCOMPARE(grid_->SelectionBottom(), 4);
}

void TestGrid::clickOnTheCurrentCellOpensTheEditor() {
  grid_->SetCells(0, 3, "100");
  Click(3);
  QVERIFY(!grid_->EditorMode());
  Click(3);
  QVERIFY(grid_->EditorMode());
  QCOMPARE(Editor()->selectedText(), QStringLiteral("100"));
  QCOMPARE(Editor()->geometry(), grid_->CellRect(3));
  QVERIFY(Editor()->hasFocus());
  // a range collapses to the clicked current cell
  Run({"Enter", "Shift+Down", "Shift+Down"});
  QCOMPARE(grid_->SelectionBottom(), 5);
  Click(5);
  QCOMPARE(grid_->SelectionTop(), 5);
  QVERIFY(grid_->EditorMode());
}

void TestGrid::doubleClickOnAnotherCellOnlySelectsIt() {
  grid_->SetCells(0, 6, "100");
  QTest::mouseDClick(window_->windowHandle(), Qt::LeftButton, {}, InWindow(grid_->viewport(), CellCenter(6)));
  QCOMPARE(grid_->Row(), 6);
  QVERIFY(!grid_->EditorMode());
  QCOMPARE(log_.size(), 1);
  Click(6);  // a later single click on it opens the editor
  QVERIFY(grid_->EditorMode());
}

void TestGrid::quickSecondClickIsADoubleClickInTheEditor() {
  grid_->SetCells(0, 0, "12 34");
  const QRect cell = grid_->CellRect(0);
  const QPoint onLastWord = InWindow(grid_->viewport(), QPoint(cell.right() - 6, cell.center().y()));
  QTest::mouseDClick(window_->windowHandle(), Qt::LeftButton, {}, onLastWord);
  QVERIFY(grid_->EditorMode());
  QCOMPARE(Editor()->selectedText(), QStringLiteral("34"));
}

void TestGrid::scrollBoxAppliesOnRelease() {
  QScrollBar* bar = grid_->verticalScrollBar();
  QStyleOptionSlider option;
  option.initFrom(bar);
  option.orientation = Qt::Vertical;
  option.minimum = bar->minimum();
  option.maximum = bar->maximum();
  option.sliderPosition = option.sliderValue = bar->value();
  option.singleStep = bar->singleStep();
  option.pageStep = bar->pageStep();
  option.subControls = QStyle::SC_All;
  const QRect box =
      bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, bar);
  QVERIFY(box.isValid());
  QTest::mousePress(bar, Qt::LeftButton, {}, box.center());
  QTest::mouseMove(bar, box.center() + QPoint(0, 150));
  QVERIFY(bar->sliderPosition() > 0);
  QCOMPARE(grid_->TopRow(), 0);  // nothing moves while the box is dragged
  QTest::mouseRelease(bar, Qt::LeftButton, {}, box.center() + QPoint(0, 150));
  QVERIFY(grid_->TopRow() > 0);
  QCOMPARE(grid_->TopRow(), bar->sliderPosition());
  QCOMPARE(grid_->Row(), 0);  // scrolling does not move the current cell
  QVERIFY(log_.isEmpty());
}

// ---- range clipboard commands ---------------------------------------------------------

void TestGrid::copyPutsTextTabCrLfPerRow_data() {
  QTest::addColumn<QString>("key");
  QTest::addColumn<QStringList>("rows");
  QTest::addColumn<int>("from");
  QTest::addColumn<int>("to");
  QTest::addColumn<QString>("clipboard");

  QTest::newRow("Ctrl+Insert, '100' and empty")
      << "Ctrl+Ins" << QStringList{"100", ""} << 0 << 1 << "100\t\r\n\t\r\n";
  QTest::newRow("Ctrl+C, '100' and empty")
      << "Ctrl+C" << QStringList{"100", ""} << 0 << 1 << "100\t\r\n\t\r\n";
  QTest::newRow("one cell") << "Ctrl+Ins" << QStringList{"1", "2", "3"} << 1 << 1 << "2\t\r\n";
  QTest::newRow("texts unchanged") << "Ctrl+Ins" << QStringList{" 1,5 ", "a&b"} << 0 << 1
                                   << " 1,5 \t\r\na&b\t\r\n";
  QTest::newRow("Cyrillic") << "Ctrl+Ins" << QStringList{"пролёт"} << 0 << 0 << "пролёт\t\r\n";
}

void TestGrid::copyPutsTextTabCrLfPerRow() {
  QFETCH(QString, key);
  QFETCH(QStringList, rows);
  QFETCH(int, from);
  QFETCH(int, to);
  QFETCH(QString, clipboard);
  SetRows(rows);
  Select(from, to);
  Do(key);
  QCOMPARE(QGuiApplication::clipboard()->text(), clipboard);
  QCOMPARE(Rows(rows.size()), rows);
  QVERIFY(!grid_->EditorMode());
}

void TestGrid::cutCopiesThenEmptiesTheRange_data() {
  QTest::addColumn<QString>("key");
  QTest::newRow("Shift+Delete") << "Shift+Del";
  QTest::newRow("Ctrl+X") << "Ctrl+X";
}

void TestGrid::cutCopiesThenEmptiesTheRange() {
  QFETCH(QString, key);
  SetRows({"a", "100", "", "7", "b"});
  Select(1, 3);
  Do(key);
  QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("100\t\r\n\t\r\n7\t\r\n"));
  QCOMPARE(Rows(5), (QStringList{"a", "", "", "", "b"}));
}

void TestGrid::pasteFillsTheRangeOnly_data() {
  QTest::addColumn<QString>("key");
  QTest::addColumn<QString>("clipboard");
  QTest::addColumn<int>("from");
  QTest::addColumn<int>("to");
  QTest::addColumn<QStringList>("rows");  // rows 0..4 afterwards, over "a".."e"

  QTest::newRow("'1','2','3' into rows 0-1") << "Shift+Ins"
                                             << "1\r\n2\r\n3\r\n"
                                             << 0 << 1 << QStringList{"1", "2", "c", "d", "e"};
  QTest::newRow("Ctrl+V") << "Ctrl+V"
                          << "1\r\n2\r\n3\r\n"
                          << 0 << 1 << QStringList{"1", "2", "c", "d", "e"};
  QTest::newRow("LF line ends") << "Shift+Ins"
                                << "1\n2\n3" << 1 << 3 << QStringList{"a", "1", "2", "3", "e"};
  QTest::newRow("CR line ends") << "Shift+Ins"
                                << "1\r2\r3" << 1 << 3 << QStringList{"a", "1", "2", "3", "e"};
  QTest::newRow("fewer lines than rows") << "Shift+Ins"
                                         << "1\r\n2" << 0 << 3 << QStringList{"1", "2", "c", "d", "e"};
  QTest::newRow("LF CR ends two lines") << "Shift+Ins"
                                        << "1\n\r2\r" << 0 << 2 << QStringList{"1", "b", "2", "d", "e"};
  QTest::newRow("empty lines leave their rows")
      << "Shift+Ins"
      << "1\r\n\r\n3\n\n5" << 0 << 4 << QStringList{"1", "b", "3", "d", "5"};
  QTest::newRow("a line starting with TAB empties its row")
      << "Shift+Ins"
      << "\t5\r\n6" << 0 << 1 << QStringList{"", "6", "c", "d", "e"};
  QTest::newRow("first TAB field only") << "Shift+Ins"
                                        << "1\t9\r\n2\t8\t7\r\n"
                                        << 0 << 1 << QStringList{"1", "2", "c", "d", "e"};
  QTest::newRow("a copied range pastes back") << "Shift+Ins"
                                              << "100\t\r\n\t\r\n"
                                              << 2 << 3 << QStringList{"a", "b", "100", "", "e"};
  QTest::newRow("one cell takes the first field of the first line")
      << "Shift+Ins"
      << "7\t8\r\n9\r\n"
      << 3 << 3 << QStringList{"a", "b", "c", "7", "e"};
  QTest::newRow("empty clipboard") << "Shift+Ins"
                                   << "" << 0 << 4 << QStringList{"a", "b", "c", "d", "e"};
  QTest::newRow("texts kept as they are")
      << "Shift+Ins"
      << " 1,5 \r\nпролёт" << 0 << 1 << QStringList{" 1,5 ", "пролёт", "c", "d", "e"};
}

void TestGrid::pasteFillsTheRangeOnly() {
  QFETCH(QString, key);
  QFETCH(QString, clipboard);
  QFETCH(int, from);
  QFETCH(int, to);
  QFETCH(QStringList, rows);
  SetRows({"a", "b", "c", "d", "e"});
  QGuiApplication::clipboard()->setText(clipboard);
  Select(from, to);
  Do(key);
  QCOMPARE(Rows(5), rows);
  QCOMPARE(Text(5), QString());  // no row is added below the range
  QVERIFY(!grid_->EditorMode());
  QCOMPARE(grid_->Row(), to);
}

void TestGrid::pasteIgnoresANonTextClipboard() {
  SetRows({"a", "b"});
  auto* image = new QMimeData;
  image->setImageData(QImage(4, 4, QImage::Format_RGB32));
  QGuiApplication::clipboard()->setMimeData(image);
  Select(0, 1);
  Do(QStringLiteral("Shift+Ins"));
  QCOMPARE(Rows(2), (QStringList{"a", "b"}));
}

void TestGrid::clipboardKeysInTheEditorWorkOnItsText() {
  SetRows({"100", "200"});
  Select(0, 1);
  QGuiApplication::clipboard()->setText(QStringLiteral("9"));
  Run({"F2", "Shift+Ins"});
  QCOMPARE(Editor()->text(), QStringLiteral("2009"));
  Run({"Home", "Shift+End", "Ctrl+Ins"});
  QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("2009"));
  Run({"Shift+Del"});
  QCOMPARE(Editor()->text(), QString());
  QCOMPARE(Rows(2), (QStringList{"100", "200"}));  // the range was not touched
  Run({"Enter"});
  QCOMPARE(Text(1), QString());
}

// ---- drawing --------------------------------------------------------------------------

void TestGrid::drawsWindowStripAndSilverLines() {
  const QImage image = Viewport();
  const QColor window = grid_->palette().color(QPalette::Base);
  QCOMPARE(image.pixelColor(120, 5), window);  // strip right of the column
  QCOMPARE(image.pixelColor(image.width() - 1, 100), window);
  QCOMPARE(image.pixelColor(50, kPitch + 5), window);  // row 1, not selected
  QCOMPARE(image.pixelColor(50, 20), kSilverLine);     // line under row 0
  QCOMPARE(image.pixelColor(114, 50), kSilverLine);    // line right of the column
  QCOMPARE(image.pixelColor(115, 20), window);         // nothing right of the line
  QCOMPARE(image.pixelColor(50, kPitch * 3 + 20), kSilverLine);
}

void TestGrid::drawsGrayLinesOnASilverGrid() {
  QPalette silver = grid_->palette();
  silver.setColor(QPalette::Base, kSilverLine);
  grid_->setPalette(silver);
  const QImage image = Viewport();
  QCOMPARE(image.pixelColor(50, 20), kGrayLine);
  QCOMPARE(image.pixelColor(114, 50), kGrayLine);
  QCOMPARE(image.pixelColor(120, 5), kSilverLine);
}

void TestGrid::drawsSelectionWithFocusFrame() {
  Run({"Down", "Down", "Shift+Down", "Shift+Down", "Shift+Down"});
  const QImage image = Viewport();
  const QColor selected = grid_->palette().color(QPalette::ToolTipBase);
  const QColor window = grid_->palette().color(QPalette::Base);
  QVERIFY(selected != window);
  for (int row = 0; row <= 6; ++row) {
    const bool inRange = row >= 2 && row <= 5;
    QCOMPARE(image.pixelColor(57, row * kPitch + 10), inRange ? selected : window);
    // the dotted frame runs along the current cell's edges only
    const int frameDots = DarkColumns(image, row * kPitch, 0, 113).size();
    if (row == 5)
      QVERIFY2(frameDots > 40 && frameDots < 74, qPrintable(QString::number(frameDots)));
    else
      QCOMPARE(frameDots, 0);
  }
  QVERIFY(IsDark(image.pixel(0, 5 * kPitch + 1)) != IsDark(image.pixel(0, 5 * kPitch + 2)));  // dotted
}

void TestGrid::keepsSelectionButNotFrameWithoutFocus() {
  Run({"Down", "Shift+Down", "Tab"});
  QVERIFY(button_->hasFocus());
  const QImage image = Viewport();
  const QColor selected = grid_->palette().color(QPalette::ToolTipBase);
  QCOMPARE(image.pixelColor(57, 1 * kPitch + 10), selected);
  QCOMPARE(image.pixelColor(57, 2 * kPitch + 10), selected);
  QCOMPARE(DarkColumns(image, 2 * kPitch, 0, 113).size(), 0);
}

void TestGrid::drawsTextRightAlignedInsetTwoPixels() {
  grid_->SetCells(0, 1, "100");
  const QImage image = Viewport();
  const QRect cell = grid_->CellRect(1);
  const auto [left, right] = DarkSpan(image, cell);
  const int width = grid_->fontMetrics().horizontalAdvance(QStringLiteral("100"));
  QVERIFY2(right <= cell.right() - 2 && right >= cell.right() - 4, qPrintable(QString::number(right)));
  QVERIFY2(left >= cell.right() - 2 - width - 1, qPrintable(QString::number(left)));
  // top-aligned: nothing in the two pixels under the cell's top edge
  QCOMPARE(DarkColumns(image, cell.top(), 0, 113).size(), 0);
  QCOMPARE(DarkColumns(image, cell.top() + 1, 0, 113).size(), 0);
  QVERIFY(DarkSpan(image, QRect(cell.left(), cell.top(), cell.width(), 6)).first >= 0);
}

void TestGrid::drawsAmpersandAsItself() {
  grid_->SetCells(0, 1, "1&2");
  grid_->SetCells(0, 2, "12");
  const QImage image = Viewport();
  const int withAmpersand = DarkSpan(image, grid_->CellRect(1)).first;
  const int without = DarkSpan(image, grid_->CellRect(2)).first;
  const int ampersand = grid_->fontMetrics().horizontalAdvance(u'&');
  QVERIFY2(std::abs((without - withAmpersand) - ampersand) <= 1,
           qPrintable(QStringLiteral("%1 %2").arg(withAmpersand).arg(without)));
}

void TestGrid::cutsWideTextAtTheCellEdge() {
  grid_->SetCells(0, 1, std::string(60, '8'));
  const QImage image = Viewport();
  const QRect cell = grid_->CellRect(1);
  QVERIFY(DarkSpan(image, QRect(0, cell.top(), 3, cell.height())).first >= 0);  // runs to the edge
  QCOMPARE(DarkSpan(image, QRect(115, cell.top(), image.width() - 115, cell.height())).first, -1);
  // no wrapping: the row below stays empty
  QCOMPARE(DarkSpan(image, grid_->CellRect(2)).first, -1);
}

void TestGrid::doesNotDrawTheCellUnderTheEditor() {
  grid_->SetCells(0, 0, "100");
  Run({"Enter"});
  QImage image(grid_->viewport()->size(), QImage::Format_RGB32);
  // the grid's own drawing, without the editor on top of it
  grid_->viewport()->render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground);
  QCOMPARE(image.pixelColor(57, 10), grid_->palette().color(QPalette::Base));  // not the selection colour
  QCOMPARE(DarkSpan(image, grid_->CellRect(0)).first, -1);                     // and no text
  // the editor draws in the window colour, not the selection colour
  const QImage shown = Viewport();
  QCOMPARE(shown.pixelColor(3, 3), grid_->palette().color(QPalette::Base));
}

// The box round the last glyphs of a cell's text: left, top, right, bottom.
static QRect TextEndBox(const QImage& cell) {
  const QRect ending(cell.width() - 20, 0, 20, cell.height());
  int top = -1, bottom = -1;
  for (int y = 0; y < cell.height(); ++y)
    if (!DarkColumns(cell, y, ending.left(), ending.right()).isEmpty()) {
      if (top < 0) top = y;
      bottom = y;
    }
  const auto [left, right] = DarkSpan(cell, ending);
  return QRect(QPoint(left, top), QPoint(right, bottom));
}

void TestGrid::editorShowsTheTextWhereTheCellDoes() {
  grid_->SetCells(0, 0, "1000000");
  Do(QStringLiteral("Tab"));  // no focus frame on the cell
  const QRect cell = grid_->CellRect(0);
  const QRect drawn = TextEndBox(Viewport().copy(cell));
  grid_->setFocus();
  Run({"F2", "Home"});  // the caret sits left of the text, out of the way
  const QRect edited = TextEndBox(Viewport().copy(cell));
  QCOMPARE(edited.right(), drawn.right());
  QCOMPARE(edited.top(), drawn.top());
  QCOMPARE(edited.bottom(), drawn.bottom());
}

void TestGrid::drawsTheEndOfAHugeText() {
  const std::string ending = std::string(40, '5') + "123.45";
  grid_->SetCells(0, 1, std::string(10'000'000, '7') + ending);
  grid_->SetCells(0, 2, ending);
  const QImage image = Viewport();
  QCOMPARE(image.copy(grid_->CellRect(1)), image.copy(grid_->CellRect(2)));
}

void TestGrid::drawsEveryLineAsWideAtAnyScale_data() {
  QTest::addColumn<qreal>("scale");
  QTest::addColumn<int>("lineWidth");  // in device pixels
  QTest::newRow("100 %") << 1.0 << 1;
  QTest::newRow("125 %") << 1.25 << 1;
  QTest::newRow("150 %") << 1.5 << 2;
  QTest::newRow("175 %") << 1.75 << 2;
  QTest::newRow("200 %") << 2.0 << 2;
}

void TestGrid::drawsEveryLineAsWideAtAnyScale() {
  QFETCH(qreal, scale);
  QFETCH(int, lineWidth);
  Run({"Down", "Down", "Shift+Down", "Shift+Down", "Tab"});  // selected and plain cells, no focus frame
  const QSize size = grid_->viewport()->size();
  // whole device pixels only: a fractional last one may stay unpainted
  QImage image(qFloor(size.width() * scale), qFloor(size.height() * scale), QImage::Format_RGB32);
  image.setDevicePixelRatio(scale);
  image.fill(Qt::red);
  grid_->viewport()->render(&image);
  const QColor window = grid_->palette().color(QPalette::Base);
  const QColor selected = grid_->palette().color(QPalette::ToolTipBase);

  // down through the column: cells and lines only, every line as wide, and
  // as many lines as rows shown
  QList<int> lines;
  int run = 0;
  const int x = qRound(50 * scale);
  for (int y = 0; y < image.height(); ++y) {
    const QColor pixel = image.pixelColor(x, y);
    if (pixel == kSilverLine) {
      ++run;
      continue;
    }
    QVERIFY2(pixel == window || pixel == selected, qPrintable(QStringLiteral("y %1").arg(y)));
    if (run > 0) lines << run;
    run = 0;
  }
  QCOMPARE(lines.size(), kWholeRows);
  QCOMPARE(lines, QList<int>(kWholeRows, lineWidth));

  // across a plain and a selected row: the column's line, then the strip beside it
  for (const int row : {0, 3}) {
    QList<QColor> across;
    const int y = qRound((row * kPitch + 10) * scale);
    for (int column = 0; column < image.width(); ++column) {
      const QColor pixel = image.pixelColor(column, y);
      if (across.isEmpty() || across.last() != pixel) across << pixel;
    }
    QCOMPARE(across, (QList<QColor>{row == 3 ? selected : window, kSilverLine, window}));
    int width = 0;
    for (int column = 0; column < image.width(); ++column)
      width += image.pixelColor(column, y) == kSilverLine;
    QCOMPARE(width, lineWidth);
  }
}

void TestGrid::visibleTailStartsOnACharacter_data() {
  QTest::addColumn<QByteArray>("bytes");
  QTest::newRow("two-byte letters") << QString(20000, u'ф').toUtf8();
  QTest::newRow("three-byte signs") << QString(20000, u'€').toUtf8();
  QTest::newRow("letters and digits") << QString(7000, u'ё').append(QStringLiteral("12345")).toUtf8();
}

void TestGrid::visibleTailStartsOnACharacter() {
  QFETCH(QByteArray, bytes);
  const std::string text = bytes.toStdString();
  for (std::size_t cut = 0; cut < 4; ++cut) {
    const std::string shifted = text.substr(cut);
    const QString tail = GridCellText::VisibleTail(shifted, grid_->fontMetrics(), 110);
    QVERIFY(!tail.contains(QChar::ReplacementCharacter));
    QVERIFY(grid_->fontMetrics().horizontalAdvance(tail) > 110);
    QVERIFY(QString::fromUtf8(shifted).endsWith(tail));
    QVERIFY(tail.size() < 2000);
  }
}

void TestGrid::decodesToTellsTextsApartWithoutDecoding_data() {
  QTest::addColumn<QByteArray>("bytes");
  QTest::addColumn<QString>("text");
  QTest::addColumn<bool>("same");
  QTest::newRow("equal") << QByteArray("100") << "100" << true;
  // a line that is not UTF-8 is Windows-1251 text, as Russian Windows writes it
  QTest::newRow("Windows-1251 letter") << QByteArray(
                                              "\xB2"
                                              "12")
                                       << "\u040612" << true;
  QTest::newRow("Windows-1251 word") << QByteArray("\xCF\xF0\xEE\xEB\xB8\xF2 1") << "Пролёт 1" << true;
  QTest::newRow("UTF-8 word") << QString("Пролёт 1").toUtf8() << "Пролёт 1" << true;
  QTest::newRow("byte order mark, dropped") << QByteArray(
                                                   "\xEF\xBB\xBF"
                                                   "7")
                                            << "7" << true;
  QTest::newRow("three bytes a character") << QByteArray("\xE2\x82\xAC\xE2\x82\xAC") << "€€" << true;
  QTest::newRow("four bytes, two units") << QByteArray("\xF0\x9F\x98\x80") << "\U0001F600" << true;
  QTest::newRow("longer text") << QByteArray("7") << "77" << false;
  QTest::newRow("10 MB against one character") << QByteArray(10'000'000, '7') << "7" << false;
  QTest::newRow("same length, other text") << QByteArray("128") << "125" << false;
}

void TestGrid::decodesToTellsTextsApartWithoutDecoding() {
  QFETCH(QByteArray, bytes);
  QFETCH(QString, text);
  QFETCH(bool, same);
  QCOMPARE(GridCellText::DecodesTo(bytes.toStdString(), text), same);
  QCOMPARE(GridCellText::Decode(bytes.toStdString()) == text, same);
}

// ---- accessibility -----------------------------------------------------------------

void TestGrid::exposesATableOfCells() {
  grid_->setAccessibleName(QStringLiteral("Длина пролёта, м"));
  grid_->SetCells(0, 2, "100");
  grid_->SetCells(0, 3,
                  "\xB2"
                  "5");
  QAccessibleInterface* table = QAccessible::queryAccessibleInterface(grid_);
  QVERIFY(table);
  QCOMPARE(table->role(), QAccessible::Table);
  QCOMPARE(table->text(QAccessible::Name), QStringLiteral("Длина пролёта, м"));
  QAccessibleTableInterface* rows = table->tableInterface();
  QVERIFY(rows);
  QCOMPARE(rows->rowCount(), 4000);
  QCOMPARE(rows->columnCount(), 1);
  QCOMPARE(table->childCount(), 4000);
  QVERIFY(!rows->cellAt(0, 1));
  QVERIFY(!rows->cellAt(4000, 0));

  QAccessibleInterface* cell = rows->cellAt(2, 0);
  QVERIFY(cell);
  QCOMPARE(cell->role(), QAccessible::Cell);
  QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("100"));
  QCOMPARE(rows->cellAt(3, 0)->text(QAccessible::Name), QStringLiteral("\u04065"));
  QCOMPARE(rows->cellAt(4, 0)->text(QAccessible::Name), QString());
  QCOMPARE(cell->parent(), table);
  QCOMPARE(table->child(2), cell);
  QCOMPARE(table->indexOfChild(cell), 2);
  QAccessibleTableCellInterface* place = cell->tableCellInterface();
  QVERIFY(place);
  QCOMPARE(place->rowIndex(), 2);
  QCOMPARE(place->columnIndex(), 0);
  QCOMPARE(place->table(), table);

  const QRect global(grid_->viewport()->mapToGlobal(grid_->CellRect(2).topLeft()), grid_->CellRect(2).size());
  QCOMPARE(cell->rect(), global);
  QCOMPARE(table->childAt(global.center().x(), global.center().y()), cell);
  QVERIFY(rows->cellAt(3999, 0)->state().offscreen);
  QVERIFY(!cell->state().offscreen);

  // a committed edit is what the cell then reports
  Run({"Down", "Down", "=7", "Enter"});
  QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("7"));
}

void TestGrid::exposesSelectionAndFocus() {
  Run({"Down", "Down", "Shift+Down", "Shift+Down", "Shift+Down"});
  QAccessibleInterface* table = QAccessible::queryAccessibleInterface(grid_);
  QAccessibleTableInterface* rows = table->tableInterface();
  QCOMPARE(rows->selectedRows(), (QList<int>{2, 3, 4, 5}));
  QCOMPARE(rows->selectedCellCount(), 4);
  QCOMPARE(rows->selectedColumnCount(), 0);
  QVERIFY(rows->isRowSelected(3));
  QVERIFY(!rows->isRowSelected(6));
  QVERIFY(rows->cellAt(3, 0)->state().selected);
  QVERIFY(!rows->cellAt(3, 0)->state().focused);
  QVERIFY(rows->cellAt(5, 0)->state().focused);
  QCOMPARE(table->focusChild(), rows->cellAt(5, 0));
  Do(QStringLiteral("Tab"));
  QVERIFY(!rows->cellAt(5, 0)->state().focused);
  QVERIFY(!table->focusChild());
  QVERIFY(rows->cellAt(5, 0)->state().selected);
}

QTEST_MAIN(TestGrid)
#include "tst_tstringaligngrid.moc"
