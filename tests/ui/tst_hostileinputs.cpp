// Hostile input through the whole main window, as a user meets it: binary
// files, NUL bytes and broken UTF-8, a 10 MB line, 100 MB of lines, a 10 MB
// clipboard, texts that look like formats or run to thousands of digits, a
// full disk, a folder, a device, a file that vanishes, and files that make
// the window wait. Each leaves the rows and the results as the program
// defines them, loses nothing, and leaves the program working.
#include <QClipboard>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "FormMainHarness.h"
#include "PosixFileFaults.h"
#include "WindowsFileFaults.h"
#include "core/Core.h"

namespace {

std::string Bytes(const QByteArray& bytes) { return std::string(bytes.constData(), bytes.size()); }

bool IsSpan(const QByteArray& text) {
  try {
    korvastel::ParseSpan(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
    return true;
  } catch (const korvastel::EConvertError&) {
    return false;
  }
}

// The texts a span file's bytes give by the file's rules, worked out here on
// their own: the data ends at the first 0x1A, lines end at LF, every CR is
// dropped, a last line without an end is a line, and only the first 4000
// lines reach the grid.
QList<QByteArray> LinesOf(QByteArray bytes) {
  const qsizetype endOfData = bytes.indexOf('\x1A');
  if (endOfData >= 0) bytes.truncate(endOfData);
  QList<QByteArray> lines = bytes.split('\n');
  if (lines.last().isEmpty()) lines.removeLast();
  for (QByteArray& line : lines) line.replace("\r", "");
  return lines.mid(0, korvastel::SpanColumn::RowCount);
}

// A file of `head` followed by `fillerCount` copies of `fillerLine`, written
// a megabyte at a time.
void WriteLines(const QString& path, const QByteArray& head, const QByteArray& fillerLine,
                qint64 fillerCount) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QVERIFY(file.write(head) == head.size());
  const qint64 linesPerChunk = (1 << 20) / fillerLine.size();
  const QByteArray chunk = fillerLine.repeated(linesPerChunk);
  for (qint64 left = fillerCount; left > 0; left -= linesPerChunk) {
    const qint64 bytes = std::min(left, linesPerChunk) * fillerLine.size();
    QVERIFY(file.write(chunk.constData(), bytes) == bytes);
  }
}

constexpr char kMeasureOpenOption[] = "--peak-memory-of-open";

// What a fresh program's window showed after opening a file, and by how much
// the open raised the program's peak memory.
struct PeakOfOpen {
  QString count;
  qint64 growthKb = -1;
};

PeakOfOpen MeasureOpenInFreshProgram(const QString& path) {
  QProcess program;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  program.setProcessEnvironment(environment);
  program.start(QCoreApplication::applicationFilePath(), {QLatin1String(kMeasureOpenOption), path});
  if (!program.waitForFinished(60'000) || program.exitCode() != 0) return {};
  const QList<QByteArray> figures = program.readAllStandardOutput().trimmed().split(' ');
  return {QString::fromLatin1(figures.value(0)), figures.value(1).toLongLong()};
}

// The program side of MeasureOpenInFreshProgram(): the real window's open
// command reads `path`; prints the count it shows and the growth of the
// peak resident size over the size before the open, in kB.
int MeasureOpen(int argc, char** argv) {
  TApplication application(argc, argv);
  application.CreateForms();
  TFormMain* form = application.FormMain();
  form->show();
  QCoreApplication::processEvents();
  const QString path = QFile::decodeName(argv[2]);
  TSpanFileDialog::SetAsker([&](const TSpanFileDialog::Request&) -> std::optional<QString> { return path; });
  SetErrorBoxPresenter([](const QString&, const QString& text) { qFatal("%s", qPrintable(text)); });
  const PeakMemoryGrowth growth;
  form->findChild<QAction*>("ActProjectOpen")->trigger();
  const qint64 growthKb = growth.Kb();
  std::printf("%s %lld\n", qPrintable(form->findChild<QLabel*>("LabelCnt")->text()), growthKb);
  return 0;
}

int OverrideCursorShape() {
  const QCursor* cursor = QGuiApplication::overrideCursor();
  return cursor ? int(cursor->shape()) : -1;
}

// Why a measure is skipped where /proc describes an emulator, not the program.
constexpr char kProcShowsTheEmulator[] =
    "under an emulator /proc shows the emulator's process: its memory and its own system calls";

// What the file layer reports for each hazard, by the system's own numbers.
#if defined(Q_OS_WIN)
// a folder is refused to every file call; a device or a pipe is no file on a disk
constexpr char kFullDiskBox[] = "I/O error 112.";  // ERROR_DISK_FULL
constexpr char kFolderBox[] = "File access denied.";
constexpr char kPipeBox[] = "I/O error 123.";  // ERROR_INVALID_NAME
constexpr char kEndlessDevice[] = "CON";       // waits for the user's keys for ever
constexpr char kDeviceBox[] = "I/O error 123.";
#else
constexpr char kFullDiskBox[] = "I/O error 28.";  // ENOSPC
constexpr char kFolderBox[] = "I/O error 21.";    // EISDIR
constexpr char kPipeBox[] = "I/O error 6.";       // ENXIO
constexpr char kEndlessDevice[] = "/dev/zero";
constexpr char kDeviceBox[] = "I/O error 19.";  // ENODEV
#endif

QByteArray SpanFileOf(const QList<QByteArray>& texts) {
  QByteArray content;
  for (const QByteArray& text : texts)
    if (IsSpan(text)) content += text + "\r\n";
  return content;
}

}  // namespace

class TestHostileInputs : public QObject, private FormMainHarness {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();
  void cleanup();
  void cleanupTestCase();

  void randomBytesFillTheRowsLineByLine_data();
  void randomBytesFillTheRowsLineByLine();
  void nulBytesAndBrokenUtf8KeepTheirBytes();
  void aLongCellSurvivesAnEditOpenedAndClosed();
  void aTenMegabyteLineIsShownScrolledAndSkipped_data();
  void aTenMegabyteLineIsShownScrolledAndSkipped();
  void aHundredMegabytesOfLinesFillTheGridInFlatMemory();
  void aTenMegabyteClipboardFillsTheSelectedRows();
  void hostileTextsTypedAndCalculated_data();
  void hostileTextsTypedAndCalculated();

  void failedSavesReportAndKeepEverything_data();
  void failedSavesReportAndKeepEverything();
  void failedOpensReportAndChangeNoRow_data();
  void failedOpensReportAndChangeNoRow();

  void theBusyCursorCoversAFileThatMakesTheWindowWait_data();
  void theBusyCursorCoversAFileThatMakesTheWindowWait();
  void aCommandAskedForDuringAnotherRunsAfterIt();

 private:
  void openFromToolbar(const QString& path);
  void saveFromToolbar(const QString& path);
  void fillRows(const QString& text);
  void recountByMoving();
  void scrollThroughTheGrid();
  int inkInRow(int row) const;
  void expectTheProgramGoesOn();

  QTemporaryDir dir_;
};

// ---- helpers ---------------------------------------------------------------

void TestHostileInputs::openFromToolbar(const QString& path) {
  answerDialogsWith(path);
  triggerFromToolbar(action("ActProjectOpen"));
}

void TestHostileInputs::saveFromToolbar(const QString& path) {
  answerDialogsWith(path);
  triggerFromToolbar(action("ActProjectSave"));
}

void TestHostileInputs::fillRows(const QString& text) {
  for (int row = 0; row < grid()->RowCount(); ++row) grid()->SetCells(0, row, text.toStdString());
}

// A move in the grid and back: the count is refreshed the user's way.
void TestHostileInputs::recountByMoving() {
  grid()->setFocus();
  QTest::keyClick(grid(), Qt::Key_Down);
  QTest::keyClick(grid(), Qt::Key_Up);
}

// Draws the grid at each stop of a trip through all its rows by the keys,
// the page keys and the wheel.
void TestHostileInputs::scrollThroughTheGrid() {
  grid()->setFocus();
  QTest::keyClick(grid(), Qt::Key_Home, Qt::ControlModifier);
  QVERIFY(!grid()->grab().isNull());
  QTest::keyClick(grid(), Qt::Key_PageDown);
  QVERIFY(grid()->TopRow() > 0);
  QVERIFY(!grid()->grab().isNull());
  QTest::keyClick(grid(), Qt::Key_End, Qt::ControlModifier);
  QCOMPARE(grid()->Row(), 3999);
  QCOMPARE(grid()->TopRow(), grid()->RowCount() - grid()->VisibleRowCount());
  QVERIFY(!grid()->grab().isNull());
  const QPoint inside = grid()->CellRect(grid()->TopRow()).center();
  QWheelEvent wheel(inside, grid()->viewport()->mapToGlobal(inside), {}, {0, 3 * 120}, Qt::NoButton, {},
                    Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(grid()->viewport(), &wheel);
  QCOMPARE(grid()->Row(), 3996);
  QTest::keyClick(grid(), Qt::Key_Home, Qt::ControlModifier);
  QCOMPARE(grid()->TopRow(), 0);
  QVERIFY(!grid()->grab().isNull());
}

// How many dark pixels the grid draws in a row's cell.
int TestHostileInputs::inkInRow(int row) const {
  const QImage image = grid()->viewport()->grab().toImage();
  const QRect cell = grid()->CellRect(row);
  int ink = 0;
  for (int y = cell.top(); y <= cell.bottom(); ++y)
    for (int x = cell.left(); x <= cell.right(); ++x) ink += qGray(image.pixel(x, y)) < 96 ? 1 : 0;
  return ink;
}

// The program goes on: a clear, a span typed into the grid and a calculation
// all work, and no box appears.
void TestHostileInputs::expectTheProgramGoesOn() {
  const qsizetype boxesBefore = boxes_.size();
  triggerFromToolbar(action("ActProjectCreate"));
  grid()->setFocus();
  QTest::keyClick(grid(), Qt::Key_Home, Qt::ControlModifier);
  typeKeys("10");
  QTest::mouseClick(butCalc(), Qt::LeftButton);
  QCOMPARE(results(), QStringList({"10.00", "10.00", "1"}));
  QCOMPARE(boxes_.size(), boxesBefore);
  QVERIFY(QApplication::overrideCursor() == nullptr);
}

// ---- fixture ---------------------------------------------------------------

void TestHostileInputs::initTestCase() {
  QVERIFY(dir_.isValid());
  startRecordingBoxes();
}

void TestHostileInputs::init() { buildWindow(); }

void TestHostileInputs::cleanup() {
  restoreDialogs();
  QCOMPARE(korvastel::DecimalSeparator(), '.');
}

void TestHostileInputs::cleanupTestCase() { stopRecordingBoxes(); }

// ---- files that are no span files -------------------------------------------

void TestHostileInputs::randomBytesFillTheRowsLineByLine_data() {
  QTest::addColumn<quint32>("seed");
  QTest::addColumn<QByteArray>("alphabet");  // empty: every byte
  QTest::addColumn<bool>("ctrlZ");
  QTest::newRow("every byte: the first Ctrl-Z ends the data") << 1u << QByteArray() << true;
  QTest::newRow("every byte but Ctrl-Z") << 2u << QByteArray() << false;
  QTest::newRow("digits, signs, blanks, NUL and line ends")
      << 3u << QByteArray("0123456789.+-eE \r\n\n\n\xff").append('\0') << false;
}

void TestHostileInputs::randomBytesFillTheRowsLineByLine() {
  QFETCH(quint32, seed);
  QFETCH(QByteArray, alphabet);
  QFETCH(bool, ctrlZ);
  QRandomGenerator random(seed);
  QByteArray bytes(64 * 1024, '\0');
  for (char& byte : bytes) {
    byte = alphabet.isEmpty() ? char(random.bounded(256)) : alphabet[random.bounded(int(alphabet.size()))];
    if (!ctrlZ && byte == '\x1A') byte = '\x1B';
  }
  const QString path = dir_.filePath(QStringLiteral("random-%1.bin").arg(seed));
  WriteBytes(path, bytes);
  fillRows(QStringLiteral("7"));
  editResult()->setText("kept");

  openFromToolbar(path);

  QVERIFY2(boxes_.isEmpty(), qPrintable(boxes_.value(0).text));
  const QList<QByteArray> lines = LinesOf(bytes);
  QVERIFY(!lines.isEmpty());
  QList<QByteArray> rows = lines;
  while (rows.size() < grid()->RowCount()) rows.append("7");
  for (int row = 0; row < grid()->RowCount(); ++row)
    if (grid()->Cells(0, row) != Bytes(rows[row]))
      QFAIL(qPrintable(QStringLiteral("row %1 differs").arg(row)));
  QCOMPARE(labelCnt()->text(), QString::number(std::count_if(rows.begin(), rows.end(), IsSpan)));
  QCOMPARE(editResult()->text(), QStringLiteral("kept"));
  scrollThroughTheGrid();

  // the valid rows go back out byte for byte
  const QString saved = dir_.filePath(QStringLiteral("random-%1.txt").arg(seed));
  saveFromToolbar(saved);
  QVERIFY(boxes_.isEmpty());
  QCOMPARE(ReadBytes(saved), SpanFileOf(rows));
  expectTheProgramGoesOn();
}

void TestHostileInputs::nulBytesAndBrokenUtf8KeepTheirBytes() {
  // a NUL ends a span's text: what follows it is no part of the number
  const QList<QByteArray> lines = {
      QByteArray("12.5\0junk", 9),                         // a span
      "\xff\xfe\xfd",                                      // broken UTF-8
      " 40 ",                                              // a span
      "3\xc3\x28",                                         // a span spoilt by a broken sequence
      QByteArray("8\0\xff\xfe", 4),                        // a span, broken UTF-8 after its NUL
      QByteArray("\0", 1),                                 // empty up to its NUL
      "\xd0\xbf\xd1\x80\xd0\xbe\xd0\xbb\xd1\x91\xd1\x82",  // a word in Cyrillic
      "7.25",                                              // a span
  };
  const QString path = dir_.filePath("nul-and-utf8.txt");
  WriteBytes(path, lines.join("\r\n") + "\r\n");

  openFromToolbar(path);

  QVERIFY(boxes_.isEmpty());
  for (int row = 0; row < lines.size(); ++row) QCOMPARE(grid()->Cells(0, row), Bytes(lines[row]));
  QCOMPARE(labelCnt()->text(), QStringLiteral("4"));

  // editors opened and closed without a change leave every byte alone
  grid()->setFocus();
  QTest::keyClick(grid(), Qt::Key_Home, Qt::ControlModifier);
  for (int row = 0; row < lines.size(); ++row) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);  // opens
    QVERIFY(grid()->EditorMode());
    QTest::keyClick(QApplication::focusWidget(), row % 2 ? Qt::Key_Return : Qt::Key_Escape);  // commits
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F2);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);  // commits by moving
  }
  for (int row = 0; row < lines.size(); ++row) QCOMPARE(grid()->Cells(0, row), Bytes(lines[row]));

  QTest::mouseClick(butCalc(), Qt::LeftButton);
  QCOMPARE(results(), QStringList({"31.41", "67.75", "4"}));  // 12.5, 40, 8 and 7.25

  const QString saved = dir_.filePath("nul-and-utf8-saved.txt");
  saveFromToolbar(saved);
  QVERIFY(boxes_.isEmpty());
  static const char expected[] = "12.5\0junk\r\n 40 \r\n8\0\xff\xfe\r\n7.25\r\n";
  QCOMPARE(ReadBytes(saved), QByteArray(expected, sizeof expected - 1));
  expectTheProgramGoesOn();
}

