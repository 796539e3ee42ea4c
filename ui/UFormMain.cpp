#include "ui/UFormMain.h"

#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QShowEvent>
#include <QStatusBar>
#include <QToolButton>
#include <algorithm>
#include <string>
#include <vector>

#include "core/Core.h"
#include "ui/DesignFont.h"
#include "ui/FailureReport.h"
#include "ui/HelpLauncher.h"
#include "ui/ProgramIcons.h"
#include "ui/TBusyCursor.h"
#include "ui/TCaptionPanel.h"
#include "ui/TGradientToolBar.h"
#include "ui/TSpanFileDialog.h"
#include "ui/UFormAbout.h"
#include "ui/grid/TStringAlignGrid.h"

namespace {

// The font of every text-bearing control of the working area.
QFont WorkingAreaFont() { return DesignFont(DesignFace::Arial, 13, QFont::Bold); }

QFont WindowFont() { return DesignFont(DesignFace::MsSansSerif, 11); }

QString FromCore(const std::string& text) { return QString::fromStdString(text); }

// The name as the core takes it: the file system's own bytes on Linux, UTF-8
// on Windows (where the core hands it to the wide API, so that any name works
// whatever the ANSI code page).
std::string LocalPath(const QString& path) {
#if defined(Q_OS_WIN)
  return path.toStdString();
#else
  return QFile::encodeName(path).toStdString();
#endif
}

}  // namespace

TFormMain::TFormMain(QWidget* parent)
    : QMainWindow(parent),
      OpenProject(std::make_unique<TSpanFileDialog>(TSpanFileDialog::Purpose::Open, this)),
      SaveProject(std::make_unique<TSpanFileDialog>(TSpanFileDialog::Purpose::Save, this)) {
  setObjectName(QStringLiteral("FormMain"));
  setWindowTitle(QStringLiteral("Korvastel"));
  setFont(WindowFont());
  // no toolbar or dock toggles on a right click: the window has none to offer
  setContextMenuPolicy(Qt::NoContextMenu);
  CreateActions();
  CreateMenus();
  CreateToolBar();
  CreateWidgets();
  CreateStatusBar();
  CreateTabOrder();
  resize(kClientWidth, menuBar()->sizeHint().height() + kClientHeightBelowMenu);
}

TFormMain::~TFormMain() {
  // The grid edits column_, which dies before the QWidget base closes this
  // window and deletes the children, and closing moves the focus out of the
  // grid (a commit, an exit notice). Let the grid go while the store lives.
  disconnect(Grid, nullptr, this, nullptr);
  delete Grid;
}

void TFormMain::SetFormAbout(TFormAbout* formAbout) { FormAbout = formAbout; }

const QString& TFormMain::AppDirectory() const { return appDirectory_; }

QAction* TFormMain::CreateAction(const char* name, const QString& caption, const char* category,
                                 const char* icon) {
  auto* action = new QAction(ProgramIcon(QLatin1String(icon)), caption, this);
  action->setObjectName(QLatin1String(name));
  action->setToolTip(caption);  // the hint is the caption
  // the menu shows the pictures too, also where the desktop hides menu icons
  action->setIconVisibleInMenu(true);
  action->setProperty("category", QLatin1String(category));
  return action;
}

void TFormMain::CreateActions() {
  ActProjectCreate = CreateAction("ActProjectCreate", QStringLiteral("Очистить"), "Project", "clear");
  ActProjectOpen = CreateAction("ActProjectOpen", QStringLiteral("Открыть файл"), "Project", "open");
  ActProjectSave = CreateAction("ActProjectSave", QStringLiteral("Сохранить файл"), "Project", "save");
  ActExit = CreateAction("ActExit", QStringLiteral("Выход"), "Project", "exit");
  ActAbout = CreateAction("ActAbout", QStringLiteral("О программе"), "Help", "about");
  ActCalc = CreateAction("ActCalc", QStringLiteral("Расчёт"), "Calc", "calc");
  ActHelp = CreateAction("ActHelp", QStringLiteral("Помощь"), "Help", "help");

  connect(ActProjectCreate, &QAction::triggered, this, Command(&TFormMain::ActClear));
  connect(ActProjectOpen, &QAction::triggered, this, Command(&TFormMain::ActProjectOpenExecute));
  connect(ActProjectSave, &QAction::triggered, this, Command(&TFormMain::ActProjectSaveExecute));
  connect(ActExit, &QAction::triggered, this, Command(&TFormMain::ActExitExecute));
  connect(ActAbout, &QAction::triggered, this, Command(&TFormMain::ActAboutExecute));
  connect(ActCalc, &QAction::triggered, this, Command(&TFormMain::ActCalcExecute));
  connect(ActHelp, &QAction::triggered, this, Command(&TFormMain::ActHelpExecute));
}

