// Part of the Windows file layer (see FileStoreWin32.cpp).
#if defined(_WIN32)

#include "core/WindowsError.h"

#include <windows.h>

#include <string>

#include "core/Errors.h"

namespace korvastel {

void ThrowWindowsError(unsigned long code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_TOO_MANY_OPEN_FILES:
    case ERROR_ACCESS_DENIED:
      throw EInOutError(static_cast<int>(code));
    default:
      throw EInOutError(static_cast<int>(code), "I/O error " + std::to_string(code));
  }
}

void ThrowLastWindowsError() { ThrowWindowsError(GetLastError()); }

}  // namespace korvastel

#endif  // defined(_WIN32)
