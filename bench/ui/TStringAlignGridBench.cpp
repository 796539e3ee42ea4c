// Speed of the spans grid with a full column. Each benchmark runs under
// QBENCHMARK and is then timed again, interleaved with a baseline that does
// the same job without the grid (or paints an empty viewport), so the figures
// read as ratios that do not depend on the machine; each is also shown as a
// share of a 16 ms frame. The in-place editor on long cells, whose runs take
// seconds, is timed only in those interleaved runs, against an ordinary cell,
// with the growth of the peak resident memory while the editor opens.

#include <malloc.h>

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QScrollBar>
#include <QSet>
#include <QTest>
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "core/Core.h"
#include "ui/grid/TStringAlignGrid.h"

namespace {
constexpr double kFrameNs = 16e6;
constexpr int kRuns = 31;
const char* const kSpanText = "123.45";

using Job = std::function<void()>;

// Median nanoseconds of `job` and of `baseline`, timed alternately so that
// both see the same state of the machine.
std::pair<double, double> MedianNs(const Job& job, const Job& baseline) {
  std::vector<qint64> jobTimes, baselineTimes;
  job();
  baseline();
  for (int run = 0; run < kRuns; ++run) {
    QElapsedTimer timer;
    timer.start();
    job();
    jobTimes.push_back(timer.nsecsElapsed());
    timer.restart();
    baseline();
    baselineTimes.push_back(timer.nsecsElapsed());
  }
  std::sort(jobTimes.begin(), jobTimes.end());
  std::sort(baselineTimes.begin(), baselineTimes.end());
  return {double(jobTimes[kRuns / 2]), double(baselineTimes[kRuns / 2])};
}

// The same with an untimed setup before each run of the job and of the
// baseline, and a given number of runs (the long texts take seconds).
std::pair<double, double> MedianNs(const Job& setup, const Job& job, const Job& baselineSetup,
                                   const Job& baseline, int runs) {
  std::vector<qint64> jobTimes, baselineTimes;
  for (int run = 0; run < runs; ++run) {
    QElapsedTimer timer;
    setup();
    timer.start();
    job();
    jobTimes.push_back(timer.nsecsElapsed());
    baselineSetup();
    timer.restart();
    baseline();
    baselineTimes.push_back(timer.nsecsElapsed());
  }
  std::sort(jobTimes.begin(), jobTimes.end());
  std::sort(baselineTimes.begin(), baselineTimes.end());
  return {double(jobTimes[runs / 2]), double(baselineTimes[runs / 2])};
}

// A field of /proc/self/status, in kB.
long StatusKb(const char* field) {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith(field)) return line.mid(qstrlen(field)).trimmed().split(' ').first().toLong();
  return -1;
}

// How far the resident memory rises above its level before `job`, at its
// peak, in bytes; -1 where the system cannot tell.
double PeakGrowthBytes(const Job& setup, const Job& job) {
  setup();
  malloc_trim(0);
  QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
  if (!clearRefs.open(QIODevice::WriteOnly) || clearRefs.write("5") != 1) return -1;  // resets the peak
  clearRefs.close();
  const long before = StatusKb("VmRSS:");
  job();
  return 1024.0 * double(StatusKb("VmHWM:") - before);
}
}  // namespace

class GridBench : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void cleanupTestCase();
  void clearAllRows();
  void pasteRangeOfLines();
  void pasteHugeClipboardIntoRange();
  void moveSelectionWithRecount();
  void repaintFullViewport();
  void repaintHugeCell();
  void scrollHugeCell();
  void typeOverLongCell();
  void openEditorOnLongCell_data();
  void openEditorOnLongCell();
  void escapeAfterOpeningLongCell();

 private:
  void Report(const QString& name, const Job& job, const QString& baselineName, const Job& baseline);
  void FillColumn();
  void SelectAllRows();
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
  // The grid of long cells, its current row moved to `row`.
  void GoToLongRow(int row);
  // A key to whatever has the focus, and the viewport drawn again.
  void KeyShown(Qt::Key key, const QString& text = QString());

  std::unique_ptr<korvastel::SpanColumn> column_;
  std::unique_ptr<korvastel::SpanColumn> hugeColumn_;  // a full column with one 10 MB cell
  std::unique_ptr<QWidget> window_;
  TStringAlignGrid* grid_ = nullptr;
  TStringAlignGrid* hugeGrid_ = nullptr;
  QWidget* empty_ = nullptr;  // an empty viewport of the same size
  QStringList summary_;
  QSet<QString> reported_;
};

