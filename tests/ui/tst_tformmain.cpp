// The main window driven as the user drives it: real clicks on its menu,
// toolbar and button, real keys typed into the grid, the file dialogs and the
// error box replaced by recorders, failures travelling through the
// application's own event path.
#include <QtGlobal>
#if !defined(Q_OS_WIN)
#include <sys/resource.h>
#endif

#include <QAccessible>
#include <QFileDialog>
#include <QProcess>
#include <QScreen>
#include <QStatusBar>
#include <QTemporaryDir>

#include "FakeDesktop.h"
#include "FormMainHarness.h"
#include "core/Core.h"
#include "ui/HelpLauncher.h"
#include "ui/UFormAbout.h"
#include "WindowsFileFaults.h"

class TestTFormMain : public QObject, private FormMainHarness {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();
  void cleanup();
  void cleanupTestCase();

  void showsTheTitleInCaptionAndAboutBeforeAboutWasShown();
  void everyShowPutsTheSeparatorBackToAPoint();
  void isCentredOnTheWholeDesktop();
  void clientAreaHasTheDesignedSize();
  void controlsSitAtTheirPlaces_data();
  void controlsSitAtTheirPlaces();
  void toolbarButtonsAndSpacersSitAtTheirLefts_data();
  void toolbarButtonsAndSpacersSitAtTheirLefts();
  void resizingStretchesTheLeftColumnOnly();
  void captionsAndToolbarAreDrawnWithThePaletteGradient();
  void statusBarShowsOneFixedLine();
  void menuHoldsTheActionsInOrder();
  void actionsHaveCaptionsHintsPicturesAndNoShortcuts();
  void controlsAreNamedForScreenReaders();
  void tabOrderRunsGridButtonResultSum();

  void eachActionRunsFromMenuAndToolbar_data();
  void eachActionRunsFromMenuAndToolbar();
  void butCalcRunsTheCalculation_data();
  void butCalcRunsTheCalculation();
  void workedExamplesTypedIntoTheGrid_data();
  void workedExamplesTypedIntoTheGrid();
  void calculationFailuresLeaveTheFieldsAsTheyWere_data();
  void calculationFailuresLeaveTheFieldsAsTheyWere();
  void editingRecountsButLeavesTheResults();
  void clearEmptiesEverythingAndAMoveShowsZero();
  void clearReloadsAnOpenEditor();
  void menuBarKeyboardModeLeavesTheEditOpen_data();
  void menuBarKeyboardModeLeavesTheEditOpen();

  void openFillsRowsFromTheTopAndRecounts();
  void openOfAMissingFileShowsFileNotFound();
  void cancelledDialogsChangeNothing();
  void eachDialogStartsWithTheNameLastChosenInIt();
  void saveWritesTheValidRowsAsTyped();
  void saveFromTheToolbarLeavesAnOpenEditAlone();
  void failedSaveLeavesTheOldFile();
  void openDialogAcceptsANameThatDoesNotExist();
  void saveDialogAddsTxtAndAsksNoOverwriteQuestion();

  void aboutIsShownOnceAndBroughtToTheFront();
  void helpHandsTheHelpFileToTheDesktop();
  void exitClosesWithoutAsking();

 private:
  QWidget* workPanel() const { return control<QWidget>("PanelWork"); }
  QRect placeInWorkPanel(const QWidget* widget) const;

  // the help command has had its answer from the desktop and opened what it opens
  static bool helpAnswered() {
    return QCoreApplication::instance()->findChildren<QProcess*>(Qt::FindDirectChildrenOnly).isEmpty();
  }
  // the help document beside the program, then its pages there
  static QList<QUrl> helpFiles() {
    const QString appDirectory = QCoreApplication::applicationDirPath() + "/";
    return {QUrl::fromLocalFile(appDirectory + kHelpFileName),
            QUrl::fromLocalFile(appDirectory + kHelpPagesIndex)};
  }

  QList<QUrl> openedDocuments_;
  DocumentOpener previousOpener_;
  std::unique_ptr<FakeDesktop> desktop_;
  QTemporaryDir dir_;
};

// ---- helpers ---------------------------------------------------------------

QRect TestTFormMain::placeInWorkPanel(const QWidget* widget) const {
  return QRect(widget->mapTo(workPanel(), QPoint(0, 0)), widget->size());
}

// ---- fixture ---------------------------------------------------------------

void TestTFormMain::initTestCase() {
  QVERIFY(dir_.isValid());
  startRecordingBoxes();
  // a CHM viewer is registered but cannot be started: Help falls back to the pages
  desktop_ = std::make_unique<FakeDesktop>();
  QVERIFY(desktop_->isValid());
  QVERIFY(desktop_->InstallProgram("chm-viewer.desktop", "application/vnd.ms-htmlhelp"));
  previousOpener_ = SetDocumentOpener([this](const QUrl& url) {
    openedDocuments_.append(url);
    return false;  // nothing starts
  });
}

void TestTFormMain::init() {
  openedDocuments_.clear();
  buildWindow();
}

void TestTFormMain::cleanup() {
  restoreDialogs();
  QCOMPARE(korvastel::DecimalSeparator(), '.');
}

void TestTFormMain::cleanupTestCase() {
  stopRecordingBoxes();
  SetDocumentOpener(previousOpener_);
  desktop_.reset();
}

