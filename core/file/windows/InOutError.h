#pragma once

namespace korvastel::windows {

// Throws EInOutError with a Windows error code as it stands: the codes of the
// message table name their own conditions there (2 ERROR_FILE_NOT_FOUND
// "File not found", 3 ERROR_PATH_NOT_FOUND "Invalid filename", 4
// ERROR_TOO_MANY_OPEN_FILES "Too many open files", 5 ERROR_ACCESS_DENIED
// "File access denied"); every other code n, also one that shares a number
// with a later row of the table, reads "I/O error n": a file locked by another
// program is "I/O error 32", a full disk "I/O error 112".
[[noreturn]] void ThrowInOutError(unsigned long code);

// ThrowInOutError(GetLastError()).
[[noreturn]] void ThrowLastError();

}  // namespace korvastel::windows
