#include "core/file/windows/InOutError.h"

#include <windows.h>

#include "core/Errors.h"

namespace korvastel::windows {

void ThrowInOutError(unsigned long code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_TOO_MANY_OPEN_FILES:
    case ERROR_ACCESS_DENIED:
      throw EInOutError(static_cast<int>(code));
    default:
      throw EInOutError::Numbered(static_cast<int>(code));
  }
}

void ThrowLastError() { ThrowInOutError(GetLastError()); }

}  // namespace korvastel::windows