void TFormMain::CreateMenus() {
  QMenuBar* mainMenu = menuBar();
  mainMenu->setObjectName(QStringLiteral("MainMenu1"));

  QMenu* file = mainMenu->addMenu(QStringLiteral("Файл"));
  file->setObjectName(QStringLiteral("N1"));
  file->addAction(ActProjectCreate);
  file->addAction(ActProjectOpen);
  file->addAction(ActProjectSave);
  file->addSeparator()->setObjectName(QStringLiteral("N5"));
  file->addAction(ActExit);

  QMenu* calc = mainMenu->addMenu(QStringLiteral("Расчёт"));
  calc->setObjectName(QStringLiteral("N3"));
  calc->addAction(ActCalc);

  QMenu* help = mainMenu->addMenu(QStringLiteral("Помощь"));
  help->setObjectName(QStringLiteral("N2"));
  help->addAction(ActAbout);
  help->addAction(ActHelp);
}

void TFormMain::CreateToolBar() {
  ToolBar1 = new TGradientToolBar(this);
  ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar1->setAccessibleName(QStringLiteral("Панель инструментов"));
  ToolBar1->AddToolButton(ActProjectCreate, 4);
  ToolBar1->AddToolButton(ActProjectOpen, 29);
  ToolBar1->AddToolButton(ActProjectSave, 54)->setObjectName(QStringLiteral("ToolSave"));
  ToolBar1->AddSpacer(79, 80);
  ToolBar1->AddToolButton(ActCalc, 159);
  ToolBar1->AddSpacer(184, 96);
  ToolBar1->AddToolButton(ActAbout, 280);
  ToolBar1->AddToolButton(ActHelp, 305);
  ToolBar1->AddSpacer(330, 47);
  ToolBar1->AddToolButton(ActExit, 377);
}

void TFormMain::CreateWidgets() {
  // the toolbar lies in the client area's own column, not in a toolbar dock:
  // its buttons then sit exactly where they are placed, on every style
  auto* client = new QWidget(this);
  auto* clientLayout = new QVBoxLayout(client);
  clientLayout->setContentsMargins(0, 0, 0, 0);
  clientLayout->setSpacing(0);
  clientLayout->addWidget(ToolBar1);

  auto* panel1 = new QWidget(client);
  panel1->setObjectName(QStringLiteral("Panel1"));
  auto* panel1Layout = new QVBoxLayout(panel1);
  panel1Layout->setContentsMargins(0, 0, 0, 0);
  auto* workPanel = new QWidget(panel1);
  workPanel->setObjectName(QStringLiteral("PanelWork"));
  panel1Layout->addWidget(workPanel);
  clientLayout->addWidget(panel1, 1);

  CreateLeftColumn(workPanel);
  CreateRightControls(workPanel);
  setCentralWidget(client);
}

void TFormMain::CreateLeftColumn(QWidget* panel) {
  auto* column = new QWidget(panel);
  column->setObjectName(QStringLiteral("PanelLeft"));
  column->setFixedWidth(kLeftColumnWidth);
  auto* columnLayout = new QVBoxLayout(column);
  columnLayout->setContentsMargins(0, 0, 0, 0);
  columnLayout->setSpacing(0);

  PanelProjectName = new TCaptionPanel(QStringLiteral("Длина пролёта, м"), column);
  PanelProjectName->setObjectName(QStringLiteral("PanelProjectName"));
  PanelProjectName->setFont(WorkingAreaFont());
  PanelProjectName->setFixedHeight(kCaptionHeight);
  columnLayout->addWidget(PanelProjectName);

  Grid = new TStringAlignGrid(column_, column);
  Grid->setObjectName(QStringLiteral("Grid"));
  Grid->setAccessibleName(QStringLiteral("Длина пролёта, м"));
  columnLayout->addWidget(Grid, 1);
  connect(Grid, &TStringAlignGrid::OnSelectCell, this, [this](int ACol, int ARow, bool& CanSelect) {
    RunGuarded([&] { GridSelectCell(ACol, ARow, CanSelect); });
  });
  connect(Grid, &TStringAlignGrid::OnExit, this, Guarded(&TFormMain::GridExit));

  auto* panelLayout = new QHBoxLayout(panel);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  panelLayout->addWidget(column);
  panelLayout->addStretch(1);
}

