#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>

#include "core/file/posix/File.h"

namespace korvastel::posix {

// New content for a regular file, written beside it and put in its place in
// one step, so that a failed save never leaves a half-written file. Until
// Commit() succeeds the file at the target path is untouched; a replacement
// dropped before that removes whatever it created.
class ReplacementFile {
 public:
  // Creates nothing yet.
  explicit ReplacementFile(std::string target);
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // Creates the new file in the target's folder, with the permission bits a
  // new file gets. Where the system allows it the file has no name until
  // Commit(), so that a save killed on the way leaves nothing behind;
  // elsewhere it is created exclusively under an unpredictable hidden name.
  // Returns 0, or the system error number.
  int Create() noexcept;
  // Gives the new file everything the file it replaces has besides its
  // content: its user.* extended attributes, its access-control list, its
  // owner and group, and its permission bits. False where any of these cannot
  // be given; the new file must then not replace the old one.
  bool TakeOver(const struct stat& replaced);
  // Throws EInOutError.
  void Write(std::string_view content);
  // Flushes the content to the disk, then puts the new file in place of the
  // target. Throws EInOutError.
  void Commit();

 private:
  void Name();
  void SyncFolder() const;

  std::string target_;
  std::string temporary_;  // empty while the new file has no name
  File file_;
  bool committed_ = false;
};

}  // namespace korvastel::posix
