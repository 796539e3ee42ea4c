// Part of the Windows file layer (see FileStoreWin32.cpp).
#if defined(_WIN32)

#include "core/WindowsReplacementFile.h"

#include <windows.h>

#include <random>
#include <utility>

#include "core/WindowsError.h"
#include "core/WindowsFileCalls.h"
#include "core/WindowsPath.h"

namespace korvastel {

namespace {

constexpr int NameAttempts = 100;
// short enough that the temporary name stays within a component's 255 characters
constexpr std::size_t KeptNameLength = 200;

std::wstring RandomSuffix() {
  static constexpr wchar_t alphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device random;
  std::wstring suffix(12, L' ');
  for (wchar_t& c : suffix) c = alphabet[random() % (std::size(alphabet) - 1)];
  return suffix;
}

// A name beside the target that starts with '.', like the POSIX layer's.
std::wstring NameBeside(const std::wstring& target) {
  return WindowsFolderPrefix(target) + L"." +
         std::wstring(WindowsFileName(target).substr(0, KeptNameLength)) + L"." + RandomSuffix();
}

// A name beside the target that no file has yet.
std::wstring FreeNameBeside(const std::wstring& target) {
  std::wstring name = NameBeside(target);
  for (int attempt = 1; attempt < NameAttempts; ++attempt) {
    if (GetFileAttributesW(ExtendedLengthPath(name).c_str()) == INVALID_FILE_ATTRIBUTES &&
        GetLastError() == ERROR_FILE_NOT_FOUND)
      break;
    name = NameBeside(target);
  }
  return name;
}

bool SetDeletePending(void* handle, bool pending) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = pending ? TRUE : FALSE;
  return detail::WindowsCalls().setFileInformation(handle, FileDispositionInfo, &disposition,
                                                   sizeof disposition) != 0;
}

}  // namespace

WindowsReplacementFile::WindowsReplacementFile(std::wstring target) : target_(std::move(target)) {}

WindowsReplacementFile::~WindowsReplacementFile() {
  if (committed_ || temporary_.empty()) return;
  file_.Close();  // a file still marked goes with its handle
  DeleteFileW(ExtendedLengthPath(temporary_).c_str());
}

unsigned long WindowsReplacementFile::Create() noexcept {
  // CREATE_NEW makes the name ours alone: a file planted under a guessed name
  // is never opened
  for (int attempt = 0; attempt < NameAttempts; ++attempt) {
    std::wstring path = NameBeside(target_);
    WindowsFile file(ExtendedLengthPath(path), GENERIC_WRITE | DELETE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
    if (file.IsOpen()) {
      temporary_ = std::move(path);
      file_ = std::move(file);
      // where the file system cannot mark it, a killed save leaves it behind
      deletePending_ = SetDeletePending(file_.Get(), true);
      return 0;
    }
    if (file.Error() != ERROR_FILE_EXISTS && file.Error() != ERROR_ALREADY_EXISTS) return file.Error();
  }
  return ERROR_FILE_EXISTS;
}

bool WindowsReplacementFile::TakeOverAttributes(unsigned long attributes) noexcept {
  constexpr DWORD Kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                         FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  FILE_BASIC_INFO info{};  // times of 0 stay as they are
  info.FileAttributes = (attributes & Kept) != 0 ? attributes & Kept : FILE_ATTRIBUTE_NORMAL;
  return detail::WindowsCalls().setFileInformation(file_.Get(), FileBasicInfo, &info, sizeof info) != 0;
}

void WindowsReplacementFile::Write(std::string_view content) {
  if (const unsigned long error = file_.WriteAll(content); error != 0) ThrowWindowsError(error);
  // the content must be on the disk before the name points at it, or a crash
  // could leave an empty file where the old one was
  if (const unsigned long error = file_.Flush(); error != 0) ThrowWindowsError(error);
}

void WindowsReplacementFile::CloseForCommit() {
  if (deletePending_ && !SetDeletePending(file_.Get(), false)) ThrowLastWindowsError();
  deletePending_ = false;
  file_.Close();
}

void WindowsReplacementFile::CommitAsNewFile() {
  CloseForCommit();
  // without MOVEFILE_REPLACE_EXISTING: a file made meanwhile under that name
  // is not overwritten unasked
  if (!detail::WindowsCalls().moveFile(ExtendedLengthPath(temporary_).c_str(),
                                       ExtendedLengthPath(target_).c_str(), MOVEFILE_WRITE_THROUGH))
    ThrowLastWindowsError();
  committed_ = true;
}

bool WindowsReplacementFile::CommitOverExisting() {
  CloseForCommit();
  // With a backup name ReplaceFileW never loses the old file: on failure it is
  // still in place or under the backup name, from where it is put back.
  const std::wstring backup = FreeNameBeside(target_);
  const std::wstring target = ExtendedLengthPath(target_);
  const std::wstring backupPath = ExtendedLengthPath(backup);
  if (detail::WindowsCalls().replaceFile(target.c_str(), ExtendedLengthPath(temporary_).c_str(),
                                         backupPath.c_str())) {
    committed_ = true;
    // the old content, no longer needed
    DeleteFileW(backupPath.c_str());
    return true;
  }
  const DWORD error = GetLastError();
  if (error != ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) return false;  // the old file is in place
  // The old file went to the backup name and the new one did not follow: the
  // old one goes back; failing that, the new one takes the name after all.
  if (detail::WindowsCalls().moveFile(backupPath.c_str(), target.c_str(), 0)) return false;
  if (!detail::WindowsCalls().moveFile(ExtendedLengthPath(temporary_).c_str(), target.c_str(), 0))
    ThrowWindowsError(error);  // the old bytes are kept under the backup name
  committed_ = true;
  DeleteFileW(backupPath.c_str());
  return true;
}

}  // namespace korvastel

#endif  // defined(_WIN32)