void TFormMain::CreateRightControls(QWidget* panel) {
  // fixed places: these keep their positions and sizes when the window is resized
  const QFont font = WorkingAreaFont();
  auto place = [&](QWidget* widget, const char* name, QRect geometry) {
    widget->setObjectName(QLatin1String(name));
    widget->setFont(font);
    widget->setGeometry(geometry);
  };

  place(new TCaptionPanel(QStringLiteral("Число пролётов"), panel), "PanelCount", {159, 0, 175, 27});

  LabelCnt = new QLabel(panel);
  place(LabelCnt, "LabelCnt", {342, 1, 54, 25});
  LabelCnt->setAlignment(Qt::AlignCenter);
  LabelCnt->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  LabelCnt->setLineWidth(1);
  LabelCnt->setAccessibleDescription(QStringLiteral("Число пролётов"));

  ButCalc = new QPushButton(panel);
  place(ButCalc, "ButCalc", {159, 34, 242, 25});
  LinkButtonToAction(ButCalc, ActCalc);
  // Enter presses the focused button, as Space does, on every desktop
  ButCalc->setAutoDefault(true);

  place(new TCaptionPanel(QStringLiteral("Приведённый пролёт, м"), panel), "PanelResult", {159, 77, 242, 27});
  EditResult = new QLineEdit(panel);
  place(EditResult, "EditResult", {159, 112, 242, 24});
  EditResult->setAccessibleName(QStringLiteral("Приведённый пролёт, м"));

  place(new TCaptionPanel(QStringLiteral("Сумма введённых пролётов, м"), panel), "PanelSum",
        {159, 152, 242, 27});
  EditSum = new QLineEdit(panel);
  place(EditSum, "EditSum", {159, 187, 242, 24});
  EditSum->setAccessibleName(QStringLiteral("Сумма введённых пролётов, м"));
}

void TFormMain::LinkButtonToAction(QPushButton* button, QAction* action) {
  // a push button has no action of its own: caption, enabled state and click
  // follow the action, and no tooltip is shown
  auto follow = [button, action] {
    button->setText(action->text());
    button->setEnabled(action->isEnabled());
  };
  follow();
  connect(action, &QAction::changed, button, follow);
  connect(button, &QPushButton::clicked, action, &QAction::trigger);
}

void TFormMain::CreateStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("StatusBar1"));
  bar->setFixedHeight(kStatusBarHeight);
  // one fixed line about the program for the whole run
  auto* line = new QLabel(QStringLiteral("Korvastel — расчёт приведённого пролёта воздушных линий"), bar);
  line->setObjectName(QStringLiteral("StatusLine"));
  bar->addWidget(line, 1);
}

void TFormMain::CreateTabOrder() {
  QWidget::setTabOrder(Grid, ButCalc);
  QWidget::setTabOrder(ButCalc, EditResult);
  QWidget::setTabOrder(EditResult, EditSum);
}

std::function<void()> TFormMain::Command(Handler handler) {
  return [this, handler] { RunCommand(handler); };
}

void TFormMain::RunCommand(Handler handler) {
  // A command asked for while another runs (a screen reader pressing a button
  // while a file dialog is open, or while the busy cursor lets the loop turn)
  // waits until that one has finished: no command ever starts inside another.
  if (commandRunning_) {
    waitingCommands_.push_back(handler);
    return;
  }
  for (;;) {
    RunGuarded([this, handler] {
      const QScopedValueRollback running(commandRunning_, true);
      (this->*handler)();
    });
    if (waitingCommands_.empty()) return;
    handler = waitingCommands_.front();
    waitingCommands_.pop_front();
  }
}

std::function<void()> TFormMain::Guarded(Handler handler) {
  return [this, handler] { RunGuarded([this, handler] { (this->*handler)(); }); };
}

void TFormMain::RunGuarded(const std::function<void()>& work) {
  try {
    work();
  } catch (...) {
    ReportFailure(std::current_exception(), this);
  }
}

bool TFormMain::event(QEvent* event) {
  // the status line is fixed for the whole run: menus and buttons passing
  // their (empty) status tips must not blank it
  if (event->type() == QEvent::StatusTip) return true;
  return QMainWindow::event(event);
}