void TestHostileInputs::aLongCellSurvivesAnEditOpenedAndClosed() {
  // longer than a line edit takes by default (32767 characters)
  const QByteArray line = QByteArray("1234567890").repeated(10'000);
  const QString path = dir_.filePath("long-line.txt");
  WriteBytes(path, line + "\r\n");
  openFromToolbar(path);
  grid()->setFocus();
  QTest::keyClick(grid(), Qt::Key_F2);
  QVERIFY(grid()->EditorMode());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  QCOMPARE(grid()->Cells(0, 0).size(), std::size_t(line.size()));
  // and an edit at its end keeps all the rest
  QTest::keyClick(grid(), Qt::Key_F2);
  typeKeys("5");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
  QCOMPARE(grid()->Cells(0, 0), Bytes(line + "5"));
}

void TestHostileInputs::aTenMegabyteLineIsShownScrolledAndSkipped_data() {
  QTest::addColumn<QByteArray>("otherLines");
  QTest::addColumn<QStringList>("shown");
  QTest::addColumn<QString>("box");
  QTest::newRow("with 100, 200 and 300 below it")
      << QByteArray("100\r\n200\r\n300\r\n") << QStringList{"244.95", "600.00", "3"} << QString();
  QTest::newRow("alone") << QByteArray() << QStringList{"kept", "kept too", "0"}
                         << QStringLiteral("Invalid floating point operation.");
}

void TestHostileInputs::aTenMegabyteLineIsShownScrolledAndSkipped() {
  QFETCH(QByteArray, otherLines);
  QFETCH(QStringList, shown);
  QFETCH(QString, box);
  // ten million digits: far too many for any number
  const QByteArray line = QByteArray("1234567890").repeated(1'000'000);
  const QString path = dir_.filePath("ten-megabyte-line.txt");
  WriteBytes(path, line + "\r\n" + otherLines);
  editResult()->setText("kept");
  editSum()->setText("kept too");

  openFromToolbar(path);

  QVERIFY(boxes_.isEmpty());
  QCOMPARE(grid()->Cells(0, 0).size(), std::size_t(line.size()));
  QVERIFY(grid()->Cells(0, 0) == Bytes(line));
  QCOMPARE(labelCnt()->text(), shown[2]);
  // drawn: the cell shows the end of its text, as the empty cell below shows nothing
  QVERIFY(inkInRow(0) > 20);
  QCOMPARE(inkInRow(otherLines.isEmpty() ? 1 : 5), 0);
  scrollThroughTheGrid();

  QTest::mouseClick(butCalc(), Qt::LeftButton);
  QCOMPARE(results(), shown);
  QCOMPARE(boxes_.size(), box.isEmpty() ? 0 : 1);
  if (!box.isEmpty()) {
    QCOMPARE(boxes_[0].caption, QStringLiteral("Korvastel"));
    QCOMPARE(boxes_[0].text, box);
  }
  QVERIFY(grid()->Cells(0, 0) == Bytes(line));
  expectTheProgramGoesOn();
}

void TestHostileInputs::aHundredMegabytesOfLinesFillTheGridInFlatMemory() {
  QTemporaryDir scratch;
  QVERIFY(scratch.isValid());
  // 10 bytes a line: a million lines make 10 MB, ten million 100 MB
  QByteArray head;
  for (int i = 1; i <= 4000; ++i) head += QByteArray::number(i).rightJustified(8, '0') + "\r\n";
  const QString tenMegabytes = scratch.filePath("ten-megabytes.txt");
  const QString hundredMegabytes = scratch.filePath("hundred-megabytes.txt");
  WriteLines(tenMegabytes, {}, "00000002\r\n", 1'000'000);
  WriteLines(hundredMegabytes, head, "99999999\r\n", 10'000'000 - 4000);
  QCOMPARE(QFileInfo(hundredMegabytes).size(), qint64(100'000'000));

  openFromToolbar(tenMegabytes);
  QCOMPARE(labelCnt()->text(), QStringLiteral("4000"));
  QCOMPARE(grid()->Cells(0, 3999), std::string("00000002"));
  openFromToolbar(hundredMegabytes);

  QVERIFY(boxes_.isEmpty());
  for (int row = 0; row < grid()->RowCount(); ++row)
    if (grid()->Cells(0, row) != head.mid(10 * row, 8).toStdString())
      QFAIL(qPrintable(QStringLiteral("row %1 differs").arg(row)));
  QCOMPARE(labelCnt()->text(), QStringLiteral("4000"));
  // rows 1 to 4000, nothing of the lines after them
  QTest::mouseClick(butCalc(), Qt::LeftButton);
  QCOMPARE(results(), QStringList({"2828.78", "8002000.00", "4000"}));
  expectTheProgramGoesOn();

  // memory, each measured in a fresh program of its own: here, earlier tests
  // have left freed memory behind that an open would reuse unseen
  if (ProcDescribesAnEmulator()) QSKIP(kProcShowsTheEmulator);
  const PeakOfOpen tenMegabytesPeak = MeasureOpenInFreshProgram(tenMegabytes);
  const PeakOfOpen hundredMegabytesPeak = MeasureOpenInFreshProgram(hundredMegabytes);
  QCOMPARE(tenMegabytesPeak.count, QStringLiteral("4000"));
  QCOMPARE(hundredMegabytesPeak.count, QStringLiteral("4000"));
  qInfo("peak memory an open adds to the window's: 10 MB file %lld kB, 100 MB file %lld kB",
        tenMegabytesPeak.growthKb, hundredMegabytesPeak.growthKb);
  // the lines past the 4000th cost nothing to keep: ten times the file costs
  // a few pages more at most, where keeping its lines would cost hundreds of megabytes
  QVERIFY(tenMegabytesPeak.growthKb >= 0 && hundredMegabytesPeak.growthKb >= 0);
  QVERIFY2(hundredMegabytesPeak.growthKb <= tenMegabytesPeak.growthKb + 4096,
           "memory grows with the lines beyond the grid");
}

void TestHostileInputs::aTenMegabyteClipboardFillsTheSelectedRows() {
  // a million lines "<n>\t<more>"; every thousandth is empty and leaves its row
  QString text;
  text.reserve(11'000'000);
  for (int line = 0; line < 1'000'000; ++line) {
    if (line % 1000 != 500) text += QString::number(line % 5000 + 1) + QStringLiteral("\tfield ignored");
    text += line % 3 ? QStringLiteral("\r\n") : QStringLiteral("\n");
  }
  QVERIFY(text.size() > 10'000'000);
  QGuiApplication::clipboard()->setText(text);
  fillRows(QStringLiteral("kept"));

  grid()->setFocus();
  QTest::keyClick(grid(), Qt::Key_Home, Qt::ControlModifier);
  QTest::keyClick(grid(), Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
  QCOMPARE(grid()->SelectionTop(), 0);
  QCOMPARE(grid()->SelectionBottom(), 3999);
  QTest::keyClick(grid(), Qt::Key_V, Qt::ControlModifier);

  double sum = 0;
  double sumOfCubes = 0;
  int count = 0;
  for (int row = 0; row < grid()->RowCount(); ++row) {
    const bool kept = row % 1000 == 500;
    const std::string expected = kept ? "kept" : std::to_string(row + 1);
    if (grid()->Cells(0, row) != expected) QFAIL(qPrintable(QStringLiteral("row %1 differs").arg(row)));
    if (kept) continue;
    sum += row + 1;
    sumOfCubes += std::pow(row + 1.0, 3);
    ++count;
  }
  QTest::mouseClick(butCalc(), Qt::LeftButton);
  QCOMPARE(results(), QStringList({QString::number(std::sqrt(sumOfCubes / sum), 'f', 2),
                                   QString::number(sum, 'f', 2), QString::number(count)}));
  QVERIFY(boxes_.isEmpty());
  QGuiApplication::clipboard()->clear();
  expectTheProgramGoesOn();
}

void TestHostileInputs::hostileTextsTypedAndCalculated_data() {
  QTest::addColumn<QStringList>("typed");
  QTest::addColumn<QStringList>("shown");  // EditResult, EditSum, LabelCnt afterwards
  QTest::addColumn<QString>("box");
  const QString zeros = QString(4999, '0');
  QTest::newRow("format directives are text")
      << QStringList{"%s%n%x", "100", "%d%p"} << QStringList{"100.00", "100.00", "1"} << QString();
  QTest::newRow("ampersands are text")
      << QStringList{"&&&", "&25", "25", "25&"} << QStringList{"25.00", "25.00", "1"} << QString();
  QTest::newRow("nothing but such texts") << QStringList{"%s%n%x", "&&&"} << QStringList{"", "", "0"}
                                          << QStringLiteral("Invalid floating point operation.");
  QTest::newRow("exponent of 5000 zeros")
      << QStringList{"1e0" + zeros, "3"} << QStringList{"2.65", "4.00", "2"} << QString();
  QTest::newRow("exponent of 5000 digits, past 500 after three")
      << QStringList{"1e" + QString(5000, '9'), "7"} << QStringList{"7.00", "7.00", "1"} << QString();
  QTest::newRow("negative exponent of 5000 digits")
      << QStringList{"5e-" + zeros + "1", "2"} << QStringList{"1.80", "2.50", "2"} << QString();
  QTest::newRow("25-digit mantissas")
      << QStringList{"100.0000000000000000000001", "0000000000000000000000200", "299.9999999999999999999999"}
      << QStringList{"244.95", "600.00", "3"} << QString();
  QTest::newRow("25-digit mantissa beyond the double range: skipped")
      << QStringList{"9999999999999999999999999e284", "10"} << QStringList{"10.00", "10.00", "1"}
      << QString();
}

void TestHostileInputs::hostileTextsTypedAndCalculated() {
  QFETCH(QStringList, typed);
  QFETCH(QStringList, shown);
  QFETCH(QString, box);
  typeIntoGrid(typed, false);
  QTest::mouseClick(butCalc(), Qt::LeftButton);

  for (int row = 0; row < typed.size(); ++row) QCOMPARE(grid()->Cells(0, row), typed[row].toStdString());
  QCOMPARE(results(), shown);
  QCOMPARE(boxes_.size(), box.isEmpty() ? 0 : 1);
  if (!box.isEmpty()) {
    QCOMPARE(boxes_[0].caption, QStringLiteral("Korvastel"));
    QCOMPARE(boxes_[0].text, box);
  }
  expectTheProgramGoesOn();
}

// ---- failed saves and opens ---------------------------------------------------

void TestHostileInputs::failedSavesReportAndKeepEverything_data() {
  QTest::addColumn<QString>("target");  // "full device" or a name in the test folder
  QTest::addColumn<QString>("box");
  QTest::newRow("a full disk") << "full device" << kFullDiskBox;
  QTest::newRow("a folder") << "folder" << kFolderBox;
  QTest::newRow("a pipe that no program reads") << "pipe" << kPipeBox;
}

void TestHostileInputs::failedSavesReportAndKeepEverything() {
  QFETCH(QString, target);
  QFETCH(QString, box);
  QTemporaryDir scratch;
  QVERIFY(scratch.isValid());
  QString path = scratch.filePath(target);
#if defined(Q_OS_WIN)
  std::optional<PipeNoProgramUses> pipe;
  if (target == "full device") {
    FailWindowsWritesPast(4);
  } else if (target == "pipe") {
    pipe.emplace();
    QVERIFY(pipe->server != INVALID_HANDLE_VALUE);
    path = pipe->path;
  } else {
    QVERIFY(QDir(scratch.path()).mkdir(target));
  }
  const auto restoreCalls = qScopeGuard(RestoreWindowsFileCalls);
#else
  if (target == "full device") {
    path = FullDevice(scratch.path());
    if (path.isEmpty()) QSKIP("no node of the full device can be made, and /dev/full is not safe to use");
  } else if (target == "pipe") {
    QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
  } else {
    QVERIFY(QDir(scratch.path()).mkdir(target));
  }
#endif
  setRows({"100", "abc", "200"});
  recountByMoving();
  QTest::mouseClick(butCalc(), Qt::LeftButton);
  const QStringList before = results();

  saveFromToolbar(path);

  QCOMPARE(boxes_.size(), 1);
  QCOMPARE(boxes_[0].caption, QStringLiteral("Korvastel"));
  QCOMPARE(boxes_[0].text, box);
  QCOMPARE(grid()->Cells(0, 0), std::string("100"));
  QCOMPARE(grid()->Cells(0, 2), std::string("200"));
  QCOMPARE(results(), before);
  QVERIFY(QApplication::overrideCursor() == nullptr);
  const QFileInfo after(path);
  QVERIFY2(target == "folder" ? after.isDir() : !after.isFile(), "the target was replaced");
#if defined(Q_OS_WIN)
  RestoreWindowsFileCalls();
#endif
  // the same spans then go to a disk that takes them
  const QString elsewhere = scratch.filePath("elsewhere.txt");
  saveFromToolbar(elsewhere);
  QCOMPARE(boxes_.size(), 1);
  QCOMPARE(ReadBytes(elsewhere), QByteArray("100\r\n200\r\n"));
  expectTheProgramGoesOn();
}

void TestHostileInputs::failedOpensReportAndChangeNoRow_data() {
  QTest::addColumn<QString>("chosen");
  QTest::addColumn<QString>("box");
  QTest::newRow("a folder") << "folder" << kFolderBox;
  QTest::newRow("a device that never ends") << kEndlessDevice << kDeviceBox;
  QTest::newRow("a file that vanishes after the dialog") << "vanishing.txt"
                                                         << "File not found.";
  QTest::newRow("a pipe that no program writes into") << "pipe" << kPipeBox;
}

void TestHostileInputs::failedOpensReportAndChangeNoRow() {
  QFETCH(QString, chosen);
  QFETCH(QString, box);
  QTemporaryDir scratch;
  QVERIFY(scratch.isValid());
  QString path = chosen.startsWith('/') ? chosen : scratch.filePath(chosen);
  if (chosen == "folder") QVERIFY(QDir(scratch.path()).mkdir(chosen));
  if (chosen == "vanishing.txt") WriteBytes(path, "1\r\n2\r\n3\r\n");
#if defined(Q_OS_WIN)
  std::optional<PipeNoProgramUses> pipe;
  if (chosen == "pipe") {
    pipe.emplace();
    QVERIFY(pipe->server != INVALID_HANDLE_VALUE);
    path = pipe->path;
  }
#else
  if (chosen == "pipe") QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
#endif
  setRows({"7", "8"});
  recountByMoving();
  QCOMPARE(labelCnt()->text(), QStringLiteral("2"));
  grid()->SetCells(0, 2, "9");  // a refresh would now show 3

  TSpanFileDialog::SetAsker([&](const TSpanFileDialog::Request&) -> std::optional<QString> {
    // the file was there when it was chosen, and is gone when it is read
    if (chosen == "vanishing.txt") QFile::remove(path);
    return path;
  });
  triggerFromToolbar(action("ActProjectOpen"));

  QCOMPARE(boxes_.size(), 1);
  QCOMPARE(boxes_[0].caption, QStringLiteral("Korvastel"));
  QCOMPARE(boxes_[0].text, box);
  QCOMPARE(grid()->Cells(0, 0), std::string("7"));
  QCOMPARE(grid()->Cells(0, 1), std::string("8"));
  QCOMPARE(grid()->Cells(0, 2), std::string("9"));
  QCOMPARE(grid()->Cells(0, 3), std::string());
  QCOMPARE(labelCnt()->text(), QStringLiteral("2"));
  QVERIFY(QApplication::overrideCursor() == nullptr);
  expectTheProgramGoesOn();
}

// ---- the busy cursor ------------------------------------------------------------

void TestHostileInputs::theBusyCursorCoversAFileThatMakesTheWindowWait_data() {
  QTest::addColumn<bool>("open");
  QTest::newRow("open: the read waits for the writer's lines") << true;
  QTest::newRow("save: the write waits for a slow reader") << false;
}

// On POSIX systems the file is a FIFO whose other end keeps the window
// waiting: a writer that has not written yet, or a reader that reads only
// once the save has filled the pipe. On Windows, whose file layer takes no
// pipe, it is a file whose opening waits, as on a slow share. The thread at
// the other end waits until the window is blocked there, and only then notes
// the cursor: nothing can change it meanwhile, as the window's thread is stuck
// in the system call.
void TestHostileInputs::theBusyCursorCoversAFileThatMakesTheWindowWait() {
  QFETCH(bool, open);
  QTemporaryDir scratch;
  QVERIFY(scratch.isValid());
  QStringList rows = {"100", "200"};
  QByteArray saved = "100\r\n200\r\n";
  std::atomic<bool> loopRan = false;
  std::atomic<int> cursorWhenTheLoopRan = -1;
  std::atomic<bool> blocked = false;
  std::atomic<bool> loopRanBeforeBlocking = false;
  std::atomic<int> cursorWhileBlocked = -1;
  QByteArray readFromTheSave;
#if defined(Q_OS_WIN)
  const QString fifo = scratch.filePath("slow.txt");
  if (open) WriteBytes(fifo, "300\r\n400\r\n");
  setRows(rows);
  SlowFileOpening slowFile;
  std::thread otherEnd([&] {
    blocked = slowFile.WaitUntilBlocked();
    cursorWhileBlocked = OverrideCursorShape();
    loopRanBeforeBlocking = loopRan.load();
    slowFile.Release();
  });
#else
  const QString fifo = scratch.filePath("fifo.txt");
  const QByteArray name = QFile::encodeName(fifo);
  QVERIFY(::mkfifo(name.constData(), 0600) == 0);
  const pid_t windowThread = CurrentThreadId();
  if (!WaitingCallOf(windowThread)) QSKIP("this system does not tell which call a thread waits in");
  if (ProcDescribesAnEmulator()) QSKIP(kProcShowsTheEmulator);
  int otherEndFile = -1;
  if (open) {
    // the writer is there before the window opens the FIFO (opened for both
    // ends, a FIFO waits for no partner on Linux)
    const int bothEnds = ::open(name.constData(), O_RDWR);
    otherEndFile = ::open(name.constData(), O_WRONLY | O_NONBLOCK);
    ::close(bothEnds);
  } else {
    // the reader is there before the window saves, and its pipe of one page
    // is overfilled by the save's lines
    otherEndFile = ::open(name.constData(), O_RDONLY | O_NONBLOCK);
    ::fcntl(otherEndFile, F_SETPIPE_SZ, 4096);
    rows = QStringList(korvastel::SpanColumn::RowCount, QStringLiteral("1234.567890123456789012"));
    saved = rows.join("\r\n").toLatin1() + "\r\n";
  }
  QVERIFY(otherEndFile >= 0);
  setRows(rows);

  auto noteTheWindowBlocked = [&](long call) {
    blocked = WaitUntilBlockedIn(windowThread, call, fifo);
    cursorWhileBlocked = OverrideCursorShape();
    loopRanBeforeBlocking = loopRan.load();
  };
  std::thread otherEnd([&] {
    if (open) {
      noteTheWindowBlocked(SYS_read);
      const char lines[] = "300\r\n400\r\n";
      [[maybe_unused]] const ssize_t written = ::write(otherEndFile, lines, sizeof lines - 1);
    } else {
      noteTheWindowBlocked(SYS_write);
      ::fcntl(otherEndFile, F_SETFL, 0);  // from now on the reader waits for the rest
      char buffer[4096];
      for (ssize_t got; (got = ::read(otherEndFile, buffer, sizeof buffer)) > 0;)
        readFromTheSave.append(buffer, got);
    }
    ::close(otherEndFile);
  });
#endif
  TSpanFileDialog::SetAsker([&](const TSpanFileDialog::Request&) -> std::optional<QString> {
    // runs at the event loop's next turn, which must come before the file is touched
    QMetaObject::invokeMethod(
        qApp,
        [&] {
          cursorWhenTheLoopRan = OverrideCursorShape();
          loopRan = true;
        },
        Qt::QueuedConnection);
    return fifo;
  });
  triggerFromToolbar(action(open ? "ActProjectOpen" : "ActProjectSave"));
  otherEnd.join();
  QCoreApplication::sendPostedEvents();  // the marker above runs now at the latest
#if defined(Q_OS_WIN)
  if (!open) readFromTheSave = ReadBytes(fifo);
#endif

  QVERIFY2(blocked, "the window never waited on the file");
  QCOMPARE(cursorWhileBlocked.load(), int(Qt::WaitCursor));
  // the event loop had a turn with the busy cursor set before the file was
  // touched: a window system that takes requests only then has it too
  QVERIFY(loopRanBeforeBlocking);
  QCOMPARE(cursorWhenTheLoopRan.load(), int(Qt::WaitCursor));
  QVERIFY(QApplication::overrideCursor() == nullptr);
  QVERIFY2(boxes_.isEmpty(), qPrintable(boxes_.value(0).text));
  if (open) {
    QCOMPARE(grid()->Cells(0, 0), std::string("300"));
    QCOMPARE(grid()->Cells(0, 1), std::string("400"));
    QCOMPARE(labelCnt()->text(), QStringLiteral("2"));
  } else {
    QCOMPARE(readFromTheSave, saved);
  }
  expectTheProgramGoesOn();
}

void TestHostileInputs::aCommandAskedForDuringAnotherRunsAfterIt() {
  // a clear asked for while the save runs (as a screen reader may press a
  // button during the busy cursor's turn of the loop) must not empty the
  // rows under the save
  setRows({"100", "200"});
  const QString path = dir_.filePath("saved-before-the-clear.txt");
  QAction* clear = action("ActProjectCreate");
  TSpanFileDialog::SetAsker([&](const TSpanFileDialog::Request&) -> std::optional<QString> {
    QMetaObject::invokeMethod(
        clear, [clear] { clear->trigger(); }, Qt::QueuedConnection);
    return path;
  });
  triggerFromToolbar(action("ActProjectSave"));
  QTRY_COMPARE(grid()->Cells(0, 0), std::string());  // the clear ran, after the save

  QCOMPARE(ReadBytes(path), QByteArray("100\r\n200\r\n"));
  QVERIFY(boxes_.isEmpty());
  expectTheProgramGoesOn();
}

int main(int argc, char** argv) {
  if (argc == 3 && qstrcmp(argv[1], kMeasureOpenOption) == 0) return MeasureOpen(argc, argv);
  TApplication application(argc, argv);
  application.setQuitOnLastWindowClosed(false);
  TestHostileInputs test;
  QTEST_SET_MAIN_SOURCE_PATH
  return QTest::qExec(&test, argc, argv);
}

#include "tst_hostileinputs.moc"
