#pragma once

#include <string>
#include <string_view>

#include "core/file/windows/File.h"

namespace korvastel::windows {

// New content for a file, written beside it and put in its place in one step,
// so that a failed save never leaves a half-written file. Until a commit
// succeeds the file at the target path is untouched; a replacement dropped
// before that removes its temporary file. The temporary file is marked for
// deletion while it is written, so a save killed on the way leaves nothing.
class ReplacementFile {
 public:
  // `target` is a full path (FullPath); nothing is created yet.
  explicit ReplacementFile(std::wstring target);
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // Creates the temporary file exclusively in the target's folder under an
  // unpredictable name: 0, or the Windows error that kept it from being
  // created (ERROR_ACCESS_DENIED where this user may not add files there).
  unsigned long Create() noexcept;
  // Gives the new file the attributes of the file it replaces (hidden,
  // system, archive, not indexed), as ReplaceFileW does where the system
  // implements it fully: false where the file system refuses them.
  bool TakeOver(unsigned long attributes) noexcept;
  // Writes the whole content and flushes it to the disk. Throws EInOutError.
  void Write(std::string_view content);
  // Gives the content the target's name, where no file has it yet. Throws
  // EInOutError.
  void CommitAsNewFile();
  // Puts the content in place of the existing target with ReplaceFileW, which
  // keeps the old file's attributes, ACL, named streams, creation time and
  // short name: true once done; false when the system refused and the target
  // is as it was. Throws EInOutError in the
  // one case where the old file was moved aside and could not be put back.
  bool CommitOverExisting();

 private:
  void CloseForCommit();

  std::wstring target_;
  std::wstring temporary_;
  File file_;
  bool deletePending_ = false;
  bool committed_ = false;
};

}  // namespace korvastel::windows
