#pragma once

// Internal to the core: the span work for either extended arithmetic, built
// for SoftExtended and, where it exists, X87Extended. The public functions
// run the one ExtendedArithmetic.h chooses; the benchmarks run both side by
// side in one program.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/RulingSpan.h"
#include "core/SpanColumn.h"

namespace korvastel::detail {

// ParseSpan computed in Extended.
template <class Extended>
long double ParseSpanWith(std::string_view text);

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