// ---- start-up and looks ----------------------------------------------------

void TestTFormMain::showsTheTitleInCaptionAndAboutBeforeAboutWasShown() {
  QCOMPARE(form_->windowTitle(), QStringLiteral("Korvastel - Расчёт приведённого пролёта"));
  TFormAbout* about = app()->FormAbout();
  QVERIFY(!about->isVisible());
  QCOMPARE(about->LabelProgName()->text(), QStringLiteral("Korvastel"));
  QCOMPARE(form_->AppDirectory(), QCoreApplication::applicationDirPath() + "/");
  QVERIFY(results() == QStringList({"", "", ""}));
}

void TestTFormMain::everyShowPutsTheSeparatorBackToAPoint() {
  form_->hide();
  korvastel::SetDecimalSeparator(',');
  form_->show();
  QCOMPARE(korvastel::DecimalSeparator(), '.');
}

void TestTFormMain::isCentredOnTheWholeDesktop() {
  QRect desktop;
  for (const QScreen* screen : QGuiApplication::screens()) desktop |= screen->availableGeometry();
  const QPoint offset = form_->frameGeometry().center() - desktop.center();
  QVERIFY2(offset.manhattanLength() <= 2,
           qPrintable(QStringLiteral("off by %1,%2").arg(offset.x()).arg(offset.y())));
  // a later show keeps the place the window was moved to
  form_->move(10, 20);
  form_->hide();
  form_->show();
  QCOMPARE(form_->pos(), QPoint(10, 20));
}

void TestTFormMain::clientAreaHasTheDesignedSize() {
  const int menuHeight = form_->menuBar()->height();
  QCOMPARE(form_->width(), 418);
  QCOMPARE(form_->height(), menuHeight + 520);
  QWidget* toolbar = control<QWidget>("ToolBar1");
  QCOMPARE(QRect(toolbar->mapTo(form_, QPoint(0, 0)), toolbar->size()), QRect(0, menuHeight, 418, 32));
  QCOMPARE(QRect(workPanel()->mapTo(form_, QPoint(0, 0)), workPanel()->size()),
           QRect(0, menuHeight + 32, 418, 469));
  QCOMPARE(form_->statusBar()->geometry(), QRect(0, menuHeight + 501, 418, 19));
}

void TestTFormMain::controlsSitAtTheirPlaces_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QRect>("place");
  QTest::newRow("left column") << "PanelLeft" << QRect(0, 0, 145, 469);
  QTest::newRow("PanelProjectName") << "PanelProjectName" << QRect(0, 0, 145, 27);
  QTest::newRow("Grid") << "Grid" << QRect(0, 27, 145, 442);
  QTest::newRow("caption 'Число пролётов'") << "PanelCount" << QRect(159, 0, 175, 27);
  QTest::newRow("LabelCnt") << "LabelCnt" << QRect(342, 1, 54, 25);
  QTest::newRow("ButCalc") << "ButCalc" << QRect(159, 34, 242, 25);
  QTest::newRow("caption 'Приведённый пролёт, м'") << "PanelResult" << QRect(159, 77, 242, 27);
  QTest::newRow("EditResult") << "EditResult" << QRect(159, 112, 242, 24);
  QTest::newRow("caption 'Сумма введённых пролётов, м'") << "PanelSum" << QRect(159, 152, 242, 27);
  QTest::newRow("EditSum") << "EditSum" << QRect(159, 187, 242, 24);
}

void TestTFormMain::controlsSitAtTheirPlaces() {
  QFETCH(QString, name);
  QFETCH(QRect, place);
  QCOMPARE(placeInWorkPanel(control<QWidget>(qPrintable(name))), place);
}

void TestTFormMain::toolbarButtonsAndSpacersSitAtTheirLefts_data() {
  QTest::addColumn<QString>("actionName");
  QTest::addColumn<int>("left");
  QTest::addColumn<int>("width");
  QTest::newRow("ActProjectCreate") << "ActProjectCreate" << 4 << 25;
  QTest::newRow("ActProjectOpen") << "ActProjectOpen" << 29 << 25;
  QTest::newRow("ActProjectSave") << "ActProjectSave" << 54 << 25;
  QTest::newRow("first spacer") << "" << 79 << 80;
  QTest::newRow("ActCalc") << "ActCalc" << 159 << 25;
  QTest::newRow("second spacer") << "" << 184 << 96;
  QTest::newRow("ActAbout") << "ActAbout" << 280 << 25;
  QTest::newRow("ActHelp") << "ActHelp" << 305 << 25;
  QTest::newRow("third spacer") << "" << 330 << 47;
  QTest::newRow("ActExit") << "ActExit" << 377 << 25;
}

