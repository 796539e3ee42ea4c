#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace korvastel {

// Every failure the program reports is one of these; the application shows
// what() in its one error box. Messages are fixed English texts.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message);
  const char* what() const noexcept override;

 private:
  std::string message_;
};

// A text that is not a number: "'<text>' is not a valid floating point value",
// with the whole text inserted as it stands, blanks included, up to its first
// NUL, where the text ends.
class EConvertError : public Exception {
 public:
  explicit EConvertError(std::string_view text);
};

// Base of the three floating-point faults of the calculation.
class EMathError : public Exception {
 public:
  using Exception::Exception;
};

// 0/0 or the square root of a negative ratio: "Invalid floating point operation".
class EInvalidOp : public EMathError {
 public:
  EInvalidOp();
};

// A non-zero sum of cubes divided by a zero sum: "Floating point division by zero".
class EZeroDivide : public EMathError {
 public:
  EZeroDivide();
};

// A sum or result beyond the double range: "Floating point overflow".
class EOverflow : public EMathError {
 public:
  EOverflow();
};

// A failed file operation. The code is the system's error number and chooses
// the message: 2 "File not found", 3 "Invalid filename", 4 "Too many open
// files", 5 "File access denied", 100 "Read beyond end of file", 101 "Disk
// full", 106 "Invalid numeric input", any other n "I/O error n".
class EInOutError : public Exception {
 public:
  explicit EInOutError(int code);
  // For a system error number that collides with a code of the table above
  // (EIO is 5): the code with its own message, "I/O error 5".
  EInOutError(int code, std::string message);
  // The code with the message "I/O error n" whatever the code, for a system
  // error that merely shares its number with a row of the table.
  static EInOutError Numbered(int code);
  int ErrorCode() const;

 private:
  int code_;
};

// The message EInOutError carries for a code.
std::string InOutErrorMessage(int code);

}  // namespace korvastel
