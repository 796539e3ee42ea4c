#include "core/file/windows/ReplacementFile.h"

#include <windows.h>

#include <utility>

#include "core/file/FileStore.h"
#include "core/file/windows/FileCalls.h"
#include "core/file/windows/InOutError.h"
#include "core/file/windows/Path.h"

namespace korvastel::windows {

namespace {

using detail::kTemporaryNameAttempts;

std::wstring TemporaryName(const std::wstring& target) {
  return detail::TemporaryName<wchar_t>(FolderPrefix(target), FileName(target));
}

// A name beside the target that no file has yet.
std::wstring FreeNameBeside(const std::wstring& target) {
  std::wstring name = TemporaryName(target);
  for (int attempt = 1; attempt < kTemporaryNameAttempts; ++attempt) {
    if (GetFileAttributesW(ExtendedLengthPath(name).c_str()) == INVALID_FILE_ATTRIBUTES &&
        GetLastError() == ERROR_FILE_NOT_FOUND)
      break;
    name = TemporaryName(target);
  }
  return name;
}

bool SetDeletePending(void* handle, bool pending) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = pending ? TRUE : FALSE;
  return Calls().setFileInformation(handle, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

}  // namespace

ReplacementFile::ReplacementFile(std::wstring target) : target_(std::move(target)) {}

ReplacementFile::~ReplacementFile() {
  if (committed_ || temporary_.empty()) return;
  file_.Close();  // a file still marked goes with its handle
  DeleteFileW(ExtendedLengthPath(temporary_).c_str());
}

unsigned long ReplacementFile::Create() noexcept {
  // CREATE_NEW makes the name ours alone: a file planted under a guessed name
  // is never opened
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    std::wstring path = TemporaryName(target_);
    File file(ExtendedLengthPath(path), GENERIC_WRITE | DELETE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
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

bool ReplacementFile::TakeOver(unsigned long attributes) noexcept {
  constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                          FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  FILE_BASIC_INFO info{};  // times of 0 stay as they are
  info.FileAttributes = (attributes & kKept) != 0 ? attributes & kKept : FILE_ATTRIBUTE_NORMAL;
  return Calls().setFileInformation(file_.Get(), FileBasicInfo, &info, sizeof info) != 0;
}

void ReplacementFile::Write(std::string_view content) {
  if (const unsigned long error = file_.WriteAll(content); error != 0) ThrowInOutError(error);
  // the content must be on the disk before the name points at it, or a crash
  // could leave an empty file where the old one was
  if (const unsigned long error = file_.Flush(); error != 0) ThrowInOutError(error);
}

void ReplacementFile::CloseForCommit() {
  if (deletePending_ && !SetDeletePending(file_.Get(), false)) ThrowLastError();
  deletePending_ = false;
  file_.Close();
}

void ReplacementFile::CommitAsNewFile() {
  CloseForCommit();
  // without MOVEFILE_REPLACE_EXISTING: a file made meanwhile under that name
  // is not overwritten unasked
  if (!Calls().moveFile(ExtendedLengthPath(temporary_).c_str(), ExtendedLengthPath(target_).c_str(),
                        MOVEFILE_WRITE_THROUGH))
    ThrowLastError();
  committed_ = true;
}

bool ReplacementFile::CommitOverExisting() {
  CloseForCommit();
  // With a backup name ReplaceFileW never loses the old file: on failure it is
  // still in place or under the backup name, from where it is put back.
  const std::wstring backup = FreeNameBeside(target_);
  const std::wstring target = ExtendedLengthPath(target_);
  const std::wstring backupPath = ExtendedLengthPath(backup);
  if (Calls().replaceFile(target.c_str(), ExtendedLengthPath(temporary_).c_str(), backupPath.c_str())) {
    committed_ = true;
    // the old content, no longer needed
    DeleteFileW(backupPath.c_str());
    return true;
  }
  const DWORD error = GetLastError();
  if (error != ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) return false;  // the old file is in place
  // The old file went to the backup name and the new one did not follow: the
  // old one goes back; failing that, the new one takes the name after all.
  if (Calls().moveFile(backupPath.c_str(), target.c_str(), 0)) return false;
  if (!Calls().moveFile(ExtendedLengthPath(temporary_).c_str(), target.c_str(), 0))
    ThrowInOutError(error);  // the old bytes are kept under the backup name
  committed_ = true;
  DeleteFileW(backupPath.c_str());
  return true;
}

}  // namespace korvastel::windows
