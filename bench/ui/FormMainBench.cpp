// The main window's two heavy commands with a full column: opening a
// 4000-line span file and calculating over 4000 rows. Each should fit in one
// 16 ms frame; the figures are printed as a share of that frame and against a
// full repaint of the window measured in the same run.
#include <QAction>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "app/TApplication.h"
#include "ui/TSpanFileDialog.h"
#include "ui/UFormMain.h"
#include "ui/grid/TStringAlignGrid.h"

namespace {

// The median of several timed runs, in milliseconds.
double MedianMilliseconds(const std::function<void()>& work, int runs = 31) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    QElapsedTimer timer;
    timer.start();
    work();
    times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
  }
  std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
  return times[runs / 2];
}

}  // namespace

class FormMainBench : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void openSpanFileOf4000Lines();
  void calculateOver4000Rows();
  void printRatios();

 private:
  TFormMain* form() const { return static_cast<TApplication*>(qApp)->FormMain(); }
  QAction* action(const char* name) const { return form()->findChild<QAction*>(QLatin1String(name)); }
  void fillColumn();

  QTemporaryDir dir_;
  QString path_;
};

void FormMainBench::initTestCase() {
  QVERIFY(dir_.isValid());
  path_ = dir_.filePath("spans4000.txt");
  QFile file(path_);
  QVERIFY(file.open(QIODevice::WriteOnly));
  for (int i = 0; i < 4000; ++i) file.write(QByteArray::number(100 + i % 300) + ".25\r\n");
  file.close();
  TSpanFileDialog::SetAsker(
      [this](const TSpanFileDialog::Request&) { return std::optional<QString>(path_); });
  static_cast<TApplication*>(qApp)->CreateForms();
  form()->show();
  QVERIFY(QTest::qWaitForWindowExposed(form()));
}

void FormMainBench::fillColumn() {
  auto* grid = form()->findChild<TStringAlignGrid*>("Grid");
  for (int row = 0; row < grid->RowCount(); ++row)
    grid->SetCells(0, row, std::to_string(100 + row % 300) + ".25");
}

void FormMainBench::openSpanFileOf4000Lines() {
  QAction* open = action("ActProjectOpen");
  QBENCHMARK { open->trigger(); }
}

void FormMainBench::calculateOver4000Rows() {
  fillColumn();
  QAction* calc = action("ActCalc");
  QBENCHMARK { calc->trigger(); }
}

void FormMainBench::printRatios() {
  fillColumn();
  const double frame = 16.0;
  const double repaint = MedianMilliseconds([this] { form()->grab(); });
  const double open = MedianMilliseconds([this] {
    action("ActProjectOpen")->trigger();
    QCoreApplication::processEvents();  // and the repaint it asks for
  });
  const double calc = MedianMilliseconds([this] {
    action("ActCalc")->trigger();
    QCoreApplication::processEvents();
  });
  std::printf("\nMedians of 31 runs, against a 16 ms frame and a full repaint of the window (%.3f ms):\n",
              repaint);
  std::printf("  open a 4000-line file   %8.3f ms = %6.1f%% of a frame = %6.2fx a repaint\n", open,
              100 * open / frame, open / repaint);
  std::printf("  calculate 4000 rows     %8.3f ms = %6.1f%% of a frame = %6.2fx a repaint\n", calc,
              100 * calc / frame, calc / repaint);
}

int main(int argc, char** argv) {
  TApplication application(argc, argv);
  FormMainBench bench;
  return QTest::qExec(&bench, argc, argv);
}

#include "FormMainBench.moc"