void TestTFormMain::toolbarButtonsAndSpacersSitAtTheirLefts() {
  QFETCH(QString, actionName);
  QFETCH(int, left);
  QFETCH(int, width);
  QWidget* toolbar = control<QWidget>("ToolBar1");
  QWidget* item = nullptr;
  if (actionName.isEmpty()) {
    for (QWidget* child : toolbar->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      if (!qobject_cast<QToolButton*>(child) && child->x() == left) item = child;
  } else {
    item = toolButtonFor(action(qPrintable(actionName)));
  }
  QVERIFY(item);
  QCOMPARE(item->geometry(), QRect(left, 2, width, 25));
  QVERIFY(item->isVisible());
}

void TestTFormMain::resizingStretchesTheLeftColumnOnly() {
  const QRect buttonPlace = placeInWorkPanel(butCalc());
  const QRect sumPlace = placeInWorkPanel(editSum());
  form_->resize(600, 700);
  QTRY_COMPARE(form_->statusBar()->width(), 600);
  const int workHeight = 700 - form_->menuBar()->height() - 32 - 19;
  QCOMPARE(workPanel()->height(), workHeight);
  QCOMPARE(placeInWorkPanel(grid()), QRect(0, 27, 145, workHeight - 27));
  QCOMPARE(control<QWidget>("ToolBar1")->width(), 600);
  QCOMPARE(placeInWorkPanel(butCalc()), buttonPlace);
  QCOMPARE(placeInWorkPanel(editSum()), sumPlace);
}

void TestTFormMain::captionsAndToolbarAreDrawnWithThePaletteGradient() {
  for (const char* name : {"PanelProjectName", "PanelCount", "PanelResult", "PanelSum", "ToolBar1"}) {
    QWidget* strip = control<QWidget>(name);
    const QImage image = strip->grab().toImage();
    const QPalette palette = strip->palette();
    const int y = image.height() / 2;
    // the ends of the gradient are the palette's light and button colours
    QCOMPARE(image.pixel(0, y), palette.color(QPalette::Light).rgb());
    const QColor right = image.pixelColor(image.width() - 1, y);
    const QColor button = palette.color(QPalette::Button);
    QVERIFY2(qAbs(right.red() - button.red()) <= 2 && qAbs(right.blue() - button.blue()) <= 2, name);
  }
  // captions in the highlight colour, the toolbar with a groove along its top
  for (const char* name : {"PanelProjectName", "PanelResult"}) {
    auto* caption = control<QLabel>(name);
    QCOMPARE(caption->foregroundRole(), QPalette::Highlight);
    QCOMPARE(caption->alignment(), Qt::AlignCenter);
    QCOMPARE(caption->focusPolicy(), Qt::NoFocus);
  }
  QWidget* toolbar = control<QWidget>("ToolBar1");
  const QImage bar = toolbar->grab().toImage();
  QCOMPARE(bar.pixel(200, 0), toolbar->palette().color(QPalette::Mid).rgb());
  QCOMPARE(bar.pixel(200, 1), toolbar->palette().color(QPalette::Light).rgb());
}

void TestTFormMain::statusBarShowsOneFixedLine() {
  auto* line = control<QLabel>("StatusLine");
  const QString text = line->text();
  QVERIFY(text.startsWith(QStringLiteral("Korvastel")));
  QVERIFY2(line->fontMetrics().horizontalAdvance(text) <= line->width(), "the line is cut off");
  // hovering menu items and buttons does not blank it
  QStatusTipEvent tip(QString{});
  QCoreApplication::sendEvent(form_, &tip);
  QVERIFY(line->isVisible());
  QCOMPARE(form_->statusBar()->currentMessage(), QString());
  QCOMPARE(line->text(), text);
}

void TestTFormMain::menuHoldsTheActionsInOrder() {
  QMenuBar* bar = form_->menuBar();
  QCOMPARE(bar->objectName(), QStringLiteral("MainMenu1"));
  QStringList titles;
  for (QAction* top : bar->actions()) titles << top->text();
  QCOMPARE(titles, QStringList({"Файл", "Расчёт", "Помощь"}));

  auto items = [&](const char* menuName) {
    QStringList names;
    for (QAction* item : control<QMenu>(menuName)->actions())
      names << (item->isSeparator() ? QStringLiteral("-") : item->objectName());
    return names;
  };
  QCOMPARE(items("N1"),
           QStringList({"ActProjectCreate", "ActProjectOpen", "ActProjectSave", "-", "ActExit"}));
  QCOMPARE(items("N3"), QStringList({"ActCalc"}));
  QCOMPARE(items("N2"), QStringList({"ActAbout", "ActHelp"}));
}

void TestTFormMain::actionsHaveCaptionsHintsPicturesAndNoShortcuts() {
  struct Expected {
    const char* name;
    const char* caption;
    const char* category;
  };
  const Expected expected[] = {
      {"ActProjectCreate", "Очистить", "Project"},
      {"ActProjectOpen", "Открыть файл", "Project"},
      {"ActProjectSave", "Сохранить файл", "Project"},
      {"ActExit", "Выход", "Project"},
      {"ActAbout", "О программе", "Help"},
      {"ActCalc", "Расчёт", "Calc"},
      {"ActHelp", "Помощь", "Help"},
  };
  for (const Expected& e : expected) {
    QAction* act = action(e.name);
    QCOMPARE(act->text(), QString::fromUtf8(e.caption));
    QCOMPARE(act->toolTip(), QString::fromUtf8(e.caption));
    QCOMPARE(act->property("category").toString(), QString::fromLatin1(e.category));
    QVERIFY2(act->shortcuts().isEmpty(), e.name);
    QVERIFY2(act->isEnabled(), e.name);
    QVERIFY2(!act->icon().pixmap(16, 16).isNull(), e.name);
    QVERIFY2(act->isIconVisibleInMenu(), e.name);
    QToolButton* button = toolButtonFor(act);
    QVERIFY2(button && button->autoRaise() && button->focusPolicy() == Qt::NoFocus, e.name);
    QCOMPARE(button->toolTip(), QString::fromUtf8(e.caption));
    QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonIconOnly);
  }
  QCOMPARE(butCalc()->text(), QStringLiteral("Расчёт"));
  QCOMPARE(butCalc()->toolTip(), QString());
}

