// Speed of the spans grid with a full column. Each benchmark runs under
// QBENCHMARK and is then timed again, interleaved with a baseline that does
// the same job without the grid (or paints an empty viewport), so the figures
// read as ratios that do not depend on the machine; each is also shown as a
// share of a 16 ms frame.

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QScrollBar>
#include <QSet>
#include <QTest>
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "core/Core.h"
#include "ui/TStringAlignGrid.h"

namespace {
constexpr double FrameNs = 16e6;
constexpr int Runs = 31;
const char* const SpanText = "123.45";

using Job = std::function<void()>;

// Median nanoseconds of `job` and of `baseline`, timed alternately so that
// both see the same state of the machine.
std::pair<double, double> MedianNs(const Job& job, const Job& baseline) {
  std::vector<qint64> jobTimes, baselineTimes;
  job();
  baseline();
  for (int run = 0; run < Runs; ++run) {
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
  return {double(jobTimes[Runs / 2]), double(baselineTimes[Runs / 2])};
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

 private:
  void Report(const QString& name, const Job& job, const QString& baselineName, const Job& baseline);
  void FillColumn();
  void SelectAllRows();
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

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
  for (int row = 0; row < korvastel::SpanColumn::RowCount; ++row) hugeColumn_->SetText(row, SpanText);
  hugeColumn_->SetText(3, std::string(10'000'000, '7') + "0.5");
  grid_->setFocus();
}

void GridBench::cleanupTestCase() {
  qInfo().noquote() << "\nSpans grid, median of" << Runs << "runs each:";
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
                  .arg(100 * jobNs / FrameNs, 0, 'f', 1);
}

void GridBench::FillColumn() {
  for (int row = 0; row < korvastel::SpanColumn::RowCount; ++row) column_->SetText(row, SpanText);
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

QTEST_MAIN(GridBench)
#include "TStringAlignGridBench.moc"