void GridBench::initTestCase() {
  column_ = std::make_unique<korvastel::SpanColumn>();
  hugeColumn_ = std::make_unique<korvastel::SpanColumn>();
  window_ = std::make_unique<QWidget>();
  auto* layout = new QHBoxLayout(window_.get());
  grid_ = new TStringAlignGrid(*column_, window_.get());
  grid_->setFixedSize(145, 442);
  hugeGrid_ = new TStringAlignGrid(*hugeColumn_, window_.get());
  hugeGrid_->setFixedSize(145, 442);
  empty_ = new QWidget(window_.get());
  empty_->setAutoFillBackground(true);
  empty_->setBackgroundRole(QPalette::Base);
  layout->addWidget(grid_);
  layout->addWidget(hugeGrid_);
  layout->addWidget(empty_);
  window_->show();
  QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  empty_->setFixedSize(grid_->viewport()->size());
  FillColumn();
  for (int row = 0; row < korvastel::SpanColumn::RowCount; ++row) hugeColumn_->SetText(row, kSpanText);
  hugeColumn_->SetText(3, std::string(10'000'000, '7') + "0.5");
  grid_->setFocus();
}

void GridBench::cleanupTestCase() {
  qInfo().noquote() << "\nSpans grid, median of" << kRuns << "runs each:";
  for (const QString& line : std::as_const(summary_)) qInfo().noquote() << line;
  window_.reset();
  column_.reset();
}

void GridBench::Report(const QString& name, const Job& job, const QString& baselineName,
                       const Job& baseline) {
  // QtTest calls a benchmark function again until its figure settles
  if (reported_.contains(name)) return;
  reported_.insert(name);
  const auto [jobNs, baselineNs] = MedianNs(job, baseline);
  summary_ << QStringLiteral("  %1 %2 ms = %3 x %4; %5 % of a 16 ms frame")
                  .arg(name, -40)
                  .arg(jobNs / 1e6, 7, 'f', 3)
                  .arg(jobNs / baselineNs, 6, 'f', 2)
                  .arg(baselineName)
                  .arg(100 * jobNs / kFrameNs, 0, 'f', 1);
}

void GridBench::FillColumn() {
  for (int row = 0; row < korvastel::SpanColumn::RowCount; ++row) column_->SetText(row, kSpanText);
}

void GridBench::Key(Qt::Key key, Qt::KeyboardModifiers modifiers) { QTest::keyClick(grid_, key, modifiers); }