void TestTFormMain::controlsAreNamedForScreenReaders() {
  auto name = [](QObject* object) {
    return QAccessible::queryAccessibleInterface(object)->text(QAccessible::Name);
  };
  QCOMPARE(name(editResult()), QStringLiteral("Приведённый пролёт, м"));
  QCOMPARE(name(editSum()), QStringLiteral("Сумма введённых пролётов, м"));
  QCOMPARE(name(grid()), QStringLiteral("Длина пролёта, м"));
  QCOMPARE(name(butCalc()), QStringLiteral("Расчёт"));
  QCOMPARE(name(toolButtonFor(action("ActProjectOpen"))), QStringLiteral("Открыть файл"));
  QCOMPARE(QAccessible::queryAccessibleInterface(labelCnt())->text(QAccessible::Description),
           QStringLiteral("Число пролётов"));
  setRows({"1", "2"});
  QTest::mouseClick(butCalc(), Qt::LeftButton);
  QCOMPARE(name(labelCnt()), QStringLiteral("2"));

  // a tool bar holding its seven buttons, left to right, and nothing else
  QAccessibleInterface* toolBar = QAccessible::queryAccessibleInterface(control<QWidget>("ToolBar1"));
  QCOMPARE(toolBar->role(), QAccessible::ToolBar);
  QCOMPARE(toolBar->text(QAccessible::Name), QStringLiteral("Панель инструментов"));
  const QStringList buttons{"Очистить",    "Открыть файл", "Сохранить файл", "Расчёт",
                            "О программе", "Помощь",       "Выход"};
  QCOMPARE(toolBar->childCount(), buttons.size());
  for (int i = 0; i < toolBar->childCount(); ++i) {
    QAccessibleInterface* button = toolBar->child(i);
    QCOMPARE(button->role(), QAccessible::Button);
    QCOMPARE(button->text(QAccessible::Name), buttons[i]);
    QCOMPARE(button->parent(), toolBar);
    QCOMPARE(toolBar->indexOfChild(button), i);
    QCOMPARE(toolBar->childAt(button->rect().center().x(), button->rect().center().y()), button);
  }
  QCOMPARE(QAccessible::queryAccessibleInterface(form_->centralWidget())->indexOfChild(toolBar), 0);
}

void TestTFormMain::tabOrderRunsGridButtonResultSum() {
  grid()->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  QCOMPARE(QApplication::focusWidget(), butCalc());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  QCOMPARE(QApplication::focusWidget(), editResult());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  QCOMPARE(QApplication::focusWidget(), editSum());
}

// ---- commands --------------------------------------------------------------

void TestTFormMain::eachActionRunsFromMenuAndToolbar_data() {
  QTest::addColumn<QString>("actionName");
  QTest::addColumn<bool>("fromMenu");
  for (const char* name : {"ActProjectCreate", "ActProjectOpen", "ActProjectSave", "ActExit", "ActAbout",
                           "ActCalc", "ActHelp"}) {
    QTest::addRow("%s from the menu", name) << QString::fromLatin1(name) << true;
    QTest::addRow("%s from the toolbar", name) << QString::fromLatin1(name) << false;
  }
}

void TestTFormMain::eachActionRunsFromMenuAndToolbar() {
  QFETCH(QString, actionName);
  QFETCH(bool, fromMenu);
  answerDialogsWith(std::nullopt);
  setRows({"100"});
  editResult()->setText("old");
  QAction* act = action(qPrintable(actionName));

  if (fromMenu)
    triggerFromMenu(act);
  else
    triggerFromToolbar(act);

  if (actionName == "ActProjectCreate") {
    QCOMPARE(grid()->Cells(0, 0), std::string());
    QVERIFY(results() == QStringList({"", "", ""}));
  } else if (actionName == "ActProjectOpen" || actionName == "ActProjectSave") {
    const bool open = actionName == "ActProjectOpen";
    QCOMPARE(requests_.size(), 1);
    QCOMPARE(requests_[0].purpose, open ? TSpanFileDialog::Purpose::Open : TSpanFileDialog::Purpose::Save);
    QCOMPARE(requests_[0].title,
             open ? QStringLiteral("Открытие файла") : QStringLiteral("Сохранение файла"));
    QCOMPARE(requests_[0].owner, form_);
  } else if (actionName == "ActExit") {
    QTRY_VERIFY(!form_->isVisible());
  } else if (actionName == "ActAbout") {
    QTRY_VERIFY(app()->FormAbout()->isVisible());
  } else if (actionName == "ActCalc") {
    QVERIFY(results() == QStringList({"100.00", "100.00", "1"}));
  } else if (actionName == "ActHelp") {
    QTRY_VERIFY_WITH_TIMEOUT(helpAnswered(), 10000);
    QCOMPARE(openedDocuments_, helpFiles());
  }
  QVERIFY2(boxes_.isEmpty(), qPrintable(boxes_.value(0).text));
}

