// The application shell: start-up, the regional separator and the one error
// box. Runs under a German system locale, whose decimal separator is ",".
#include <QAction>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <stdexcept>

#include "FormMainHarness.h"
#include "app/ErrorReport.h"
#include "app/RegionalSeparator.h"
#include "app/TApplication.h"
#include "core/Core.h"
#include "ui/FailureReport.h"

namespace {

// An object whose events fail the way an event handler can.
class Thrower : public QObject {
 public:
  std::function<void()> fail;

 protected:
  bool event(QEvent* event) override {
    if (event->type() == QEvent::User) fail();
    return QObject::event(event);
  }
};

}  // namespace

class TestTApplication : public QObject, private FormMainHarness {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void appendsAPeriodAfterBytesAboveIt_data();
  void appendsAPeriodAfterBytesAboveIt();
  void writesTheApplicationErrorText();
  void namesTypesReadably();
  void readsTheRegionalSeparator_data();
  void readsTheRegionalSeparator();

  void startsWithTheRegionalSeparatorAndTitle();
  void runShowsTheMainWindowWithItsCaptionAndReturnsZero();
  void closingTheMainWindowEndsTheLoopWhileAboutIsOpen();
  void programExceptionsShowTheirMessageCaptionedWithTheTitle_data();
  void programExceptionsShowTheirMessageCaptionedWithTheTitle();
  void otherExceptionsShowTheApplicationErrorBox();
  void windowsHandTheirFailuresToTheErrorBox();
  void exceptionsOfNoClassFamilyAreShownToo();
  void theProgramGoesOnAfterAnErrorBox();
  void anErrorCancelsAMouseCapture();
  void aLocaleChangeBringsTheRegionalSeparatorBack();
  void theErrorBoxIsAPlainTextCriticalBoxForTheWholeApplication();
  void loadsQtsRussianTexts();

 private:
  void deliverFailure(std::function<void()> fail);
};

void TestTApplication::init() {
  boxes_.clear();
  startRecordingBoxes();
}

void TestTApplication::cleanup() {
  stopRecordingBoxes();
  korvastel::SetDecimalSeparator('.');
  QCOMPARE(korvastel::DecimalSeparator(), '.');
}

void TestTApplication::deliverFailure(std::function<void()> fail) {
  Thrower thrower;
  thrower.fail = std::move(fail);
  QEvent event(QEvent::User);
  QCoreApplication::sendEvent(&thrower, &event);  // through TApplication::notify
}

