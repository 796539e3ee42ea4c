// The About window: its labels as designed, closing by a click on free area
// or the close box, where it reopens; and the help command's hand-over of the
// help document, or of its pages, to the desktop.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QWindow>
#include <algorithm>
#include <memory>

#include "FakeDesktop.h"
#include "ui/HelpLauncher.h"
#include "ui/UFormAbout.h"

namespace {

constexpr Qt::Alignment kCentredTop = Qt::AlignHCenter | Qt::AlignTop;
constexpr Qt::Alignment kLeftTop = Qt::AlignLeft | Qt::AlignTop;

QLabel* label(const TFormAbout& form, const QString& name) {
  return form.findChild<QLabel*>(name, Qt::FindDirectChildrenOnly);
}

QStringList textRows(const QLabel* l) { return l->text().split(QLatin1Char('\n')); }

const QString kChmType = QStringLiteral("application/vnd.ms-htmlhelp");

bool writeFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) &&
         file.write(bytes) == bytes.size();
}

// The help command has had its answer from the desktop and opened what it opens.
bool helpAnswered() {
  return QCoreApplication::instance()->findChildren<QProcess*>(Qt::FindDirectChildrenOnly).isEmpty();
}

}  // namespace

class TestTFormAbout : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void windowIsAFixedDialogWithACloseBoxOnly();
  void labelsLieWhereDesigned_data();
  void labelsLieWhereDesigned();
  void labelsAreSetInTheirFonts_data();
  void labelsAreSetInTheirFonts();
  void programNameIsHeavyAndMaroon();
  void creditRowsAreNeutralAndFit();
  void labelsNeitherOverlapNorLeaveTheWindow();

  void clickOnFreeAreaHidesOnlyThere_data();
  void clickOnFreeAreaHidesOnlyThere();
  void pressOnLabelReleasedOnFreeAreaKeepsTheWindow();
  void closeBoxHidesWithoutDestroying();
  void firstShowIsCentredOverTheMainWindow();
  void laterShowsOpenWhereTheWindowWasLeft();
  void showingAnOpenWindowBringsItForwardWithoutACopy();

  void helpHandsTheDocumentToTheDesktop_data();
  void helpHandsTheDocumentToTheDesktop();
  void helpWithoutTheDocumentDoesNothing_data();
  void helpWithoutTheDocumentDoesNothing();
  void helpOpensTheDocumentOrThePages_data();
  void helpOpensTheDocumentOrThePages();

 private:
  void showForm();
  void clickWindowAt(QPoint pos, Qt::MouseButton button = Qt::LeftButton);

  std::unique_ptr<QWidget> mainWindow_;
  TFormAbout* form_ = nullptr;  // owned by the main window, as in the program

  std::unique_ptr<QTemporaryDir> helpRoot_;
  QList<QUrl> opened_;
  bool viewerStarts_ = true;  // what the desktop answers for the CHM document
  DocumentOpener previousOpener_;
};

void TestTFormAbout::init() {
  mainWindow_ = std::make_unique<QWidget>();
  mainWindow_->setGeometry(60, 50, 426, 520);
  mainWindow_->show();
  QVERIFY(QTest::qWaitForWindowExposed(mainWindow_.get()));
  form_ = new TFormAbout(mainWindow_.get());

  helpRoot_ = std::make_unique<QTemporaryDir>();
  QVERIFY(helpRoot_->isValid());
  opened_.clear();
  viewerStarts_ = true;
  previousOpener_ = SetDocumentOpener([this](const QUrl& url) {
    opened_.append(url);
    return viewerStarts_ || !url.path().endsWith(QLatin1String(".chm"));
  });
}

void TestTFormAbout::cleanup() {
  SetDocumentOpener(previousOpener_);
  helpRoot_.reset();
  mainWindow_.reset();
  form_ = nullptr;
}

void TestTFormAbout::showForm() {
  form_->ShowAbout();
  QVERIFY(QTest::qWaitForWindowExposed(form_));
}

