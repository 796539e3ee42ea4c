#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <typeinfo>

class QMessageBox;

// The texts and the box of the program's one error report.

// Adds a final "." to a message that is not empty and whose last byte is
// greater than "." (letters, digits, "?", ":" and every byte above 0x2E); a
// message ending in ".", ",", "!", ")", "-" or a space stays as it is:
//   WithFinalPeriod("File not found") -> "File not found."
//   WithFinalPeriod("Why?")           -> "Why?."
//   WithFinalPeriod("Stop!")          -> "Stop!"
//   WithFinalPeriod("")               -> ""
std::string WithFinalPeriod(std::string_view message);

// The readable name of a C++ type: "std::runtime_error", not "St13runtime_error".
std::string TypeDisplayName(const std::type_info& type);

// The text of the box for a failure from outside the program's exception
// family, with the address written as 16 upper-case hex digits:
//   ApplicationErrorText("std::bad_alloc", "korvastel", p, "std::bad_alloc")
//   -> "Exception std::bad_alloc in module korvastel at 00005581A2B3C4D0.\r\nstd::bad_alloc.\r\n"
std::string ApplicationErrorText(std::string_view className, std::string_view moduleName, const void* address,
                                 std::string_view message);

inline constexpr char kApplicationErrorCaption[] = "Application Error";

// Shows one error box and returns when the user has dismissed it.
using ErrorBoxPresenter = std::function<void(const QString& caption, const QString& text)>;
void ShowErrorBox(const QString& caption, const QString& text);
// Replaces how error boxes are shown (the modal box below by default), e.g. by
// a test that records them; returns the presenter it replaces.
ErrorBoxPresenter SetErrorBoxPresenter(ErrorBoxPresenter presenter);

// The modal critical box, not yet shown: plain text (a message is never read
// as markup), one OK button, modal for the whole application.
std::unique_ptr<QMessageBox> MakeErrorBox(const QString& caption, const QString& text);