void TFormMain::keyPressEvent(QKeyEvent* event) {
  // F10 does what a lone Alt does: the menu bar takes the keyboard with its
  // first menu marked, and hands it back on Escape or a second F10. Controls
  // pass the key up to the window, since none of them uses it.
  if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::NoModifier) {
    ToggleMenuKeyboardMode();
    event->accept();
    return;
  }
  QMainWindow::keyPressEvent(event);
}

void TFormMain::ToggleMenuKeyboardMode() {
  // The menu bar knows a lone Alt by the shortcut check of its press, which
  // reports Alt held, and by its release. Qt reports a modifier key's own
  // modifier as the state after the key, so the press is built with whichever
  // state makes it report Alt held.
  Qt::KeyboardModifiers pressState = Qt::NoModifier;
  if (QKeyEvent(QEvent::ShortcutOverride, Qt::Key_Alt, pressState).modifiers() != Qt::AltModifier)
    pressState = Qt::AltModifier;
  QKeyEvent altPressed(QEvent::ShortcutOverride, Qt::Key_Alt, pressState);
  QCoreApplication::sendEvent(this, &altPressed);
  QKeyEvent altReleased(QEvent::KeyRelease, Qt::Key_Alt, Qt::AltModifier);
  QCoreApplication::sendEvent(this, &altReleased);
}

void TFormMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // a restore from minimised is no new show
  if (event->spontaneous()) return;
  // placed also when a show step fails: the window is then shown all the same
  RunGuarded([this] { FormShow(); });
  PlaceOnDesktopOnce();
}

void TFormMain::FormShow() {
  korvastel::SetDecimalSeparator('.');
  const QString title = QApplication::applicationDisplayName();
  setWindowTitle(title + QStringLiteral(" - Расчёт приведённого пролёта"));
  if (FormAbout) FormAbout->LabelProgName()->setText(title);
  appDirectory_ = QCoreApplication::applicationDirPath() + QLatin1Char('/');
}

void TFormMain::PlaceOnDesktopOnce() {
  if (placed_) return;
  placed_ = true;
  // centred on all screens together, not on the primary one alone
  QRect desktop;
  for (const QScreen* screen : QGuiApplication::screens()) desktop |= screen->availableGeometry();
  QRect frame = frameGeometry();
  frame.moveCenter(desktop.center());
  move(frame.topLeft());
}

void TFormMain::ActClear() {
  for (int row = 0; row < Grid->RowCount(); ++row) Grid->SetCells(0, row, std::string());
  EditResult->clear();
  EditSum->clear();
  SetLabelCnt(QString());  // nothing, not "0"
}

void TFormMain::ActProjectOpenExecute() {
  if (!OpenProject->Execute()) return;
  const TBusyCursor busy;
  std::vector<std::string> texts = korvastel::ReadSpanFile(LocalPath(OpenProject->FileName()));
  // the file is read whole before any row changes: a failed open changes nothing
  const int rows = static_cast<int>(std::min<std::size_t>(texts.size(), Grid->RowCount()));
  for (int row = 0; row < rows; ++row) Grid->SetCells(0, row, std::move(texts[row]));
  RefreshSpanCount();
}

void TFormMain::ActProjectSaveExecute() {
  if (!SaveProject->Execute()) return;
  const TBusyCursor busy;
  korvastel::WriteSpanFile(LocalPath(SaveProject->FileName()), column_);
}

void TFormMain::ActExitExecute() { close(); }

void TFormMain::ActAboutExecute() {
  if (FormAbout) FormAbout->ShowAbout();
}

void TFormMain::ActHelpExecute() { OpenHelpFile(appDirectory_); }

void TFormMain::ActCalcExecute() {
  // taking the focus makes the grid commit an open edit and recount first
  ButCalc->setFocus(Qt::OtherFocusReason);
  // computed whole before any field is written: a failure leaves all three as they were
  const korvastel::RulingSpanResult result = korvastel::CalculateRulingSpan(column_);
  EditResult->setText(FromCore(result.RulingSpanText()));
  EditSum->setText(FromCore(result.SumText()));
  SetLabelCnt(FromCore(result.CountText()));
}

void TFormMain::GridSelectCell(int, int, bool&) { RefreshSpanCount(); }

void TFormMain::GridExit() { RefreshSpanCount(); }

void TFormMain::RefreshSpanCount() { SetLabelCnt(QString::number(korvastel::CountValidSpans(column_))); }

void TFormMain::SetLabelCnt(const QString& text) {
  LabelCnt->setText(text);
  // screen readers read the count itself; the description says what it counts
  LabelCnt->setAccessibleName(text);
}