// Replays a click through the window, so that it reaches whichever widget
// lies under the pointer, as a real click does.
void TestTFormAbout::clickWindowAt(QPoint pos, Qt::MouseButton button) {
  QTest::mouseClick(form_->windowHandle(), button, Qt::NoModifier, pos);
}

void TestTFormAbout::windowIsAFixedDialogWithACloseBoxOnly() {
  QCOMPARE(form_->windowTitle(), QStringLiteral("О программе"));
  QCOMPARE(form_->minimumSize(), QSize(350, 337));
  QCOMPARE(form_->maximumSize(), QSize(350, 337));
  QCOMPARE(form_->size(), QSize(350, 337));
  const Qt::WindowFlags flags = form_->windowFlags();
  QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
  QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
  QVERIFY(flags.testFlag(Qt::WindowTitleHint));
  QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
  QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
  QVERIFY(!form_->windowIcon().isNull());
  QVERIFY(!form_->isVisible());
  QVERIFY(!form_->testAttribute(Qt::WA_DeleteOnClose));
  QCOMPARE(form_->palette().color(QPalette::Window), form_->palette().color(QPalette::Button));
  QVERIFY(form_->autoFillBackground());
}

// Labels that size themselves to their text may differ from the design a
// little: the design measured each glyph of a hinted face in whole pixels,
// which makes a long line a few pixels wider. The docked labels are exact.
void TestTFormAbout::labelsLieWhereDesigned_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QRect>("design");
  QTest::addColumn<int>("slack");
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("alignment");

  const auto row = [](const char* name, QRect design, int slack, const QString& text, Qt::Alignment a) {
    QTest::newRow(name) << QString::fromLatin1(name) << design << slack << text << int(a);
  };
  row("LabelProgName", {0, 0, 350, 41}, 0, QStringLiteral("Korvastel"), Qt::AlignCenter);
  row("LabelVersion", {136, 43, 76, 18}, 3, QStringLiteral("version 2.0"), kCentredTop);
  row("Label3", {87, 77, 201, 16}, 3, QStringLiteral("Расчёт приведённого пролета"), kCentredTop);
  row("Label6", {40, 173, 90, 16}, 3, QStringLiteral("Разработчик:"), kLeftTop);
  row("Label7", {216, 173, 109, 16}, 3, QStringLiteral("Программисты:"), kLeftTop);
  row("Label4", {0, 275, 350, 22}, 0, QString(), kCentredTop);
  row("Label5", {0, 297, 350, 40}, 0, QString(), kCentredTop);
}

void TestTFormAbout::labelsLieWhereDesigned() {
  QFETCH(QString, name);
  QFETCH(QRect, design);
  QFETCH(int, slack);
  QFETCH(QString, text);
  QFETCH(int, alignment);

  showForm();
  const QLabel* l = label(*form_, name);
  QVERIFY(l != nullptr);
  const QRect g = l->geometry();
  QCOMPARE(g.topLeft(), design.topLeft());
  const int widthSlack = std::max(slack, design.width() * 3 / 100);
  QVERIFY2(qAbs(g.width() - design.width()) <= widthSlack,
           qPrintable(QStringLiteral("width %1").arg(g.width())));
  QVERIFY2(qAbs(g.height() - design.height()) <= slack,
           qPrintable(QStringLiteral("height %1").arg(g.height())));
  if (!text.isEmpty()) QCOMPARE(l->text(), text);
  QCOMPARE(int(l->alignment()), alignment);
  QCOMPARE(l->textFormat(), Qt::PlainText);
}

void TestTFormAbout::labelsAreSetInTheirFonts_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<int>("pixelSize");
  QTest::addColumn<bool>("bold");
  QTest::addColumn<bool>("italic");

  const auto row = [](const char* name, int px, bool bold, bool italic) {
    QTest::newRow(name) << QString::fromLatin1(name) << px << bold << italic;
  };
  row("LabelVersion", 16, false, false);
  row("Label3", 13, true, false);
  row("Label6", 13, true, true);
  row("Label7", 13, true, true);
  row("LabelAuthor", 13, false, false);
  row("Label9", 13, false, false);
  row("Label4", 11, false, false);
  row("Label5", 13, false, false);
}

