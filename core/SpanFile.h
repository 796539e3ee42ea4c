#pragma once

#include <string>
#include <vector>

#include "core/SpanColumn.h"

namespace korvastel {

// The texts of the first SpanColumn::RowCount lines of a span file, bytes
// unchanged. Lines end at LF or CR LF, a lone CR is dropped, a byte 0x1A ends
// the data, and a last line without an end still counts:
//   "100\r\n200"            -> {"100", "200"}
//   "10\r0\r\n"             -> {"100"}
//   "100\r\n200\x1A" "300"  -> {"100", "200"}
// The file is read to the end of its data first, also past the kept lines
// (in blocks of at most 1 MiB, so memory does not grow with them): a failure
// throws EInOutError before anything is handed back, and the caller's rows
// stay as they were.
std::vector<std::string> ReadSpanFile(const std::string& path);

// Writes every row that ParseSpan accepts, as typed, followed by CR LF; other
// rows leave no line, so {"abc", "", "7.25", "12"} gives "7.25\r\n12\r\n" and
// a column without a span gives an empty file. A regular file is replaced in
// one step through a temporary file in its folder, keeping its permission
// bits; a symbolic link has its target replaced; a device or pipe is written
// directly. Throws EInOutError; a failed save leaves an existing file as it
// was and no temporary file behind. A file this user may not write is refused
// with code 5 even where its folder would allow replacing it.
void WriteSpanFile(const std::string& path, const SpanColumn& column);

}  // namespace korvastel
