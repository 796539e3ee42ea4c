#include "ui/TBusyCursor.h"

#include <QApplication>

TBusyCursor::TBusyCursor() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  // hands the cursor to the window system; clicks and keys wait, so no
  // command of the user's starts in between
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

TBusyCursor::~TBusyCursor() { QApplication::restoreOverrideCursor(); }