void TestTFormAbout::labelsAreSetInTheirFonts() {
  QFETCH(QString, name);
  QFETCH(int, pixelSize);
  QFETCH(bool, bold);
  QFETCH(bool, italic);

  const QLabel* l = label(*form_, name);
  QVERIFY(l != nullptr);
  const QFontInfo face(l->font());
  QCOMPARE(face.pixelSize(), pixelSize);
  QCOMPARE(face.weight() >= QFont::Bold, bold);
  QCOMPARE(face.italic(), italic);
  QVERIFY2(!face.fixedPitch(), qPrintable(face.family()));
  QCOMPARE(l->palette().color(QPalette::WindowText), form_->palette().color(QPalette::WindowText));
}

void TestTFormAbout::programNameIsHeavyAndMaroon() {
  const QLabel* name = form_->LabelProgName();
  QCOMPARE(name, label(*form_, QStringLiteral("LabelProgName")));
  const QFontInfo face(name->font());
  QCOMPARE(face.pixelSize(), 29);
  // the stand-in for Arial Black must still be heavy, whatever is installed
  QVERIFY2(face.weight() >= QFont::Bold, qPrintable(face.family()));
  QCOMPARE(name->palette().color(QPalette::WindowText), QColor(0x80, 0x00, 0x00));
  QCOMPARE(form_->font().pixelSize(), 11);
}

// The credit rows have their designed shape, name no address or number that
// could reach a real person, and stay clear of their neighbours.
void TestTFormAbout::creditRowsAreNeutralAndFit() {
  showForm();
  QCOMPARE(textRows(label(*form_, QStringLiteral("LabelAuthor"))).size(), 3);
  QCOMPARE(textRows(label(*form_, QStringLiteral("Label9"))).size(), 2);
  QCOMPARE(textRows(label(*form_, QStringLiteral("Label5"))).size(), 2);
  QVERIFY(label(*form_, QStringLiteral("Label4"))->text().contains(QStringLiteral("2026")));

  const QRegularExpression contact(
      QStringLiteral("@|https?:|www\\.|\\.(ru|com|net|org)\\b|\\+?\\d[\\d ()-]{6,}"));
  for (const QLabel* l : form_->findChildren<QLabel*>()) {
    QVERIFY2(!contact.match(l->text()).hasMatch(), qPrintable(l->text()));
    // every row of text fits inside its label
    const QFontMetrics metrics(l->font());
    for (const QString& rowText : textRows(l))
      QVERIFY2(metrics.horizontalAdvance(rowText) <= l->width(), qPrintable(rowText));
    QVERIFY2(metrics.lineSpacing() * textRows(l).size() <= l->height() + 2, qPrintable(l->objectName()));
  }
}

void TestTFormAbout::labelsNeitherOverlapNorLeaveTheWindow() {
  showForm();
  const QList<QLabel*> labels = form_->findChildren<QLabel*>();
  QCOMPARE(labels.size(), 9);
  for (const QLabel* a : labels) {
    QVERIFY2(form_->rect().contains(a->geometry()), qPrintable(a->objectName()));
    for (const QLabel* b : labels)
      if (a != b)
        QVERIFY2(!a->geometry().intersects(b->geometry()),
                 qPrintable(a->objectName() + QStringLiteral(" / ") + b->objectName()));
  }
}