void TestTApplication::appendsAPeriodAfterBytesAboveIt_data() {
  QTest::addColumn<QByteArray>("message");
  QTest::addColumn<QByteArray>("shown");
  QTest::newRow("letter") << QByteArray("File not found") << QByteArray("File not found.");
  QTest::newRow("digit") << QByteArray("I/O error 32") << QByteArray("I/O error 32.");
  QTest::newRow("question mark") << QByteArray("Why?") << QByteArray("Why?.");
  QTest::newRow("colon") << QByteArray("Cause:") << QByteArray("Cause:.");
  QTest::newRow("slash, just above '.'") << QByteArray("a/") << QByteArray("a/.");
  QTest::newRow("byte above 0x7F") << QByteArray("пролёт") << QByteArray("пролёт.");
  QTest::newRow("full stop") << QByteArray("Done.") << QByteArray("Done.");
  QTest::newRow("exclamation mark") << QByteArray("Stop!") << QByteArray("Stop!");
  QTest::newRow("comma") << QByteArray("a,") << QByteArray("a,");
  QTest::newRow("closing parenthesis") << QByteArray("(a)") << QByteArray("(a)");
  QTest::newRow("hyphen") << QByteArray("a-") << QByteArray("a-");
  QTest::newRow("space") << QByteArray("a ") << QByteArray("a ");
  QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TestTApplication::appendsAPeriodAfterBytesAboveIt() {
  QFETCH(QByteArray, message);
  QFETCH(QByteArray, shown);
  QCOMPARE(QByteArray::fromStdString(WithFinalPeriod(message.toStdString())), shown);
}

void TestTApplication::writesTheApplicationErrorText() {
  const void* address = reinterpret_cast<const void*>(std::uintptr_t{0x5581A2B3C4D0});
  QCOMPARE(ApplicationErrorText("std::bad_alloc", "korvastel", address, "std::bad_alloc"),
           std::string("Exception std::bad_alloc in module korvastel at 00005581A2B3C4D0.\r\n"
                       "std::bad_alloc.\r\n"));
  QCOMPARE(ApplicationErrorText("int", "korvastel", nullptr, ""),
           std::string("Exception int in module korvastel at 0000000000000000.\r\n\r\n"));
  // a "%s" in a message is text, not a format
  QCOMPARE(ApplicationErrorText("E", "m", nullptr, "100%s!"),
           std::string("Exception E in module m at 0000000000000000.\r\n100%s!\r\n"));
}

void TestTApplication::namesTypesReadably() {
  QCOMPARE(TypeDisplayName(typeid(std::runtime_error)), std::string("std::runtime_error"));
  QCOMPARE(TypeDisplayName(typeid(korvastel::EInOutError)), std::string("korvastel::EInOutError"));
  QCOMPARE(TypeDisplayName(typeid(int)), std::string("int"));
}

void TestTApplication::readsTheRegionalSeparator_data() {
  QTest::addColumn<QLocale>("locale");
  QTest::addColumn<char>("separator");
  QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany) << ',';
  QTest::newRow("Russian") << QLocale(QLocale::Russian, QLocale::Russia) << ',';
  QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedStates) << '.';
  QTest::newRow("C") << QLocale::c() << '.';
  // U+066B, not a single byte
  QTest::newRow("Arabic, Egypt") << QLocale(QLocale::Arabic, QLocale::Egypt) << '.';
}

void TestTApplication::readsTheRegionalSeparator() {
  QFETCH(QLocale, locale);
  QFETCH(char, separator);
  QCOMPARE(RegionalDecimalSeparator(locale), separator);
}

void TestTApplication::startsWithTheRegionalSeparatorAndTitle() {
  // main() set LC_ALL before the application object existed
  QCOMPARE(QLocale::system().decimalPoint(), QStringLiteral(","));
  TApplication* application = app();
  QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Korvastel"));
  QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("Korvastel"));
  QVERIFY(!QGuiApplication::windowIcon().isNull());
  QVERIFY(!QGuiApplication::windowIcon().pixmap(16, 16).isNull());
  QVERIFY(application->FormMain() == nullptr);
}

void TestTApplication::runShowsTheMainWindowWithItsCaptionAndReturnsZero() {
  TApplication* application = app();
  application->CreateForms();
  TFormMain* main = application->FormMain();
  TFormAbout* about = application->FormAbout();
  QVERIFY(main && about);
  QVERIFY(!main->isVisible());
  QVERIFY(!about->isVisible());
  // whatever the label holds before, the main window's show writes the title
  about->LabelProgName()->setText(QStringLiteral("Tamberon"));

  QString captionSeen;
  QTimer::singleShot(0, application, [&] {
    captionSeen = main->windowTitle();
    main->close();  // the main window closing ends the loop
  });
  QCOMPARE(application->Run(), 0);

  QCOMPARE(captionSeen, QStringLiteral("Korvastel - Расчёт приведённого пролёта"));
  QCOMPARE(about->LabelProgName()->text(), QStringLiteral("Korvastel"));
  QVERIFY(!about->isVisible());
  QCOMPARE(main->AppDirectory(), QCoreApplication::applicationDirPath() + "/");
  // the show put the parse and format separator to "."
  QCOMPARE(korvastel::DecimalSeparator(), '.');
}

