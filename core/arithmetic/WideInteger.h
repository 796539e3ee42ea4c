#pragma once

// Internal to the core: the 128-bit integer steps of the software extended
// arithmetic, written with 64-bit halves so that no compiler extension is
// needed.

#include <cstdint>
#include <initializer_list>

namespace korvastel::detail {

// A 128-bit unsigned number as two halves.
struct Wide {
  std::uint64_t high = 0;
  std::uint64_t low = 0;
};

// The full product, from 32-bit halves.
inline Wide MultiplyWide(std::uint64_t a, std::uint64_t b) {
  const std::uint64_t a0 = a & 0xFFFFFFFFu, a1 = a >> 32;
  const std::uint64_t b0 = b & 0xFFFFFFFFu, b1 = b >> 32;
  const std::uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
  // the middle column cannot overflow: three 32-bit parts of at most 2^32 - 1
  const std::uint64_t middle = (p00 >> 32) + (p01 & 0xFFFFFFFFu) + (p10 & 0xFFFFFFFFu);
  return {p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32), (middle << 32) | (p00 & 0xFFFFFFFFu)};
}

// (high * 2^64 + low) / divisor and its remainder, for a divisor with its top
// bit set and high < divisor, so that the quotient fits 64 bits: long
// division in two 32-bit digits, each estimated from the divisor's upper half
// and corrected by its lower half, which makes it exact.
inline std::uint64_t DivideWidePortable(std::uint64_t high, std::uint64_t low, std::uint64_t divisor,
                                        std::uint64_t& remainder) {
  constexpr std::uint64_t kDigit = std::uint64_t{1} << 32;
  const std::uint64_t d1 = divisor >> 32, d0 = divisor & 0xFFFFFFFFu;
  std::uint64_t partial = high;  // the running remainder, always below the divisor
  std::uint64_t quotient = 0;
  for (const std::uint64_t next : {low >> 32, low & 0xFFFFFFFFu}) {
    // from the upper half alone the digit is at most 2 too large
    std::uint64_t digit = partial / d1;
    std::uint64_t rest = partial - digit * d1;
    while (digit >= kDigit || digit * d0 > ((rest << 32) | next)) {
      --digit;
      rest += d1;
      if (rest >= kDigit) break;
    }
    // wraps modulo 2^64 on purpose: the true value is below the divisor
    partial = ((partial << 32) | next) - digit * divisor;
    quotient = (quotient << 32) | digit;
  }
  remainder = partial;
  return quotient;
}

// The same; on x86-64 the processor's own 128-by-64-bit division (one
// instruction instead of two dependent ones: a parse with decimals is a
// division). The core tests check the two against each other.
inline std::uint64_t DivideWide(std::uint64_t high, std::uint64_t low, std::uint64_t divisor,
                                std::uint64_t& remainder) {
#if defined(__x86_64__) && defined(__GNUC__)
  std::uint64_t quotient;
  __asm__("divq %[divisor]" : "=a"(quotient), "=d"(remainder) : "a"(low), "d"(high), [divisor] "rm"(divisor));
  return quotient;
#else
  return DivideWidePortable(high, low, divisor, remainder);
#endif
}

}  // namespace korvastel::detail
