#include "core/file/windows/Path.h"

#include <windows.h>

#include <climits>

#include "core/file/windows/InOutError.h"

namespace korvastel::windows {

namespace {

std::wstring Utf16(const std::string& utf8) {
  if (utf8.size() > static_cast<std::size_t>(INT_MAX)) ThrowInOutError(ERROR_FILENAME_EXCED_RANGE);
  const int length = static_cast<int>(utf8.size());
  // MB_ERR_INVALID_CHARS: a byte sequence that is no UTF-8 is refused, never
  // turned into U+FFFD and so into the name of some other file
  const int needed = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, nullptr, 0);
  if (needed <= 0) ThrowInOutError(ERROR_INVALID_NAME);
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, wide.data(), needed) != needed)
    ThrowInOutError(ERROR_INVALID_NAME);
  return wide;
}

std::wstring FullPathOf(const std::wstring& path) {
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD got = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (got == 0) ThrowLastError();
    // the length without the NUL when it fitted, the size it needs otherwise
    if (got < full.size()) {
      full.resize(got);
      return full;
    }
    full.resize(got);
  }
}

bool StartsWith(std::wstring_view text, std::wstring_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    const wchar_t a =
        text[i] >= L'a' && text[i] <= L'z' ? static_cast<wchar_t>(text[i] - L'a' + L'A') : text[i];
    if (a != prefix[i]) return false;
  }
  return true;
}

bool IsDriveRoot(std::wstring_view path) {
  return path.size() >= 3 && ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) &&
         path[1] == L':' && path[2] == L'\\';
}

// The system resolves a reserved name (CON, NUL, COM1, "nul.txt" where the
// system still reserves it) to the device path "\\.\NUL"; a device path may
// also be given outright. Only a drive or a network share behind the prefix
// names a file.
bool NamesADevice(std::wstring_view full) {
  if (!StartsWith(full, L"\\\\.\\") && !StartsWith(full, L"\\\\?\\")) return false;
  const std::wstring_view rest = full.substr(4);
  return !IsDriveRoot(rest) && !StartsWith(rest, L"UNC\\");
}

// A ':' past the drive would save into a named stream of another file ("a:b.txt"
// is the stream "b.txt" of a file "a"); Windows allows none in a name.
bool HasColonInNames(std::wstring_view full) {
  std::size_t root = 0;
  if (IsDriveRoot(full))
    root = 2;
  else if ((StartsWith(full, L"\\\\.\\") || StartsWith(full, L"\\\\?\\")) && IsDriveRoot(full.substr(4)))
    root = 6;
  return full.find(L':', root) != std::wstring_view::npos;
}

}  // namespace

std::wstring FullPath(const std::string& path) {
  if (path.empty()) ThrowInOutError(ERROR_PATH_NOT_FOUND);
  // a NUL would end the name early and name another file
  if (path.find('\0') != std::string::npos) ThrowInOutError(ERROR_INVALID_NAME);
  std::wstring full = FullPathOf(Utf16(path));
  if (NamesADevice(full) || HasColonInNames(full)) ThrowInOutError(ERROR_INVALID_NAME);
  return full;
}

std::wstring ExtendedLengthPath(const std::wstring& fullPath) {
  // a margin below MAX_PATH, as some calls allow a few characters less
  if (fullPath.size() < MAX_PATH - 12 || StartsWith(fullPath, L"\\\\?\\") || StartsWith(fullPath, L"\\\\.\\"))
    return fullPath;
  if (StartsWith(fullPath, L"\\\\")) return L"\\\\?\\UNC\\" + fullPath.substr(2);
  return L"\\\\?\\" + fullPath;
}

std::wstring FolderPrefix(const std::wstring& fullPath) {
  const std::size_t separator = fullPath.rfind(L'\\');
  return separator == std::wstring::npos ? std::wstring() : fullPath.substr(0, separator + 1);
}

std::wstring_view FileName(const std::wstring& fullPath) {
  const std::size_t separator = fullPath.rfind(L'\\');
  return separator == std::wstring::npos ? std::wstring_view(fullPath)
                                         : std::wstring_view(fullPath).substr(separator + 1);
}

}  // namespace korvastel::windows