void TestTFormMain::butCalcRunsTheCalculation_data() {
  QTest::addColumn<QStringList>("rows");
  QTest::addColumn<QString>("press");  // a click, or a key on the button reached by Tab from the grid
  QTest::addColumn<QStringList>("shown");
  QTest::newRow("click") << QStringList{"100", "200", "300"} << "click"
                         << QStringList{"244.95", "600.00", "3"};
  QTest::newRow("Space") << QStringList{"-5"} << "Space" << QStringList{"5.00", "-5.00", "1"};
  QTest::newRow("Enter") << QStringList{"-5"} << "Return" << QStringList{"5.00", "-5.00", "1"};
  QTest::newRow("keypad Enter") << QStringList{"100", "200", "300"} << "Enter"
                                << QStringList{"244.95", "600.00", "3"};
}

void TestTFormMain::butCalcRunsTheCalculation() {
  QFETCH(QStringList, rows);
  QFETCH(QString, press);
  QFETCH(QStringList, shown);
  setRows(rows);
  if (press == "click") {
    QTest::mouseClick(butCalc(), Qt::LeftButton);
  } else {
    // from the keyboard, as a focused push button is pressed
    grid()->setFocus();
    QTest::keyClick(grid(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), butCalc());
    const Qt::Key key = press == "Space" ? Qt::Key_Space : press == "Return" ? Qt::Key_Return : Qt::Key_Enter;
    QTest::keyClick(butCalc(), key, press == "Enter" ? Qt::KeypadModifier : Qt::NoModifier);
  }
  QCOMPARE(results(), shown);
  QVERIFY(boxes_.isEmpty());
}

void TestTFormMain::workedExamplesTypedIntoTheGrid_data() {
  QTest::addColumn<QStringList>("rows");
  QTest::addColumn<bool>("lastInEditor");
  QTest::addColumn<QStringList>("shown");
  QTest::newRow("100, 200, 300") << QStringList{"100", "200", "300"} << false
                                 << QStringList{"244.95", "600.00", "3"};
  QTest::newRow("100, 200, 300 with 300 still in the editor")
      << QStringList{"100", "200", "300"} << true << QStringList{"244.95", "600.00", "3"};
  QTest::newRow("70.5, abc, empty, ' 81 ' with ' 81 ' still in the editor")
      << QStringList{"70.5", "abc", "", " 81 "} << true << QStringList{"76.29", "151.50", "2"};
  QTest::newRow("-5 alone") << QStringList{"-5"} << false << QStringList{"5.00", "-5.00", "1"};
}

void TestTFormMain::workedExamplesTypedIntoTheGrid() {
  QFETCH(QStringList, rows);
  QFETCH(bool, lastInEditor);
  QFETCH(QStringList, shown);
  typeIntoGrid(rows, lastInEditor);
  const int lastRow = static_cast<int>(rows.size()) - 1;
  if (lastInEditor) {
    QVERIFY(grid()->EditorMode());
    QCOMPARE(grid()->Cells(0, lastRow), std::string());
  }
  QTest::mouseClick(butCalc(), Qt::LeftButton);
  QCOMPARE(grid()->Cells(0, lastRow), rows.last().toStdString());
  QCOMPARE(results(), shown);
  QVERIFY(boxes_.isEmpty());
}

void TestTFormMain::calculationFailuresLeaveTheFieldsAsTheyWere_data() {
  QTest::addColumn<QStringList>("rows");
  QTest::addColumn<QString>("message");
  QTest::newRow("empty grid") << QStringList{} << "Invalid floating point operation.";
  QTest::newRow("only texts that are no numbers")
      << QStringList{"abc", "", "1,5"} << "Invalid floating point operation.";
  QTest::newRow("2, -1, -1: zero sum, cubes not")
      << QStringList{"2", "-1", "-1"} << "Floating point division by zero.";
  QTest::newRow("1, -1: zero sum and cubes") << QStringList{"1", "-1"} << "Invalid floating point operation.";
  QTest::newRow("3, -2, -2: negative ratio")
      << QStringList{"3", "-2", "-2"} << "Invalid floating point operation.";
  QTest::newRow("1e103: cubes beyond double") << QStringList{"1e103"} << "Floating point overflow.";
}

void TestTFormMain::calculationFailuresLeaveTheFieldsAsTheyWere() {
  QFETCH(QStringList, rows);
  QFETCH(QString, message);
  setRows({"100"});
  QTest::mouseClick(butCalc(), Qt::LeftButton);
  const QStringList before = results();
  QVERIFY(before == QStringList({"100.00", "100.00", "1"}));

  setRows(rows);
  QTest::mouseClick(butCalc(), Qt::LeftButton);  // through the application's event path

  QCOMPARE(boxes_.size(), 1);
  QCOMPARE(boxes_[0].caption, QStringLiteral("Korvastel"));
  QCOMPARE(boxes_[0].text, message);
  QCOMPARE(results(), before);
  // the program goes on: the next calculation works
  boxes_.clear();
  setRows({"10"});
  triggerFromToolbar(action("ActCalc"));
  QVERIFY(results() == QStringList({"10.00", "10.00", "1"}));
}