void TestTFormAbout::clickOnFreeAreaHidesOnlyThere_data() {
  QTest::addColumn<QPoint>("at");
  QTest::addColumn<int>("button");
  QTest::addColumn<bool>("freeArea");

  QTest::newRow("between subtitle and credits") << QPoint(175, 130) << int(Qt::LeftButton) << true;
  QTest::newRow("left margin of the credits") << QPoint(10, 200) << int(Qt::LeftButton) << true;
  QTest::newRow("right of the version") << QPoint(300, 50) << int(Qt::LeftButton) << true;
  QTest::newRow("just above the notice") << QPoint(175, 273) << int(Qt::LeftButton) << true;
  QTest::newRow("right button on free area") << QPoint(175, 130) << int(Qt::RightButton) << true;
  QTest::newRow("name strip, centre") << QPoint(175, 20) << int(Qt::LeftButton) << false;
  QTest::newRow("name strip, far left") << QPoint(3, 3) << int(Qt::LeftButton) << false;
  QTest::newRow("version text") << QPoint(174, 50) << int(Qt::LeftButton) << false;
  QTest::newRow("subtitle text") << QPoint(180, 84) << int(Qt::LeftButton) << false;
  QTest::newRow("developer caption") << QPoint(60, 180) << int(Qt::LeftButton) << false;
  QTest::newRow("programmers caption") << QPoint(240, 180) << int(Qt::LeftButton) << false;
  QTest::newRow("developer credit") << QPoint(60, 205) << int(Qt::LeftButton) << false;
  QTest::newRow("programmers credit") << QPoint(240, 205) << int(Qt::LeftButton) << false;
  QTest::newRow("notice, far left") << QPoint(3, 285) << int(Qt::LeftButton) << false;
  QTest::newRow("notice, centre") << QPoint(175, 285) << int(Qt::LeftButton) << false;
  QTest::newRow("company rows, far right") << QPoint(346, 330) << int(Qt::LeftButton) << false;
  QTest::newRow("company rows, centre") << QPoint(175, 310) << int(Qt::LeftButton) << false;
}

void TestTFormAbout::clickOnFreeAreaHidesOnlyThere() {
  QFETCH(QPoint, at);
  QFETCH(int, button);
  QFETCH(bool, freeArea);

  showForm();
  QCOMPARE(form_->childAt(at) == nullptr, freeArea);
  clickWindowAt(at, Qt::MouseButton(button));
  // only the left button closes, and only on free area
  QCOMPARE(form_->isVisible(), !(freeArea && button == Qt::LeftButton));
}

void TestTFormAbout::pressOnLabelReleasedOnFreeAreaKeepsTheWindow() {
  showForm();
  QTest::mousePress(form_->windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(175, 20));
  QTest::mouseRelease(form_->windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(175, 130));
  QVERIFY(form_->isVisible());
  // the next real click on free area still closes it
  clickWindowAt(QPoint(175, 130));
  QVERIFY(!form_->isVisible());
}

void TestTFormAbout::closeBoxHidesWithoutDestroying() {
  showForm();
  const QPointer<TFormAbout> guard(form_);
  QVERIFY(form_->close());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QVERIFY(!guard.isNull());
  QVERIFY(!form_->isVisible());
  showForm();
  QVERIFY(form_->isVisible());
}

void TestTFormAbout::firstShowIsCentredOverTheMainWindow() {
  showForm();
  const QPoint aboutCentre = form_->frameGeometry().center();
  const QPoint mainCentre = mainWindow_->frameGeometry().center();
  QVERIFY2((aboutCentre - mainCentre).manhattanLength() <= 2, qPrintable(QStringLiteral("%1,%2 vs %3,%4")
                                                                             .arg(aboutCentre.x())
                                                                             .arg(aboutCentre.y())
                                                                             .arg(mainCentre.x())
                                                                             .arg(mainCentre.y())));
}

void TestTFormAbout::laterShowsOpenWhereTheWindowWasLeft() {
  showForm();
  // moved as the user drags it: by the window system, not by the program
  const QPoint left(30, 40);
  form_->windowHandle()->setFramePosition(left);
  QTRY_COMPARE(form_->pos(), left);
  clickWindowAt(QPoint(175, 130));
  QVERIFY(!form_->isVisible());

  // the main window moving meanwhile does not pull the window back to it
  mainWindow_->move(200, 120);
  showForm();
  QCOMPARE(form_->pos(), left);

  QVERIFY(form_->close());
  showForm();
  QCOMPARE(form_->pos(), left);
}

