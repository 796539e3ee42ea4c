#pragma once

#include <string>

namespace korvastel {

// Formats with two decimals, rounding half away from zero on the value's
// 18-significant-digit form, with the current DecimalSeparator():
//   FormatFixed2(0.125)  -> "0.13"
//   FormatFixed2(2.675)  -> "2.67"   (2.675 is 2.67499999999999982 as a double)
//   FormatFixed2(-5)     -> "-5.00"
//   FormatFixed2(-0.001) -> "-0.00"
//   FormatFixed2(-0.0)   -> "0.00"
// Values of 1e18 and above in magnitude are written in scientific form.
std::string FormatFixed2(double value);

}  // namespace korvastel
