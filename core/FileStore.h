#pragma once

// Internal to the core: the file layer under the span file. One
// implementation per system, each in its own source that compiles to nothing
// elsewhere (FileStorePosix.cpp, FileStoreWin32.cpp); the span file's rules
// (lines, Ctrl-Z, which rows are written) stay above it, the same everywhere.

#include <string>
#include <string_view>

#include "core/SpanLineSplitter.h"

namespace korvastel::detail {

// Feeds the bytes of the file at `path` to `splitter`, in order, until the
// end of the file or of its data. Throws EInOutError on any failure; a
// device is refused.
void ReadFileInto(const std::string& path, SpanLineSplitter& splitter);

// Makes `content` the whole content of the file at `path`, creating it if
// need be. Throws EInOutError; a failed save leaves an existing file as it
// was and no temporary file behind.
void SaveFileContent(const std::string& path, std::string_view content);

}  // namespace korvastel::detail
