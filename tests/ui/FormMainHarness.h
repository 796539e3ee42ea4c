#pragma once

// The main window as the window tests drive it: built inside the program's
// own application object, its controls reached by their names, the file
// dialogs answered and the error boxes recorded, input sent as real clicks
// and keys.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>
#include <optional>
#include <string>

#include "app/ErrorReport.h"
#include "app/TApplication.h"
#include "ui/TSpanFileDialog.h"
#include "ui/UFormMain.h"
#include "ui/grid/TStringAlignGrid.h"

struct ShownBox {
  QString caption;
  QString text;
};

inline QByteArray ReadBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline void WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QCOMPARE(file.write(bytes), bytes.size());
}

class FormMainHarness {
 protected:
  // From the fixture (initTestCase() or init(), and their partners): every
  // error box meanwhile is recorded in boxes_ instead of being shown.
  void startRecordingBoxes() {
    previousPresenter_ = SetErrorBoxPresenter([this](const QString& caption, const QString& text) {
      boxes_.append({caption, text});
    });
  }
  void stopRecordingBoxes() { SetErrorBoxPresenter(previousPresenter_); }

  // From init(): a fresh main window, shown and active, whose file dialogs
  // are not expected until a test answers them.
  void buildWindow() {
    boxes_.clear();
    requests_.clear();
    previousAsker_ = TSpanFileDialog::SetAsker([](const TSpanFileDialog::Request&) -> std::optional<QString> {
      qWarning("unexpected file dialog");
      return std::nullopt;
    });
    app()->CreateForms();
    form_ = app()->FormMain();
    form_->show();
    QVERIFY(QTest::qWaitForWindowActive(form_));
  }
  // From cleanup().
  void restoreDialogs() { TSpanFileDialog::SetAsker(previousAsker_); }

  TApplication* app() const { return static_cast<TApplication*>(qApp); }
  template <class T>
  T* control(const char* name) const {
    T* widget = form_->findChild<T*>(QLatin1String(name));
    if (!widget) qFatal("no control %s", name);
    return widget;
  }
  TStringAlignGrid* grid() const { return control<TStringAlignGrid>("Grid"); }
  QLineEdit* editResult() const { return control<QLineEdit>("EditResult"); }
  QLineEdit* editSum() const { return control<QLineEdit>("EditSum"); }
  QLabel* labelCnt() const { return control<QLabel>("LabelCnt"); }
  QPushButton* butCalc() const { return control<QPushButton>("ButCalc"); }
  QAction* action(const char* name) const { return control<QAction>(name); }
  // EditResult, EditSum and LabelCnt as shown.
  QStringList results() const { return {editResult()->text(), editSum()->text(), labelCnt()->text()}; }

  QToolButton* toolButtonFor(QAction* action) const {
    for (QToolButton* button : control<QWidget>("ToolBar1")->findChildren<QToolButton*>())
      if (button->defaultAction() == action) return button;
    return nullptr;
  }
  QMenu* menuHolding(QAction* action) const {
    for (QMenu* menu : form_->menuBar()->findChildren<QMenu*>())
      if (menu->actions().contains(action)) return menu;
    return nullptr;
  }
  void triggerFromToolbar(QAction* action) {
    QToolButton* button = toolButtonFor(action);
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
  }
  void triggerFromMenu(QAction* action) {
    QMenu* menu = menuHolding(action);
    QVERIFY(menu);
    QMenuBar* bar = form_->menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
    QTRY_VERIFY(menu->isVisible());
    // a menu takes a release for a choice only once the pointer has moved
    // over it as a user's does, in several small steps (Qt 6.8)
    const QRect item = menu->actionGeometry(action);
    for (int step = 8; step >= 0; --step)
      QTest::mouseMove(menu, item.center() - QPoint(item.width() * step / 20, 0));
    QTRY_COMPARE(menu->activeAction(), action);
    QTest::mouseClick(menu, Qt::LeftButton, {}, item.center());
    QTRY_VERIFY(!menu->isVisible());
  }

  // One key per character, to whatever has the focus.
  void typeKeys(const QString& text) {
    for (QChar ch : text) QTest::keyClick(QApplication::focusWidget(), ch.toLatin1());
  }
  // Types each row's text into the grid from its current row on, moving down
  // with the Down key; the last text stays in the editor when asked to.
  void typeIntoGrid(const QStringList& rows, bool leaveLastInEditor) {
    grid()->setFocus();
    QVERIFY(grid()->hasFocus());
    for (qsizetype i = 0; i < rows.size(); ++i) {
      typeKeys(rows[i]);
      if (i + 1 < rows.size() || !leaveLastInEditor)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    }
  }
  // The given texts from row 0 on, every other row emptied.
  void setRows(const QStringList& rows) {
    for (int row = 0; row < grid()->RowCount(); ++row)
      grid()->SetCells(0, row, row < rows.size() ? rows[row].toStdString() : std::string());
  }
  // Every file dialog from now on is answered with `answer` (nothing: cancelled).
  void answerDialogsWith(std::optional<QString> answer) {
    TSpanFileDialog::SetAsker([this, answer](const TSpanFileDialog::Request& request) {
      requests_.append(request);
      return answer;
    });
  }

  TFormMain* form_ = nullptr;
  QList<ShownBox> boxes_;
  QList<TSpanFileDialog::Request> requests_;

 private:
  ErrorBoxPresenter previousPresenter_;
  TSpanFileDialog::Asker previousAsker_;
};
