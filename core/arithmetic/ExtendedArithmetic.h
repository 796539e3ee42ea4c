#pragma once

// Internal to the core: the extended arithmetic that parsing, counting, the
// calculation and formatting compute with.
//
// Their figures are defined by x87 80-bit extended arithmetic (64-bit
// mantissa, rounding to nearest even after every operation). Where the
// compiler's long double is that format, the x87 unit does it (X87Extended);
// everywhere else the software type does it bit for bit (SoftExtended), and
// defining KORVASTEL_SOFT_EXTENDED=1 chooses the software type there too, so
// that the two can be compared on one machine. The choice is made here alone:
// the core's sources need no setting to build on any target.
//
// Arithmetic runs inside an ExtendedArithmeticScope, which leaves the
// caller's floating-point environment exactly as it was.

#include "core/arithmetic/SoftExtended.h"
#include "core/arithmetic/X87Extended.h"

namespace korvastel::detail {

#if KORVASTEL_HAS_X87_EXTENDED && !(defined(KORVASTEL_SOFT_EXTENDED) && KORVASTEL_SOFT_EXTENDED)
using Extended = X87Extended;
#else
using Extended = SoftExtended;
#endif

using ExtendedArithmeticScope = Extended::Scope;

}  // namespace korvastel::detail
