#pragma once

#include <QApplication>
#include <exception>
#include <memory>
#include <typeinfo>

#include "ui/UFormAbout.h"
#include "ui/UFormMain.h"

class QTranslator;
namespace korvastel {
class Exception;
}

// The application: its title, its two windows, the event loop, and the one
// place where failures are shown. Every failure of a command (handed over by
// the windows, see FailureReport.h) and every exception that escapes an event
// handler or a timer ends here in one error box, and the program goes on in
// the state the failed handler left.
class TApplication : public QApplication {
  Q_OBJECT
 public:
  static constexpr char kTitle[] = "Korvastel";

  // Sets the title, the icon, Qt's Russian texts and the regional decimal
  // separator, and takes over the windows' failure reports.
  TApplication(int& argc, char** argv);
  ~TApplication() override;

  // The main window first, so it is the window whose closing ends the
  // program, then the hidden About window it writes into when shown.
  void CreateForms();
  // Shows the main window and runs the loop until it closes; returns 0.
  int Run();

  TFormMain* FormMain() const;
  TFormAbout* FormAbout() const;

  bool notify(QObject* receiver, QEvent* event) override;

 protected:
  bool event(QEvent* event) override;

 private:
  void Report(std::exception_ptr failure, const void* where);
  void ReportException(const korvastel::Exception& error);
  void ReportForeignException(const std::type_info& type, const char* message, const void* address);
  void LoadQtTranslations();

  std::unique_ptr<QTranslator> qtTranslator_;
  // declared in creation order, so the About window goes first at exit
  std::unique_ptr<TFormMain> formMain_;
  std::unique_ptr<TFormAbout> formAbout_;
};
