#pragma once

#include <string_view>

namespace korvastel {

// Decides whether a cell text is a span and which: the program's only test of
// validity. Accepts optional spaces, one sign, digits with at most one
// decimal separator (DecimalSeparator()), an optional exponent, and spaces;
// a lone separator is zero. The value is built in x87 extended precision
// digit by digit and scaled by at most three powers of ten, so it carries
// that arithmetic's rounding:
//   ParseSpan(" 12.5 ") -> 12.5     ParseSpan(".")   -> 0
//   ParseSpan("5e")     -> 5        ParseSpan("1e500") -> 1e500 (beyond double)
// Throws EConvertError for anything else ("1,5", "- 5", "", "1e4999").
// The caller's floating-point environment is left exactly as it was. See
// core/Core.h for what long double must hold for the value to be exact.
long double ParseSpan(std::string_view text);

}  // namespace korvastel
