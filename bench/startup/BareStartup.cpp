// The baseline: a bare Qt main window of the same size, started and ended
// the same way.
#include <QApplication>
#include <QMainWindow>

#include "bench/startup/QuitAfterFirstPaint.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QMainWindow window;
  window.resize(418, 538);
  QuitAfterFirstPaint quit(&window);
  window.show();
  return application.exec();
}
