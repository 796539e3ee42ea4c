#pragma once

// The public face of the Korvastel core: span parsing, the ruling-span
// calculation, number formatting and the span file.
//
// The same span list gives the same digits on every processor. All figures
// are defined by x87 80-bit extended arithmetic (64-bit mantissa, rounding to
// nearest even at every step); where the compiler's long double is the x87
// format (x86 with GCC, Clang or MinGW) the x87 unit computes them, and
// everywhere else software does, bit for bit (core/arithmetic/ExtendedArithmetic.h).
//
// ParseSpan hands its value back as long double. That is the same number
// where long double holds every x87 extended value: at least a 64-bit
// mantissa and an exponent reaching down to the x87 denormals (2^-16445) and
// up to its largest value, as the x87 format itself and IEEE binary128
// (Linux on ARM64: Debian's arm64, ARM workstations) do. Where long double is
// narrower - plain double with Microsoft's compiler and on Apple's ARM64, the
// double pair on PowerPC - ParseSpan returns the value rounded to the nearest
// double: +-infinity beyond the double range ("1e500"), zero or a denormal
// below it. Which texts are spans, the count, the calculation and the
// formatting stay exact there all the same, since none of them takes the
// value back from long double.

#include "core/DecimalSeparator.h"
#include "core/Errors.h"
#include "core/NumberFormat.h"
#include "core/ParseSpan.h"
#include "core/RulingSpan.h"
#include "core/SpanColumn.h"
#include "core/SpanFile.h"
