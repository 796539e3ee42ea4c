#pragma once

// Internal to the core: ParseSpan's work without its environment handling, for
// loops over the whole column that hold one ExtendedArithmeticScope around
// all rows instead of saving and restoring the environment once per row.

#include <string_view>

namespace korvastel::detail {

// What ParseSpan would return, in `value`; false where ParseSpan would throw.
// Must run inside the arithmetic's scope (ExtendedArithmeticScope for
// Extended). Built for SoftExtended and, where it exists, X87Extended.
template <class Extended>
bool TryParseSpanInScope(std::string_view text, Extended& value);

}  // namespace korvastel::detail