void TestTApplication::closingTheMainWindowEndsTheLoopWhileAboutIsOpen() {
  TApplication* application = app();
  application->CreateForms();
  TFormMain* main = application->FormMain();
  bool aboutWasOpen = false;
  bool loopEndedByClose = true;
  QTimer::singleShot(0, application, [&] {
    main->findChild<QAction*>("ActAbout")->trigger();
    aboutWasOpen = application->FormAbout()->isVisible();
    main->findChild<QAction*>("ActExit")->trigger();
  });
  // should the close not end the loop, this ends it and says so
  QTimer guard;
  guard.setSingleShot(true);
  connect(&guard, &QTimer::timeout, application, [&] {
    loopEndedByClose = false;
    QCoreApplication::quit();
  });
  guard.start(5000);
  QCOMPARE(application->Run(), 0);
  QVERIFY(aboutWasOpen);
  QVERIFY(loopEndedByClose);
  QVERIFY(!main->isVisible());
}

void TestTApplication::programExceptionsShowTheirMessageCaptionedWithTheTitle_data() {
  QTest::addColumn<int>("failure");
  QTest::addColumn<QString>("text");
  QTest::newRow("missing file") << 0 << QStringLiteral("File not found.");
  QTest::newRow("I/O error number") << 1 << QStringLiteral("I/O error 32.");
  QTest::newRow("floating fault") << 2 << QStringLiteral("Invalid floating point operation.");
  QTest::newRow("overflow") << 3 << QStringLiteral("Floating point overflow.");
  QTest::newRow("ends in '!'") << 4 << QStringLiteral("Stop!");
  QTest::newRow("empty message") << 5 << QString();
}

void TestTApplication::programExceptionsShowTheirMessageCaptionedWithTheTitle() {
  QFETCH(int, failure);
  QFETCH(QString, text);
  deliverFailure([failure] {
    switch (failure) {
      case 0:
        throw korvastel::EInOutError(2);
      case 1:
        throw korvastel::EInOutError(32);
      case 2:
        throw korvastel::EInvalidOp();
      case 3:
        throw korvastel::EOverflow();
      case 4:
        throw korvastel::Exception("Stop!");
      default:
        throw korvastel::Exception("");
    }
  });
  QCOMPARE(boxes_.size(), 1);
  QCOMPARE(boxes_[0].caption, QStringLiteral("Korvastel"));
  QCOMPARE(boxes_[0].text, text);
}

void TestTApplication::otherExceptionsShowTheApplicationErrorBox() {
  deliverFailure([] { throw std::runtime_error("Something broke"); });
  QCOMPARE(boxes_.size(), 1);
  QCOMPARE(boxes_[0].caption, QStringLiteral("Application Error"));
  const QString module = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
  const QRegularExpression pattern(
      QStringLiteral(
          "^Exception std::runtime_error in module %1 at [0-9A-F]{16}\\.\r\nSomething broke\\.\r\n$")
          .arg(QRegularExpression::escape(module)));
  QVERIFY2(pattern.match(boxes_[0].text).hasMatch(), qPrintable(boxes_[0].text));
}

void TestTApplication::windowsHandTheirFailuresToTheErrorBox() {
  ReportFailure(std::make_exception_ptr(korvastel::EInOutError(5)), nullptr);
  ReportFailure(std::make_exception_ptr(std::length_error("too long")), app());
  QCOMPARE(boxes_.size(), 2);
  QCOMPARE(boxes_[0].caption, QStringLiteral("Korvastel"));
  QCOMPARE(boxes_[0].text, QStringLiteral("File access denied."));
  QCOMPARE(boxes_[1].caption, QStringLiteral("Application Error"));
  QVERIFY(boxes_[1].text.startsWith(QStringLiteral("Exception std::length_error in module ")));
  QVERIFY(boxes_[1].text.endsWith(QStringLiteral("too long.\r\n")));
  // with no application to take them, failures are thrown on
  const FailureReporter reporter = SetFailureReporter(nullptr);
  QVERIFY_THROWS_EXCEPTION(korvastel::EOverflow,
                           ReportFailure(std::make_exception_ptr(korvastel::EOverflow()), nullptr));
  SetFailureReporter(reporter);
}

