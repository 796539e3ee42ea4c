#pragma once

#include <string>
#include <vector>

#include "core/SpanColumn.h"

namespace korvastel {

// Paths are the file system's own bytes on POSIX systems and UTF-8 on
// Windows, where failures carry Windows' error codes: a file another program
// keeps is "I/O error 32" and is left as it was, and a device name or path
// (CON, NUL, COM1, \\.\...) or a name Windows does not allow is "I/O error
// 123", for saving as for reading.

// The texts of the first SpanColumn::RowCount lines of a span file, bytes
// unchanged. Lines end at LF or CR LF, a lone CR is dropped, a byte 0x1A ends
// the data, and a last line without an end still counts:
//   "100\r\n200"            -> {"100", "200"}
//   "10\r0\r\n"             -> {"100"}
//   "100\r\n200\x1A" "300"  -> {"100", "200"}
// The file is read to the end of its data first, also past the kept lines
// (in blocks of at most 1 MiB, so memory does not grow with them): a failure
// throws EInOutError before anything is handed back, and the caller's rows
// stay as they were. A device is refused; a named pipe is read only from a
// program that writes into it, and fails at once when there is none ("I/O
// error 6" on POSIX systems) instead of waiting for one.
std::vector<std::string> ReadSpanFile(const std::string& path);

// Writes every row that ParseSpan accepts, as typed, followed by CR LF; other
// rows leave no line, so {"abc", "", "7.25", "12"} gives "7.25\r\n12\r\n" and
// a column without a span gives an empty file. Throws EInOutError.
//
// An existing file keeps everything but its content: its owner, group,
// permission bits, ACL, user.* attributes and other hard links. A failed save
// leaves the old bytes and no temporary file behind, and on Linux even a
// killed save leaves nothing. A file above 64 MiB that cannot be replaced as
// a whole (it has other links, say) is refused with the system's "file too
// large", "I/O error 27" on POSIX systems, before anything changes. A file
// this user may not write is refused with code 5 even where its folder would
// allow replacing it.
//
// A symbolic link has its target saved. A device is written directly; so is
// a named pipe, but only while a program reads it: with none it fails at once
// ("I/O error 6" on POSIX systems), and a reader that quits makes the save
// fail ("I/O error 32") rather than end the program by SIGPIPE. On Windows the
// file is replaced with ReplaceFileW, which also keeps its attributes and
// named streams, and a read-only file is refused with code 5.
void WriteSpanFile(const std::string& path, const SpanColumn& column);

}  // namespace korvastel
