#include "app/TApplication.h"

// GCC's and Clang's C++ runtimes tell the type of any exception in flight,
// also one of no known class; Microsoft's does not.
#if __has_include(<cxxabi.h>)
#include <cxxabi.h>
#define KORVASTEL_HAS_CXXABI 1
#endif

#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QWidget>
#include <string>

#include "app/ErrorReport.h"
#include "app/RegionalSeparator.h"
#include "core/Core.h"
#include "ui/FailureReport.h"
#include "ui/ProgramIcons.h"

namespace {

// A window holding the mouse or the keyboard would keep the box from the user.
void CancelCaptures() {
  if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
  if (QWidget* grabber = QWidget::keyboardGrabber()) grabber->releaseKeyboard();
}

void UseRegionalSeparator() { korvastel::SetDecimalSeparator(RegionalDecimalSeparator(QLocale::system())); }

}  // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  // the name, not the display name: Qt appends a set display name to every
  // window title, and the main window composes its own caption
  setApplicationName(QLatin1String(kTitle));
  // A help-file name of the application has no counterpart here: the help
  // command finds "Korvastel.chm" beside the program itself.
  setWindowIcon(ProgramIcon(QStringLiteral("korvastel")));
  LoadQtTranslations();
  UseRegionalSeparator();
  SetFailureReporter([this](std::exception_ptr failure, const QObject* where) { Report(failure, where); });
}

TApplication::~TApplication() {
  formAbout_.reset();
  formMain_.reset();
  SetFailureReporter(nullptr);
}

void TApplication::LoadQtTranslations() {
  // the program speaks Russian whatever the desktop's language: Qt's own
  // dialogs and standard buttons too; a static Qt (Windows) carries them in
  // the program's resources instead of a folder beside it
  auto translator = std::make_unique<QTranslator>();
  const QString name = QStringLiteral("qtbase_ru");
  if (translator->load(name, QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
      translator->load(name, QStringLiteral(":/translations"))) {
    installTranslator(translator.get());
    qtTranslator_ = std::move(translator);
  }
}

void TApplication::CreateForms() {
  // windows made before go first, the About window ahead of the main window
  // that may own it
  formAbout_.reset();
  formMain_.reset();
  formMain_ = std::make_unique<TFormMain>();
  formAbout_ = std::make_unique<TFormAbout>(formMain_.get());
  formMain_->SetFormAbout(formAbout_.get());
}

int TApplication::Run() {
  // show() keeps a state the platform starts windows in (maximised, say)
  formMain_->show();
  exec();
  return 0;
}

TFormMain* TApplication::FormMain() const { return formMain_.get(); }

TFormAbout* TApplication::FormAbout() const { return formAbout_.get(); }

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
#if defined(__GLIBCXX__)
  } catch (const abi::__forced_unwind&) {
    throw;  // a cancelled thread must finish unwinding
#endif
  } catch (...) {
    Report(std::current_exception(), receiver);
  }
  // the failed handler had the event: it goes nowhere else
  return true;
}

void TApplication::Report(std::exception_ptr failure, const void* where) {
  try {
    std::rethrow_exception(failure);
  } catch (const korvastel::Exception& error) {
    ReportException(error);
  } catch (const std::exception& error) {
    ReportForeignException(typeid(error), error.what(), where);
  } catch (...) {
#if defined(KORVASTEL_HAS_CXXABI)
    const std::type_info* type = abi::__cxa_current_exception_type();
#else
    const std::type_info* type = nullptr;
#endif
    ReportForeignException(type ? *type : typeid(void), "", where);
  }
}

bool TApplication::event(QEvent* event) {
  // the desktop announced new regional settings: take their separator again
  if (event->type() == QEvent::LocaleChange) UseRegionalSeparator();
  return QApplication::event(event);
}

void TApplication::ReportException(const korvastel::Exception& error) {
  CancelCaptures();
  // the program's exceptions have no silent kind: every one is shown
  // the core's texts are UTF-8 (a cell's text in a conversion message is)
  ShowErrorBox(applicationDisplayName(), QString::fromStdString(WithFinalPeriod(error.what())));
}

void TApplication::ReportForeignException(const std::type_info& type, const char* message,
                                          const void* address) {
  CancelCaptures();
  const std::string module = QFileInfo(applicationFilePath()).fileName().toStdString();
  ShowErrorBox(QLatin1String(kApplicationErrorCaption),
               QString::fromStdString(ApplicationErrorText(TypeDisplayName(type), module, address, message)));
}