void GridBench::SelectAllRows() {
  Key(Qt::Key_Home, Qt::ControlModifier);
  Key(Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
}

// ---- the column's commands ---------------------------------------------------------

void GridBench::clearAllRows() {
  // as the clear command does: every row emptied through the grid
  const Job clearThroughGrid = [this] {
    FillColumn();
    for (int row = 0; row < grid_->RowCount(); ++row) grid_->SetCells(0, row, std::string());
  };
  const Job clearTheStore = [this] {
    FillColumn();
    for (int row = 0; row < korvastel::SpanColumn::RowCount; ++row) column_->SetText(row, std::string());
  };
  QBENCHMARK { clearThroughGrid(); }
  Report(QStringLiteral("refill + clear 4000 rows"), clearThroughGrid,
         QStringLiteral("refill + clear the store"), clearTheStore);
  FillColumn();
}

void GridBench::pasteRangeOfLines() {
  QString lines;
  for (int line = 0; line < 4000; ++line) lines += QStringLiteral("%1.5\r\n").arg(line + 1);
  QGuiApplication::clipboard()->setText(lines);
  SelectAllRows();
  const Job paste = [this] { Key(Qt::Key_Insert, Qt::ShiftModifier); };
  // the least any paste does: read the clipboard, split it, store each line
  const Job splitAndStore = [this] {
    const QStringList split = QGuiApplication::clipboard()->text().split(QStringLiteral("\r\n"));
    for (int row = 0; row < korvastel::SpanColumn::RowCount; ++row)
      column_->SetText(row, split[row].toStdString());
  };
  QBENCHMARK { paste(); }
  Report(QStringLiteral("paste 4000 lines into 4000 rows"), paste, QStringLiteral("split + store"),
         splitAndStore);
  QCOMPARE(grid_->Cells(0, 3999), std::string("4000.5"));
  FillColumn();
}

void GridBench::pasteHugeClipboardIntoRange() {
  QString huge;
  huge.reserve(10'500'000);
  for (int line = 0; huge.size() < 10'000'000; ++line) huge += QStringLiteral("%1.25\r\n").arg(line + 1);
  QString range;
  for (int line = 0; line < 4000; ++line) range += QStringLiteral("%1.25\r\n").arg(line + 1);
  SelectAllRows();
  const Job pasteHuge = [this, &huge] {
    QGuiApplication::clipboard()->setText(huge);
    Key(Qt::Key_Insert, Qt::ShiftModifier);
  };
  const Job pasteExact = [this, &range] {
    QGuiApplication::clipboard()->setText(range);
    Key(Qt::Key_Insert, Qt::ShiftModifier);
  };
  QBENCHMARK { pasteHuge(); }
  Report(QStringLiteral("paste a 10 MB clipboard into 4000 rows"), pasteHuge,
         QStringLiteral("a 4000-line clipboard"), pasteExact);
  FillColumn();
}

// ---- moving and drawing -----------------------------------------------------------

void GridBench::moveSelectionWithRecount() {
  // the window recounts the whole column on every move
  QMetaObject::Connection recount =
      connect(grid_, &TStringAlignGrid::OnSelectCell, this, [this](int, int, bool&) {
        volatile std::int32_t count = korvastel::CountValidSpans(*column_);
        Q_UNUSED(count);
      });
  Key(Qt::Key_Home, Qt::ControlModifier);
  bool down = true;
  const Job move = [this, &down] {
    Key(down ? Qt::Key_Down : Qt::Key_Up);
    grid_->viewport()->repaint();
    down = !down;
  };
  const Job recountOnly = [this] {
    volatile std::int32_t count = korvastel::CountValidSpans(*column_);
    Q_UNUSED(count);
  };
  QBENCHMARK { move(); }
  Report(QStringLiteral("move one row, recount, repaint"), move, QStringLiteral("the recount alone"),
         recountOnly);
  disconnect(recount);
}

void GridBench::repaintFullViewport() {
  SelectAllRows();  // every visible cell selected, one focused
  Key(Qt::Key_Home, Qt::ControlModifier | Qt::ShiftModifier);
  const Job repaintGrid = [this] { grid_->viewport()->repaint(); };
  const Job repaintEmpty = [this] { empty_->repaint(); };
  QBENCHMARK { repaintGrid(); }
  Report(QStringLiteral("repaint a full viewport"), repaintGrid, QStringLiteral("an empty viewport"),
         repaintEmpty);
}

void GridBench::repaintHugeCell() {
  const Job repaintHuge = [this] { hugeGrid_->viewport()->repaint(); };
  const Job repaintOrdinary = [this] { grid_->viewport()->repaint(); };
  QBENCHMARK { repaintHuge(); }
  Report(QStringLiteral("repaint with a 10 MB cell in view"), repaintHuge, QStringLiteral("ordinary cells"),
         repaintOrdinary);
}

// One row down and back, each followed by the repaint it causes.
static void ScrollDownAndBack(TStringAlignGrid* grid) {
  QScrollBar* bar = grid->verticalScrollBar();
  bar->setValue(bar->value() + 1);
  grid->viewport()->repaint();
  bar->setValue(bar->value() - 1);
  grid->viewport()->repaint();
}

void GridBench::scrollHugeCell() {
  const Job scrollHuge = [this] { ScrollDownAndBack(hugeGrid_); };
  const Job scrollOrdinary = [this] { ScrollDownAndBack(grid_); };
  QBENCHMARK { scrollHuge(); }
  Report(QStringLiteral("scroll a 10 MB cell a row and back"), scrollHuge, QStringLiteral("ordinary cells"),
         scrollOrdinary);
}

// ---- the in-place editor on long cells ----------------------------------------------

// Rows of the grid of long cells: row 3 holds 10 MB, row 5 the text of the
// size measured, row 4 an ordinary span.
constexpr int kTenMegabyteRow = 3;
constexpr int kOrdinaryRow = 4;
constexpr int kMeasuredRow = 5;

void GridBench::GoToLongRow(int row) {
  if (hugeGrid_->EditorMode()) KeyShown(Qt::Key_Escape);
  hugeGrid_->setFocus();
  QTest::keyClick(hugeGrid_, Qt::Key_Home, Qt::ControlModifier);
  for (int i = 0; i < row; ++i) QTest::keyClick(hugeGrid_, Qt::Key_Down);
}

void GridBench::KeyShown(Qt::Key key, const QString& text) {
  auto* editor = hugeGrid_->findChild<QLineEdit*>();
  QWidget* target = editor->isVisible() ? static_cast<QWidget*>(editor) : hugeGrid_;
  QTest::sendKeyEvent(QTest::Click, target, key, text, Qt::NoModifier);
  hugeGrid_->viewport()->repaint();  // the editor with it
}

void GridBench::typeOverLongCell() {
  const std::string tenMegabytes = hugeColumn_->Text(kTenMegabyteRow);
  const Job onLong = [this, &tenMegabytes] {
    hugeGrid_->SetCells(0, kTenMegabyteRow, tenMegabytes);
    GoToLongRow(kTenMegabyteRow);
  };
  const Job onOrdinary = [this] {
    hugeGrid_->SetCells(0, kOrdinaryRow, kSpanText);
    GoToLongRow(kOrdinaryRow);
  };
  const Job typeAndEnter = [this] {
    KeyShown(Qt::Key_5, QStringLiteral("5"));
    KeyShown(Qt::Key_Return);
  };
  const auto [longNs, ordinaryNs] = MedianNs(onLong, typeAndEnter, onOrdinary, typeAndEnter, kRuns);
  QCOMPARE(hugeGrid_->Cells(0, kOrdinaryRow), std::string("5"));
  QCOMPARE(hugeGrid_->Cells(0, kTenMegabyteRow), std::string("5"));
  summary_ << QStringLiteral("  %1 %2 ms = %3 x typing over an ordinary cell")
                  .arg(QStringLiteral("type a key over a 10 MB cell, Enter, drawn"), -48)
                  .arg(longNs / 1e6, 8, 'f', 3)
                  .arg(longNs / ordinaryNs, 6, 'f', 2);
  hugeGrid_->SetCells(0, kTenMegabyteRow, tenMegabytes);
}

void GridBench::openEditorOnLongCell_data() {
  QTest::addColumn<int>("bytes");
  QTest::addColumn<int>("runs");
  QTest::addColumn<int>("key");
  for (const int key : {int(Qt::Key_Return), int(Qt::Key_F2)}) {
    const char* name = key == Qt::Key_F2 ? "F2" : "Enter";
    QTest::addRow("%s, 100 kB", name) << 100'000 << 11 << key;
    QTest::addRow("%s, 1 MB", name) << 1'000'000 << 3 << key;
    QTest::addRow("%s, 10 MB", name) << 10'000'000 << 1 << key;
  }
}

void GridBench::openEditorOnLongCell() {
  QFETCH(int, bytes);
  QFETCH(int, runs);
  QFETCH(int, key);
  hugeGrid_->SetCells(0, kMeasuredRow, std::string(std::size_t(bytes), '7'));
  const Job onLong = [this] { GoToLongRow(kMeasuredRow); };
  const Job onOrdinary = [this] { GoToLongRow(kOrdinaryRow); };
  const Job open = [this, key] { KeyShown(Qt::Key(key)); };
  const auto [longNs, ordinaryNs] = MedianNs(onLong, open, onOrdinary, open, runs);
  const double peak = PeakGrowthBytes(onLong, open);
  QVERIFY(hugeGrid_->EditorMode());
  QCOMPARE(hugeGrid_->Row(), kMeasuredRow);
  summary_
      << QStringLiteral(
             "  %1 %2 ms = %3 x an ordinary cell; %4 % of a 16 ms frame; peak memory +%5 MB = %6 x the text")
             .arg(QString::fromLatin1(QTest::currentDataTag()).prepend(QStringLiteral("open the editor: ")),
                  -48)
             .arg(longNs / 1e6, 8, 'f', 3)
             .arg(longNs / ordinaryNs, 8, 'f', 1)
             .arg(100 * longNs / kFrameNs, 0, 'f', 1)
             .arg(peak / 1e6, 0, 'f', 1)
             .arg(peak / bytes, 0, 'f', 1);
  GoToLongRow(kOrdinaryRow);
  hugeGrid_->SetCells(0, kMeasuredRow, std::string());
}

void GridBench::escapeAfterOpeningLongCell() {
  // Enter loads the text; Escape with nothing typed must not load it again
  hugeGrid_->SetCells(0, kTenMegabyteRow, std::string(10'000'000, '7'));
  const Job openLong = [this] {
    GoToLongRow(kTenMegabyteRow);
    KeyShown(Qt::Key_Return);
  };
  const Job openOrdinary = [this] {
    GoToLongRow(kOrdinaryRow);
    KeyShown(Qt::Key_Return);
  };
  const Job escape = [this] { KeyShown(Qt::Key_Escape); };
  const auto [longNs, ordinaryNs] = MedianNs(openLong, escape, openOrdinary, escape, 3);
  QVERIFY(!hugeGrid_->EditorMode());
  QCOMPARE(hugeGrid_->Cells(0, kTenMegabyteRow).size(), std::size_t(10'000'000));
  summary_ << QStringLiteral("  %1 %2 ms = %3 x an ordinary cell")
                  .arg(QStringLiteral("Escape after Enter on a 10 MB cell, drawn"), -48)
                  .arg(longNs / 1e6, 8, 'f', 3)
                  .arg(longNs / ordinaryNs, 6, 'f', 2);
}

QTEST_MAIN(GridBench)
#include "TStringAlignGridBench.moc"
