#pragma once

#include <string>
#include <vector>

#include "core/SpanColumn.h"

namespace korvastel {

// The texts of the first SpanColumn::RowCount lines of a span file, bytes
// unchanged. Throws EInOutError before returning anything.
std::vector<std::string> ReadSpanFile(const std::string& path);

// Writes every row that ParseSpan accepts, as typed, followed by CR LF.
// Throws EInOutError; a failed save leaves an existing file as it was.
void WriteSpanFile(const std::string& path, const SpanColumn& column);

}  // namespace korvastel
