#pragma once

// Internal to the core: the file layer under the span file. One
// implementation per system (posix/, windows/; the build compiles the one of
// its target); the span file's rules (lines, Ctrl-Z, which rows are written)
// stay above it, the same everywhere. What both implementations share is here.
//
// Both implementations keep the span file's promises (SpanFile.h) the same
// way. An existing regular file is replaced through a new file in its folder
// only where that new file can be given everything the old one had besides
// its content (owner, group, permissions, access-control list, extended
// attributes, its other names: one link, a folder this user may write, owner
// and group this user may give); otherwise it is written in place: its old
// bytes are read first, the space for the new content is reserved before
// anything changes, and if a step fails after that, the old bytes are written
// back before the error is reported. Where the system allows it (Linux) the
// new file has no name until just before it replaces the old one.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/SpanLineSplitter.h"

namespace korvastel::detail {

// The largest old file that a save writes over in place. Its bytes are held
// in memory to be put back, so a larger file is refused before anything
// changes. A span file is a few hundred kilobytes at most (4000 lines); a file
// of this size is no span file and is not risked.
inline constexpr std::uint64_t kMaxInPlaceSaveSize = std::uint64_t{64} << 20;

// Such a refusal gives the system's own error for a file that is too large:
// "I/O error 27" on POSIX systems (EFBIG), "I/O error 223" on Windows
// (ERROR_FILE_TOO_LARGE).
constexpr bool TooLargeToSaveInPlace(std::uint64_t oldSize) noexcept { return oldSize > kMaxInPlaceSaveSize; }

// Reads go in large blocks to keep the system calls few, and in blocks of a
// fixed largest size to keep memory flat whatever the length of the file.
inline constexpr std::size_t kMaxReadBlockSize = std::size_t{1} << 20;
inline constexpr std::size_t kMinReadBlockSize = std::size_t{4} << 10;

// The block for a file of `fileSize` bytes: a small file needs none larger
// than itself, but a few pages all the same, as files in /proc report no size.
constexpr std::size_t ReadBlockSize(std::uint64_t fileSize) noexcept {
  return static_cast<std::size_t>(std::clamp<std::uint64_t>(fileSize, kMinReadBlockSize, kMaxReadBlockSize));
}

// The temporary file of a save lives beside its target, under a name that
// starts with '.' and the target's own name: ".spans.txt.<random>" beside
// spans.txt. A save tries this many names before it gives up.
inline constexpr int kTemporaryNameAttempts = 100;

// How much of the target's name the temporary name keeps: short enough that
// it stays within a name component's 255 characters.
inline constexpr std::size_t kKeptNameLength = 200;

// Twelve random letters and digits, never the same twice in practice.
std::string RandomNameSuffix();

// A fresh temporary name beside the target whose folder (with its trailing
// separator) and last component are given.
template <class Char>
std::basic_string<Char> TemporaryName(std::basic_string_view<Char> folderPrefix,
                                      std::basic_string_view<Char> fileName) {
  const std::string suffix = RandomNameSuffix();
  std::basic_string<Char> name(folderPrefix);
  name += Char('.');
  name += fileName.substr(0, kKeptNameLength);
  name += Char('.');
  name.append(suffix.begin(), suffix.end());
  return name;
}

// Feeds the bytes of the file at `path` to `splitter`, in order, until the
// end of the file or of its data. Throws EInOutError on any failure; a
// device is refused, and a pipe that no program writes into fails at once
// instead of waiting for one.
void ReadFileInto(const std::string& path, SpanLineSplitter& splitter);

// Makes `content` the whole content of the file at `path`, creating it if
// need be, by the rules above. Throws EInOutError; a failed save leaves an
// existing file with its old bytes and no temporary file behind. A pipe that
// no program reads fails at once instead of waiting for one.
void SaveFileContent(const std::string& path, std::string_view content);

}  // namespace korvastel::detail