void TestTFormMain::editingRecountsButLeavesTheResults() {
  setRows({"100"});
  QTest::mouseClick(butCalc(), Qt::LeftButton);
  editSum()->setText("typed by the user");
  grid()->setFocus();
  QTest::keyClick(grid(), Qt::Key_Down);  // to row 1
  typeKeys("200");
  // a move by keyboard recounts while the cell just left still holds its old text
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
  QCOMPARE(grid()->Cells(0, 1), std::string("200"));
  QCOMPARE(labelCnt()->text(), QStringLiteral("1"));
  typeKeys("300");
  // leaving the grid commits first and then recounts
  editResult()->setFocus();
  QCOMPARE(labelCnt()->text(), QStringLiteral("3"));
  QCOMPARE(editResult()->text(), QStringLiteral("100.00"));
  QCOMPARE(editSum()->text(), QStringLiteral("typed by the user"));
}

void TestTFormMain::clearEmptiesEverythingAndAMoveShowsZero() {
  setRows({"100", "200"});
  grid()->SetCells(0, 3999, "5");
  QTest::mouseClick(butCalc(), Qt::LeftButton);
  QVERIFY(results() == QStringList({"173.21", "305.00", "3"}) || results()[2] == "3");
  grid()->setFocus();
  QTest::keyClick(grid(), Qt::Key_Down);
  QTest::keyClick(grid(), Qt::Key_Down);
  const int rowBefore = grid()->Row();

  triggerFromToolbar(action("ActProjectCreate"));

  for (int row = 0; row < grid()->RowCount(); ++row)
    if (!grid()->Cells(0, row).empty()) QFAIL(qPrintable(QStringLiteral("row %1 not emptied").arg(row)));
  QVERIFY(results() == QStringList({"", "", ""}));  // nothing, not "0"
  QCOMPARE(grid()->Row(), rowBefore);
  QTest::keyClick(grid(), Qt::Key_Up);
  QCOMPARE(labelCnt()->text(), QStringLiteral("0"));
}

void TestTFormMain::clearReloadsAnOpenEditor() {
  setRows({"100"});
  grid()->setFocus();
  typeKeys("55");
  QVERIFY(grid()->EditorMode());
  triggerFromToolbar(action("ActProjectCreate"));  // the toolbar leaves the editor open
  QVERIFY(grid()->EditorMode());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  QCOMPARE(grid()->Cells(0, 0), std::string());
}

void TestTFormMain::menuBarKeyboardModeLeavesTheEditOpen_data() {
  QTest::addColumn<QStringList>("keys");  // pressed after typing "45" into row 0
  QTest::addColumn<QString>("cell");      // row 0 after "6" and Enter, where the edit stays open
  QTest::newRow("Alt, Escape") << QStringList{"Alt", "Escape"} << "456";
  QTest::newRow("F10, Escape") << QStringList{"F10", "Escape"} << "456";
  QTest::newRow("F10, F10") << QStringList{"F10", "F10"} << "456";
  QTest::newRow("Alt, Alt") << QStringList{"Alt", "Alt"} << "456";
  // a control taking the focus from the menu bar still commits the edit
  QTest::newRow("Alt, then a click on the calculate button") << QStringList{"Alt", "ButCalc"} << "45";
}

void TestTFormMain::menuBarKeyboardModeLeavesTheEditOpen() {
  QFETCH(QStringList, keys);
  QFETCH(QString, cell);
  setRows({"100"});
  grid()->setFocus();
  typeKeys("45");
  for (qsizetype i = 0; i < keys.size(); ++i) {
    const QString& key = keys[i];
    QWidget* focused = QApplication::focusWidget();
    if (key == "Alt") {
      QTest::keyPress(focused, Qt::Key_Alt, Qt::AltModifier);
      QTest::keyRelease(focused, Qt::Key_Alt, Qt::NoModifier);
    } else if (key == "ButCalc") {
      QTest::mouseClick(butCalc(), Qt::LeftButton);
    } else {
      QTest::keyClick(focused, key == "F10" ? Qt::Key_F10 : Qt::Key_Escape);
    }
    if (i == 0) QCOMPARE(QApplication::focusWidget(), form_->menuBar());
  }
  if (grid()->EditorMode()) {
    QCOMPARE(QApplication::focusWidget()->parentWidget(), grid()->viewport());  // the editor
    typeKeys("6");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  } else {
    QCOMPARE(editResult()->text(), QStringLiteral("45.00"));
  }
  QCOMPARE(grid()->Cells(0, 0), cell.toStdString());
  QVERIFY(boxes_.isEmpty());
}

// ---- files -----------------------------------------------------------------

void TestTFormMain::openFillsRowsFromTheTopAndRecounts() {
  const QString path = dir_.filePath("three.txt");
  WriteBytes(path, "100\r\nabc\r\n300\r\n");
  setRows(QStringList(10, QStringLiteral("9")));
  editResult()->setText("kept");
  answerDialogsWith(path);

  triggerFromToolbar(action("ActProjectOpen"));

  QVERIFY(boxes_.isEmpty());
  QCOMPARE(grid()->Cells(0, 0), std::string("100"));
  QCOMPARE(grid()->Cells(0, 1), std::string("abc"));
  QCOMPARE(grid()->Cells(0, 2), std::string("300"));
  for (int row = 3; row < 10; ++row) QCOMPARE(grid()->Cells(0, row), std::string("9"));
  QCOMPARE(labelCnt()->text(), QStringLiteral("9"));
  QCOMPARE(editResult()->text(), QStringLiteral("kept"));
  QVERIFY(QApplication::overrideCursor() == nullptr);
}

