#pragma once

#include <QMainWindow>
#include <QString>
#include <deque>
#include <functional>
#include <memory>

#include "core/SpanColumn.h"

class QAction;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QShowEvent;
class TCaptionPanel;
class TFormAbout;
class TGradientToolBar;
class TSpanFileDialog;
class TStringAlignGrid;

// The program's working window: the spans grid, the seven commands on the
// menu, the toolbar and the calculate button, the three result fields and the
// status line. Every command is one action with one handler, whichever surface
// starts it. A handler's failure is not dealt with here: it goes, as it is,
// to the application's one error box (see FailureReport.h).
class TFormMain : public QMainWindow {
  Q_OBJECT
 public:
  // Sizes at 96 dpi, in device-independent pixels.
  static constexpr int kClientWidth = 418;
  static constexpr int kClientHeightBelowMenu = 520;
  static constexpr int kStatusBarHeight = 19;
  static constexpr int kLeftColumnWidth = 145;
  static constexpr int kCaptionHeight = 27;

  explicit TFormMain(QWidget* parent = nullptr);
  ~TFormMain() override;

  // The About window the show step writes the title into; the application
  // creates it right after this window.
  void SetFormAbout(TFormAbout* formAbout);

  // The program's directory with a trailing "/", known from the first show.
  const QString& AppDirectory() const;

 protected:
  void showEvent(QShowEvent* event) override;
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void CreateActions();
  void CreateMenus();
  void CreateToolBar();
  void CreateWidgets();
  void CreateLeftColumn(QWidget* panel);
  void CreateRightControls(QWidget* panel);
  void CreateStatusBar();
  void CreateTabOrder();
  QAction* CreateAction(const char* name, const QString& caption, const char* category, const char* icon);
  void LinkButtonToAction(QPushButton* button, QAction* action);
  using Handler = void (TFormMain::*)();
  // An action's handler as Qt may call it: one command at a time, its
  // failure to the error report.
  std::function<void()> Command(Handler handler);
  void RunCommand(Handler handler);
  // A handler as Qt may call it: its failure goes to the error report.
  std::function<void()> Guarded(Handler handler);
  void RunGuarded(const std::function<void()>& work);

  void FormShow();
  void PlaceOnDesktopOnce();
  void ToggleMenuKeyboardMode();

  void ActClear();
  void ActProjectOpenExecute();
  void ActProjectSaveExecute();
  void ActExitExecute();
  void ActAboutExecute();
  void ActCalcExecute();
  void ActHelpExecute();
  void GridSelectCell(int ACol, int ARow, bool& CanSelect);
  void GridExit();

  void RefreshSpanCount();
  void SetLabelCnt(const QString& text);

  // the one store of the span texts; declared before the grid that edits it
  korvastel::SpanColumn column_;

  QAction* ActProjectCreate = nullptr;
  QAction* ActProjectOpen = nullptr;
  QAction* ActProjectSave = nullptr;
  QAction* ActExit = nullptr;
  QAction* ActAbout = nullptr;
  QAction* ActCalc = nullptr;
  QAction* ActHelp = nullptr;

  TGradientToolBar* ToolBar1 = nullptr;
  TCaptionPanel* PanelProjectName = nullptr;
  TStringAlignGrid* Grid = nullptr;
  QLabel* LabelCnt = nullptr;
  QPushButton* ButCalc = nullptr;
  QLineEdit* EditResult = nullptr;
  QLineEdit* EditSum = nullptr;

  std::unique_ptr<TSpanFileDialog> OpenProject;
  std::unique_ptr<TSpanFileDialog> SaveProject;
  TFormAbout* FormAbout = nullptr;
  QString appDirectory_;
  bool placed_ = false;
  bool commandRunning_ = false;
  std::deque<Handler> waitingCommands_;
};