void TestTFormAbout::showingAnOpenWindowBringsItForwardWithoutACopy() {
  showForm();
  const QPoint where = form_->pos();
  QTRY_COMPARE(QApplication::activeWindow(), form_);

  mainWindow_->activateWindow();
  QTRY_COMPARE(QApplication::activeWindow(), mainWindow_.get());
  form_->ShowAbout();
  QTRY_COMPARE(QApplication::activeWindow(), form_);
  QVERIFY(form_->isVisible());
  QCOMPARE(form_->pos(), where);

  int abouts = 0;
  for (const QWidget* w : QApplication::topLevelWidgets())
    if (qobject_cast<const TFormAbout*>(w) != nullptr && w->isVisible()) ++abouts;
  QCOMPARE(abouts, 1);
}

// Folder names that a shell would split, quote or run must reach the viewer
// as one plain path.
void TestTFormAbout::helpHandsTheDocumentToTheDesktop_data() {
  QTest::addColumn<QString>("folder");

  QTest::newRow("plain") << QStringLiteral("Korvastel");
  QTest::newRow("spaces") << QStringLiteral("Program Files/Korvastel 2");
  QTest::newRow("semicolon and ampersand") << QStringLiteral("a;b & c");
  QTest::newRow("command substitution") << QStringLiteral("$(touch pwned) `touch pwned`");
  QTest::newRow("Cyrillic") << QStringLiteral("Расчёт пролётов");
#if defined(Q_OS_WIN)
  // Windows allows neither '"' nor '?' in a name; its command line expands
  // %variables% and takes '^' as its escape
  QTest::newRow("single quotes") << QStringLiteral("say 'hi' it's");
  QTest::newRow("percent, caret and hash") << QStringLiteral("100% %PATH% ^& #1 x=y");
#else
  QTest::newRow("double and single quotes") << QStringLiteral("say \"hi\" it's");
  QTest::newRow("percent and hash") << QStringLiteral("100% #1 ?x=y");
#endif
}

void TestTFormAbout::helpHandsTheDocumentToTheDesktop() {
  QFETCH(QString, folder);
  FakeDesktop desktop;
  QVERIFY(desktop.isValid());
  QVERIFY(desktop.InstallProgram(QStringLiteral("chm-viewer.desktop"), kChmType));

  const QString directory = helpRoot_->path() + QLatin1Char('/') + folder + QLatin1Char('/');
  const QString document = directory + QStringLiteral("Korvastel.chm");
  QVERIFY(writeFile(document, "ITSF"));

  OpenHelpFile(directory);

  QTRY_VERIFY_WITH_TIMEOUT(helpAnswered(), 10000);
  QCOMPARE(opened_.size(), 1);
  const QUrl url = opened_.first();
  QVERIFY(url.isLocalFile());
  QCOMPARE(url, QUrl::fromLocalFile(document));
  QCOMPARE(url.toLocalFile(), document);
  QVERIFY(url.query().isEmpty());
  QVERIFY(url.fragment().isEmpty());
  QVERIFY(!QFile::exists(QStringLiteral("pwned")));
  QVERIFY(!QFile::exists(helpRoot_->filePath(QStringLiteral("pwned"))));
}

void TestTFormAbout::helpWithoutTheDocumentDoesNothing_data() {
  QTest::addColumn<QString>("folder");
  QTest::addColumn<QString>("blocker");

  QTest::newRow("empty folder") << QStringLiteral("empty") << QString();
  QTest::newRow("missing folder") << QStringLiteral("no such folder") << QStringLiteral("-");
  QTest::newRow("folder named like the document") << QStringLiteral("odd") << QStringLiteral("Korvastel.chm");
#if !defined(Q_OS_WIN)
  // Windows' names ignore case: there it is the document
  QTest::newRow("document under another case") << QStringLiteral("case") << QStringLiteral("korvastel.CHM");
#endif
}

