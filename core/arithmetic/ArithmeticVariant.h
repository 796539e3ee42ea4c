#pragma once

// Internal to the core: the span work for either extended arithmetic, built
// for SoftExtended and, where it exists, X87Extended. The public functions
// run the variant that ExtendedArithmetic.h chooses; the benchmarks and the
// tests run both side by side in one program.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/RulingSpan.h"
#include "core/SpanColumn.h"

namespace korvastel::detail {

// ParseSpan computed in Extended.
template <class Extended>
long double ParseSpanWith(std::string_view text);

// What ParseSpan would return, in `value`; false where ParseSpan would throw.
// Leaves the floating-point environment alone, so that a loop over the whole
// column holds one scope around all rows instead of saving and restoring the
// environment once per row: it must run inside the arithmetic's scope
// (ExtendedArithmeticScope for Extended).
template <class Extended>
bool TryParseSpanInScope(std::string_view text, Extended& value);

// CountValidSpans computed in Extended.
template <class Extended>
std::int32_t CountValidSpansWith(const SpanColumn& column);

// CalculateRulingSpan computed in Extended.
template <class Extended>
RulingSpanResult CalculateRulingSpanWith(const SpanColumn& column);

// FormatFixed2 computed in Extended.
template <class Extended>
std::string FormatFixed2With(double value);

}  // namespace korvastel::detail
