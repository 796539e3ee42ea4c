#pragma once

// Internal to the core: the file layer under the span file. One
// implementation per system, each in its own source that compiles to nothing
// elsewhere (FileStorePosix.cpp, FileStoreWin32.cpp); the span file's rules
// (lines, Ctrl-Z, which rows are written) stay above it, the same everywhere.
//
// Both implementations save by the same rules. An existing regular file is
// replaced through a new file in its folder only where that new file can be
// given everything the old one had besides its content (owner, group,
// permissions, access-control list, extended attributes, its other names);
// otherwise it is written in place: its old bytes are read first, the space
// for the new content is reserved before anything changes, and if a step
// fails after that, the old bytes are written back before the error is
// reported.

#include <cerrno>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/SpanLineSplitter.h"

namespace korvastel::detail {

// The largest old file that a save writes over in place. Its bytes are held
// in memory to be put back, so a larger file is refused before anything
// changes. A span file is a few hundred kilobytes at most (4000 lines); a file
// of this size is no span file and is not risked.
inline constexpr std::uint64_t MaxInPlaceSaveSize = std::uint64_t{64} << 20;

// The error such a refusal gives: the system's own number for a file that is
// too large, so that the message is "I/O error 27" on POSIX systems (EFBIG)
// and "I/O error 223" on Windows (ERROR_FILE_TOO_LARGE).
#if defined(_WIN32)
inline constexpr int InPlaceSaveTooLargeError = 223;
#else
inline constexpr int InPlaceSaveTooLargeError = EFBIG;
#endif

constexpr bool TooLargeToSaveInPlace(std::uint64_t oldSize) noexcept { return oldSize > MaxInPlaceSaveSize; }

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