void TestTApplication::exceptionsOfNoClassFamilyAreShownToo() {
  deliverFailure([] { throw 42; });
  QCOMPARE(boxes_.size(), 1);
  QCOMPARE(boxes_[0].caption, QStringLiteral("Application Error"));
  QVERIFY2(boxes_[0].text.startsWith(QStringLiteral("Exception int in module ")), qPrintable(boxes_[0].text));
  QVERIFY(boxes_[0].text.endsWith(QStringLiteral(".\r\n\r\n")));
}

void TestTApplication::theProgramGoesOnAfterAnErrorBox() {
  // a failing timer: the loop shows the box and keeps running
  Thrower thrower;
  thrower.fail = [] { throw korvastel::EZeroDivide(); };
  bool laterWorkRan = false;
  QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
  QTimer::singleShot(0, &thrower, [&] { laterWorkRan = true; });
  QTRY_VERIFY(laterWorkRan);
  QCOMPARE(boxes_.size(), 1);
  QCOMPARE(boxes_[0].text, QStringLiteral("Floating point division by zero."));
}

void TestTApplication::anErrorCancelsAMouseCapture() {
  QWidget window;
  window.resize(100, 100);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  window.grabMouse();
  QCOMPARE(QWidget::mouseGrabber(), &window);
  bool grabbedWhenShown = true;
  SetErrorBoxPresenter([&](const QString&, const QString&) { grabbedWhenShown = QWidget::mouseGrabber(); });
  deliverFailure([] { throw korvastel::EOverflow(); });
  QVERIFY(!grabbedWhenShown);
  QVERIFY(!QWidget::mouseGrabber());
}

void TestTApplication::aLocaleChangeBringsTheRegionalSeparatorBack() {
  korvastel::SetDecimalSeparator('.');
  QEvent localeChange(QEvent::LocaleChange);
  QCoreApplication::sendEvent(app(), &localeChange);
  QCOMPARE(korvastel::DecimalSeparator(), ',');
  // and the parse follows it
  QCOMPARE(static_cast<double>(korvastel::ParseSpan("12,5")), 12.5);
}

void TestTApplication::theErrorBoxIsAPlainTextCriticalBoxForTheWholeApplication() {
  const auto box = MakeErrorBox(QStringLiteral("Korvastel"), QStringLiteral("<b>x</b>\r\nline two"));
  QCOMPARE(box->windowTitle(), QStringLiteral("Korvastel"));
  QCOMPARE(box->icon(), QMessageBox::Critical);
  QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
  QCOMPARE(box->textFormat(), Qt::PlainText);
  QCOMPARE(box->windowModality(), Qt::ApplicationModal);
  QVERIFY(box->parentWidget() == nullptr);
  QCOMPARE(box->text(), QStringLiteral("<b>x</b>\nline two"));
}

void TestTApplication::loadsQtsRussianTexts() {
  QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Перейти к:"));
  QMessageBox box(QMessageBox::Critical, "t", "x", QMessageBox::Cancel);
  QCOMPARE(box.button(QMessageBox::Cancel)->text().remove('&'), QStringLiteral("Отмена"));
}

int main(int argc, char** argv) {
  // a system locale with a decimal comma, read when the application starts;
  // a Windows program cannot choose its own, the user's regional settings
  // must have the comma (ctest runs Wine in a Russian locale)
  qputenv("LC_ALL", "de_DE.UTF-8");
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  TApplication application(argc, argv);
  application.setQuitOnLastWindowClosed(true);
  TestTApplication test;
  QTEST_SET_MAIN_SOURCE_PATH
  return QTest::qExec(&test, argc, argv);
}

#include "tst_tapplication.moc"
