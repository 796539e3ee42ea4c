#pragma once

#include <string>
#include <string_view>

namespace korvastel::windows {

// The file named by a path of the core (UTF-8 on Windows, so that any name
// the file dialog returns works whatever the ANSI code page), as the full
// UTF-16 path of the wide API, in the system's own spelling: '/' becomes '\',
// "." and ".." are resolved against the current folder, trailing dots and
// blanks go. Throws EInOutError: 3 for an empty path, 123 (ERROR_INVALID_NAME)
// for a path that is not valid UTF-8, holds a NUL or a ':' past the drive (a
// named stream), or names a device rather
// than a file, be it a reserved name with or without an extension (CON, NUL,
// COM1, LPT1, "nul.txt") or a path of the device namespace ("\\.\NUL",
// "\\?\PhysicalDrive0"). "\\?\C:\..." and "\\?\UNC\..." name files and pass.
//   FullPath("C:/data/spans.txt") -> L"C:\\data\\spans.txt"
//   FullPath("C:\\data\\con.txt") -> throws, code 123
std::wstring FullPath(const std::string& path);

// The form of a full path that the wide API takes at any length: paths of
// MAX_PATH characters and more get the "\\?\" prefix ("\\?\UNC\" for a
// network path); shorter ones stay as they are.
std::wstring ExtendedLengthPath(const std::wstring& fullPath);

// The folder of a full path with its trailing '\', and its last component.
//   FolderPrefix(L"C:\\data\\spans.txt") -> L"C:\\data\\"
//   FileName(L"C:\\data\\spans.txt")     -> L"spans.txt"
std::wstring FolderPrefix(const std::wstring& fullPath);
std::wstring_view FileName(const std::wstring& fullPath);

}  // namespace korvastel::windows
