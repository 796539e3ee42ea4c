#pragma once

#include <QDialog>
#include <QPoint>

class QLabel;
class QMouseEvent;
class QHideEvent;
class QResizeEvent;

// The About window: the program's name, version, subtitle and credits on the
// button-face colour, 350 x 337 pixels of client area, with a close box only.
//
// It is created hidden at start-up and lives until the program ends. The
// About command shows it without making it modal; a left click on its free
// client area (not on a label) or its close box hides it again. The first
// show centres it over the main window, later shows open it where the user
// left it.
class TFormAbout : public QDialog {
  Q_OBJECT

 public:
  explicit TFormAbout(QWidget* mainWindow = nullptr);

  // The name strip at the top; the main window writes the application title
  // into it each time it is shown.
  QLabel* LabelProgName() const;

  // Shows the window and brings it to the front. An open window is only
  // brought to the front: there is never a second copy.
  void ShowAbout();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void CreateLabels();
  QLabel* AddLabel(const QString& text, const QFont& font, Qt::Alignment alignment);
  void PlaceAutoSized(QLabel* label, int left, int top);
  void DockBottomLabels();
  QPoint CentreOverMainWindow() const;

  QWidget* mainWindow_;
  QLabel* labelProgName_ = nullptr;
  QLabel* labelVersion_ = nullptr;
  QLabel* label3_ = nullptr;
  QLabel* label6_ = nullptr;
  QLabel* label7_ = nullptr;
  QLabel* labelAuthor_ = nullptr;
  QLabel* label9_ = nullptr;
  QLabel* label4_ = nullptr;
  QLabel* label5_ = nullptr;

  bool shownBefore_ = false;
  QPoint lastPosition_;
  bool leftPressedOnForm_ = false;
};
