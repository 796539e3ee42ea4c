// TEMPORARY placeholder until the span file lands (same interface).
#include "core/SpanFile.h"

#include "core/Errors.h"

namespace korvastel {
std::vector<std::string> ReadSpanFile(const std::string&) { throw EInOutError(2); }
void WriteSpanFile(const std::string&, const SpanColumn&) { throw EInOutError(5); }
}  // namespace korvastel
