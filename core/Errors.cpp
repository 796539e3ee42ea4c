#include "core/Errors.h"

#include <utility>

namespace korvastel {

Exception::Exception(std::string message) : message_(std::move(message)) {}

const char* Exception::what() const noexcept { return message_.c_str(); }

// Built by concatenation: the text is user data and never a format string. A
// text ends at its first NUL, in the message as in the parse.
EConvertError::EConvertError(std::string_view text)
    : Exception("'" + std::string(text.substr(0, text.find('\0'))) +
                "' is not a valid floating point value") {}

EInvalidOp::EInvalidOp() : EMathError("Invalid floating point operation") {}

EZeroDivide::EZeroDivide() : EMathError("Floating point division by zero") {}

EOverflow::EOverflow() : EMathError("Floating point overflow") {}

namespace {

std::string NumberedMessage(int code) { return "I/O error " + std::to_string(code); }

}  // namespace

std::string InOutErrorMessage(int code) {
  switch (code) {
    case 2:
      return "File not found";
    case 3:
      return "Invalid filename";
    case 4:
      return "Too many open files";
    case 5:
      return "File access denied";
    case 100:
      return "Read beyond end of file";
    case 101:
      return "Disk full";
    case 106:
      return "Invalid numeric input";
    default:
      return NumberedMessage(code);
  }
}

EInOutError::EInOutError(int code) : Exception(InOutErrorMessage(code)), code_(code) {}

EInOutError::EInOutError(int code, std::string message) : Exception(std::move(message)), code_(code) {}

EInOutError EInOutError::Numbered(int code) { return EInOutError(code, NumberedMessage(code)); }

int EInOutError::ErrorCode() const { return code_; }

}  // namespace korvastel
