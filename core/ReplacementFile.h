#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>

#include "core/FileDescriptor.h"

namespace korvastel {

// New content for a regular file, written beside it and put in its place in
// one step, so that a failed save never leaves a half-written file. Until
// Commit() succeeds the file at the target path is untouched; a replacement
// dropped before that removes its temporary file. Failures throw EInOutError.
class ReplacementFile {
 public:
  // Creates the temporary file exclusively in the target's folder under an
  // unpredictable hidden name, with the permission bits a new file gets.
  explicit ReplacementFile(std::string target);
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // Gives the new file the permission bits of the file it replaces and, where
  // the system lets this user, its owner and group.
  void TakeOverAttributes(const struct stat& replaced);
  void Write(std::string_view content);
  // Flushes the content to the disk, then renames it over the target.
  void Commit();

 private:
  void SyncFolder() const;

  std::string target_;
  std::string temporary_;
  FileDescriptor file_;
  bool committed_ = false;
};

}  // namespace korvastel