void TestTFormAbout::helpWithoutTheDocumentDoesNothing() {
  QFETCH(QString, folder);
  QFETCH(QString, blocker);
  // neither the viewer nor the pages beside a missing document are shown
  FakeDesktop desktop;
  QVERIFY(desktop.isValid());
  QVERIFY(desktop.InstallProgram(QStringLiteral("chm-viewer.desktop"), kChmType));

  const QString directory = helpRoot_->path() + QLatin1Char('/') + folder + QLatin1Char('/');
  if (blocker != QLatin1String("-")) QVERIFY(writeFile(directory + QLatin1String(kHelpPagesIndex), "<html>"));
  if (blocker == QLatin1String("Korvastel.chm")) QVERIFY(QDir().mkpath(directory + blocker));
  if (blocker == QLatin1String("korvastel.CHM")) QVERIFY(writeFile(directory + blocker, "ITSF"));

  OpenHelpFile(directory);
  QVERIFY(helpAnswered());  // not even asked
  QVERIFY(opened_.isEmpty());
}

// The document goes to the CHM viewer the desktop has. Where it has none, or
// the viewer cannot be started, the pages beside the document go to the web
// browser; where there are no pages either, nothing opens. Windows' shell is
// handed the document at once and answers itself whether a viewer started.
void TestTFormAbout::helpOpensTheDocumentOrThePages_data() {
  QTest::addColumn<QString>("desktop");
  QTest::addColumn<bool>("viewerStarts");
  QTest::addColumn<bool>("pages");
  QTest::addColumn<QStringList>("opened");

  const QStringList document{kHelpFileName};
  const QStringList index{kHelpPagesIndex};
  // clang-format off
#if defined(Q_OS_WIN)
  QTest::newRow("a viewer")                   << "shell"        << true  << true  << document;
  QTest::newRow("no viewer")                  << "shell"        << false << true  << document + index;
  QTest::newRow("no viewer, no pages")        << "shell"        << false << false << document;
#else
  QTest::newRow("a viewer")                   << "viewer"       << true  << true  << document;
  QTest::newRow("a viewer of the user's")     << "chosen"       << true  << true  << document;
  QTest::newRow("a viewer that cannot start") << "viewer"       << false << true  << document + index;
  QTest::newRow("no viewer")                  << "none"         << true  << true  << index;
  QTest::newRow("a browser only")             << "browser"      << true  << true  << index;
  QTest::newRow("no xdg-utils")               << "no xdg-utils" << true  << true  << index;
  QTest::newRow("no viewer, no pages")        << "none"         << true  << false << QStringList();
#endif
  // clang-format on
}

void TestTFormAbout::helpOpensTheDocumentOrThePages() {
  QFETCH(QString, desktop);
  QFETCH(bool, viewerStarts);
  QFETCH(bool, pages);
  QFETCH(QStringList, opened);

  FakeDesktop fake;
  QVERIFY(fake.isValid());
  if (desktop == QLatin1String("viewer"))
    QVERIFY(fake.InstallProgram(QStringLiteral("chm-viewer.desktop"), kChmType));
  if (desktop == QLatin1String("chosen")) {
    QVERIFY(fake.InstallProgram(QStringLiteral("my-viewer.desktop"), QStringLiteral("application/x-other")));
    QVERIFY(fake.ChooseProgram(QStringLiteral("my-viewer.desktop"), kChmType));
  }
  if (desktop == QLatin1String("browser"))
    QVERIFY(fake.InstallProgram(QStringLiteral("browser.desktop"), QStringLiteral("text/html")));
  if (desktop == QLatin1String("no xdg-utils")) fake.RemoveXdgUtils();

  const QString directory = helpRoot_->path() + QLatin1Char('/');
  QVERIFY(writeFile(directory + QLatin1String(kHelpFileName), "ITSF"));
  if (pages) QVERIFY(writeFile(directory + QLatin1String(kHelpPagesIndex), "<html>"));
  viewerStarts_ = viewerStarts;

  OpenHelpFile(directory);

  QTRY_VERIFY_WITH_TIMEOUT(helpAnswered(), 10000);
  QStringList files;
  for (const QUrl& url : opened_) files.append(QDir(directory).relativeFilePath(url.toLocalFile()));
  QCOMPARE(files, opened);
}

QTEST_MAIN(TestTFormAbout)
#include "tst_tformabout.moc"