void TestTFormMain::openOfAMissingFileShowsFileNotFound() {
  setRows({"7"});
  labelCnt()->setText("1");
  answerDialogsWith(dir_.filePath("no such file.txt"));
  triggerFromMenu(action("ActProjectOpen"));
  QCOMPARE(boxes_.size(), 1);
  QCOMPARE(boxes_[0].caption, QStringLiteral("Korvastel"));
  QCOMPARE(boxes_[0].text, QStringLiteral("File not found."));
  QCOMPARE(grid()->Cells(0, 0), std::string("7"));
  QCOMPARE(labelCnt()->text(), QStringLiteral("1"));
  QVERIFY(QApplication::overrideCursor() == nullptr);  // the busy cursor went with the error
  // the menu that started the failed command still works
  triggerFromMenu(action("ActCalc"));
  QCOMPARE(editResult()->text(), QStringLiteral("7.00"));
  triggerFromMenu(action("ActProjectCreate"));
  QCOMPARE(editResult()->text(), QString());
}

void TestTFormMain::cancelledDialogsChangeNothing() {
  const QString before = dir_.filePath("cancelled.txt");
  setRows({"100"});
  answerDialogsWith(std::nullopt);
  triggerFromToolbar(action("ActProjectOpen"));
  triggerFromToolbar(action("ActProjectSave"));
  QCOMPARE(requests_.size(), 2);
  QVERIFY(boxes_.isEmpty());
  QCOMPARE(grid()->Cells(0, 0), std::string("100"));
  QCOMPARE(labelCnt()->text(), QString());
  QVERIFY(QDir(dir_.path()).entryList(QDir::Files).filter("cancelled").isEmpty());
}

void TestTFormMain::eachDialogStartsWithTheNameLastChosenInIt() {
  const QString first = dir_.filePath("first.txt");
  const QString second = dir_.filePath("second.txt");
  WriteBytes(first, "1\r\n");
  WriteBytes(second, "2\r\n");
  answerDialogsWith(first);
  triggerFromToolbar(action("ActProjectOpen"));
  answerDialogsWith(second);
  triggerFromToolbar(action("ActProjectOpen"));
  answerDialogsWith(std::nullopt);
  triggerFromToolbar(action("ActProjectOpen"));  // a cancel keeps the last name
  triggerFromToolbar(action("ActProjectOpen"));
  triggerFromToolbar(action("ActProjectSave"));

  QCOMPARE(requests_.size(), 5);
  QCOMPARE(requests_[0].initialName, QString());
  QCOMPARE(requests_[1].initialName, first);
  QCOMPARE(requests_[2].initialName, second);
  QCOMPARE(requests_[3].initialName, second);
  QCOMPARE(requests_[4].initialName, QString());  // the save dialog keeps its own name
}

void TestTFormMain::saveWritesTheValidRowsAsTyped() {
  const QString path = dir_.filePath("saved.txt");
  WriteBytes(path, "old contents that are longer\r\n");
  setRows({"abc", "", "7.25", "12", " 5 "});
  answerDialogsWith(path);
  triggerFromMenu(action("ActProjectSave"));
  QVERIFY(boxes_.isEmpty());
  QCOMPARE(ReadBytes(path), QByteArray("7.25\r\n12\r\n 5 \r\n"));
  QCOMPARE(grid()->Cells(0, 0), std::string("abc"));
  QVERIFY(QApplication::overrideCursor() == nullptr);
}

void TestTFormMain::saveFromTheToolbarLeavesAnOpenEditAlone() {
  const QString path = dir_.filePath("open-edit.txt");
  typeIntoGrid({"100", "200"}, true);
  answerDialogsWith(path);
  triggerFromToolbar(action("ActProjectSave"));
  QCOMPARE(ReadBytes(path), QByteArray("100\r\n"));
  QVERIFY(grid()->EditorMode());
}

namespace {

#if defined(Q_OS_WIN)

// Windows knows no file-size limit; a disk that fills up makes the write
// fail part-way just as well.
void LimitWritesTo64Bytes(bool limited) {
  if (limited)
    FailWindowsWritesPast(64);
  else
    RestoreWindowsFileCalls();
}

constexpr int kWriteLimitError = ERROR_DISK_FULL;

#else

// A file-size limit makes the write fail part-way, even for root; the
// program itself keeps the limit's signal from ending it.
void LimitWritesTo64Bytes(bool limited) {
  static rlimit previous{};
  if (limited) {
    getrlimit(RLIMIT_FSIZE, &previous);
    rlimit limit = previous;
    limit.rlim_cur = 64;
    setrlimit(RLIMIT_FSIZE, &limit);
  } else {
    setrlimit(RLIMIT_FSIZE, &previous);
  }
}

constexpr int kWriteLimitError = EFBIG;

#endif

}  // namespace

