#pragma once

// Internal to the Windows file layer. The Windows calls through which a save
// opens and changes files, gathered in one table that the layer always calls
// through. A test replaces an entry to make any one of them fail and
// puts the system's own function back afterwards; nothing else touches the
// table. Handles are void*, DWORD is unsigned long and BOOL int, as in
// <windows.h>, which this header keeps out of its users.
namespace korvastel::windows {

struct FileCalls {
  // CreateFileW without security attributes or template; INVALID_HANDLE_VALUE on failure
  void* (*createFile)(const wchar_t* path, unsigned long access, unsigned long share,
                      unsigned long disposition, unsigned long flags);
  int (*writeFile)(void* file, const void* data, unsigned long size, unsigned long* written);
  int (*flushFileBuffers)(void* file);
  int (*setEndOfFile)(void* file);
  // SetFileInformationByHandle, the class as an int
  int (*setFileInformation)(void* file, int infoClass, void* info, unsigned long size);
  // ReplaceFileW with a backup name and no flags
  int (*replaceFile)(const wchar_t* replaced, const wchar_t* replacement, const wchar_t* backup);
  int (*moveFile)(const wchar_t* from, const wchar_t* to, unsigned long flags);
};

// The table in use; the system's own functions unless a test replaced one.
FileCalls& Calls() noexcept;
// The system's own functions.
const FileCalls& SystemCalls() noexcept;

}  // namespace korvastel::windows
