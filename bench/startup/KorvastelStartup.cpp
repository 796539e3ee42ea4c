// Korvastel's start-up exactly as app/main.cpp runs it, ending at the first
// idle moment after the main window was painted.
#include "app/TApplication.h"
#include "bench/startup/QuitAfterFirstPaint.h"

int main(int argc, char* argv[]) {
  TApplication application(argc, argv);
  application.CreateForms();
  QuitAfterFirstPaint quit(application.FormMain());
  return application.Run();
}