void TestTFormMain::failedSaveLeavesTheOldFile() {
  const QString path = dir_.filePath("limited.txt");
  WriteBytes(path, "old\r\n");
  const QStringList filesBefore = QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden);
  QStringList rows;
  for (int i = 0; i < 100; ++i) rows << QStringLiteral("1234567.%1").arg(i);
  setRows(rows);
  answerDialogsWith(path);

  LimitWritesTo64Bytes(true);
  triggerFromToolbar(action("ActProjectSave"));
  LimitWritesTo64Bytes(false);

  QCOMPARE(boxes_.size(), 1);
  QCOMPARE(boxes_[0].caption, QStringLiteral("Korvastel"));
  QCOMPARE(boxes_[0].text, QStringLiteral("I/O error %1.").arg(kWriteLimitError));
  QCOMPARE(ReadBytes(path), QByteArray("old\r\n"));
  QCOMPARE(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden),
           filesBefore);  // nothing half-written left
  QVERIFY(QApplication::overrideCursor() == nullptr);
  // the program goes on: the same save works once the disk takes it
  triggerFromToolbar(action("ActProjectSave"));
  QCOMPARE(boxes_.size(), 1);
  QVERIFY(ReadBytes(path).startsWith("1234567.0\r\n1234567.1\r\n"));
  QCOMPARE(grid()->Cells(0, 99), std::string("1234567.99"));
}

void TestTFormMain::openDialogAcceptsANameThatDoesNotExist() {
  const QString missing = dir_.filePath("typed but missing.txt");
  QFileDialog dialog;
  TSpanFileDialog::Configure(dialog, TSpanFileDialog::Purpose::Open, QString());
  dialog.setDirectory(dir_.path());
  dialog.show();
  QVERIFY(QTest::qWaitForWindowActive(&dialog));
  auto* nameEdit = dialog.findChild<QLineEdit*>("fileNameEdit");
  QVERIFY(nameEdit);
  QTest::keyClicks(nameEdit, "typed but missing.txt");
  QTest::keyClick(nameEdit, Qt::Key_Return);
  QCOMPARE(dialog.result(), int(QDialog::Accepted));
  QCOMPARE(dialog.selectedFiles(), QStringList({missing}));
}

void TestTFormMain::saveDialogAddsTxtAndAsksNoOverwriteQuestion() {
  // a question box would block accept(): close whatever modal window appears
  QTimer guard;
  connect(&guard, &QTimer::timeout, [] {
    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
  });
  guard.start(500);
  const QString existing = dir_.filePath("existing.txt");
  WriteBytes(existing, "x\r\n");
  {
    QFileDialog dialog;
    TSpanFileDialog::Configure(dialog, TSpanFileDialog::Purpose::Save, existing);
    dialog.show();
    static_cast<QDialog&>(dialog).accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.selectedFiles(), QStringList({existing}));
  }
  {
    QFileDialog dialog;
    TSpanFileDialog::Configure(dialog, TSpanFileDialog::Purpose::Save, dir_.filePath("spans"));
    dialog.show();
    static_cast<QDialog&>(dialog).accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.selectedFiles(), QStringList({dir_.filePath("spans.txt")}));
  }
}

// ---- About, help, exit -----------------------------------------------------

void TestTFormMain::aboutIsShownOnceAndBroughtToTheFront() {
  TFormAbout* about = app()->FormAbout();
  triggerFromToolbar(action("ActAbout"));
  QTRY_VERIFY(about->isVisible());
  form_->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(form_));
  triggerFromToolbar(action("ActAbout"));
  QTRY_VERIFY(about->isActiveWindow());
  const QWidgetList windows = QApplication::topLevelWidgets();
  QCOMPARE(std::count_if(windows.begin(), windows.end(),
                         [](QWidget* w) { return qobject_cast<TFormAbout*>(w) && w->isVisible(); }),
           1);
  // the main window stays usable meanwhile
  setRows({"100"});
  triggerFromToolbar(action("ActCalc"));
  QCOMPARE(editResult()->text(), QStringLiteral("100.00"));
}

void TestTFormMain::helpHandsTheHelpFileToTheDesktop() {
  triggerFromToolbar(action("ActHelp"));
#if !defined(Q_OS_WIN)
  // the window stays live while the desktop is asked for a viewer (Windows'
  // shell is handed the document at once, and itself reports a missing viewer)
  QVERIFY(!helpAnswered());
#endif
  QTRY_VERIFY_WITH_TIMEOUT(helpAnswered(), 10000);
  // the build puts both beside the program, as the package installs them
  QCOMPARE(openedDocuments_, helpFiles());
  QVERIFY(boxes_.isEmpty());  // no viewer, no message
  QVERIFY(form_->isVisible());
}

void TestTFormMain::exitClosesWithoutAsking() {
  setRows({"100"});
  triggerFromToolbar(action("ActExit"));
  QTRY_VERIFY(!form_->isVisible());
  QVERIFY(boxes_.isEmpty());
  QVERIFY(QApplication::activeModalWidget() == nullptr);
}

int main(int argc, char** argv) {
  TApplication application(argc, argv);
  // the tests close the main window and carry on
  application.setQuitOnLastWindowClosed(false);
  TestTFormMain test;
  QTEST_SET_MAIN_SOURCE_PATH
  return QTest::qExec(&test, argc, argv);
}

#include "tst_tformmain.moc"
