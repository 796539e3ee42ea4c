#include "app/ErrorReport.h"

// The C++ runtime's name demangler where the compiler has one (GCC, Clang);
// Microsoft's type names are readable as they stand.
#if __has_include(<cxxabi.h>)
#include <cxxabi.h>
#define KORVASTEL_HAS_CXXABI 1
#endif

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <utility>

std::string WithFinalPeriod(std::string_view message) {
  std::string text(message);
  if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.')) text += '.';
  return text;
}

std::string TypeDisplayName(const std::type_info& type) {
#if defined(KORVASTEL_HAS_CXXABI)
  int status = 0;
  std::unique_ptr<char, decltype(&std::free)> demangled(
      abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), &std::free);
  return status == 0 && demangled ? std::string(demangled.get()) : std::string(type.name());
#else
  return type.name();
#endif
}

std::string ApplicationErrorText(std::string_view className, std::string_view moduleName, const void* address,
                                 std::string_view message) {
  char hexAddress[2 * sizeof(std::uintptr_t) + 1];
  std::snprintf(hexAddress, sizeof hexAddress, "%0*" PRIXPTR, static_cast<int>(2 * sizeof(std::uintptr_t)),
                reinterpret_cast<std::uintptr_t>(address));
  // assembled piece by piece: the class name and message are never a format
  return "Exception " + std::string(className) + " in module " + std::string(moduleName) + " at " +
         hexAddress + ".\r\n" + WithFinalPeriod(message) + "\r\n";
}

std::unique_ptr<QMessageBox> MakeErrorBox(const QString& caption, const QString& text) {
  // the texts carry DOS line ends; a label would show the CR as a stray mark
  QString shown = text;
  shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  auto box = std::make_unique<QMessageBox>(QMessageBox::Critical, caption, shown, QMessageBox::Ok);
  box->setTextFormat(Qt::PlainText);
  box->setWindowModality(Qt::ApplicationModal);
  return box;
}

namespace {

void CentreOnScreen(QMessageBox& box, const QScreen* screen) {
  box.adjustSize();
  QRect frame = box.frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  box.move(frame.topLeft());
}

// Owned by the application, on the screen of the window the user works in,
// and the focus put back where it was once the box is dismissed.
void ShowModalBox(const QString& caption, const QString& text) {
  const QPointer<QWidget> activeWindow = QApplication::activeWindow();
  const QPointer<QWidget> focusWidget = QApplication::focusWidget();
  const std::unique_ptr<QMessageBox> box = MakeErrorBox(caption, text);
  if (activeWindow) CentreOnScreen(*box, activeWindow->screen());
  box->exec();
  if (activeWindow) activeWindow->activateWindow();
  if (focusWidget) focusWidget->setFocus(Qt::OtherFocusReason);
}

ErrorBoxPresenter& CurrentPresenter() {
  static ErrorBoxPresenter presenter = ShowModalBox;
  return presenter;
}

}  // namespace

void ShowErrorBox(const QString& caption, const QString& text) { CurrentPresenter()(caption, text); }

ErrorBoxPresenter SetErrorBoxPresenter(ErrorBoxPresenter presenter) {
  return std::exchange(CurrentPresenter(), std::move(presenter));
}
