#pragma once

// Internal to the core: scaling by powers of ten the way the program's
// arithmetic defines it, by at most three factors from tables of correctly
// rounded extended constants, smallest factor first. Inline, since nearly
// every span written with decimals takes one step of it.

namespace korvastel::detail {

// Exponents from 5120 on in magnitude are outside every table.
inline constexpr int kPowerOfTenLimit = 5120;

// 10^0 .. 10^31; exact up to 10^27, correctly rounded above.
inline constexpr long double kPowersOfTenUnits[32] = {
    1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,  1e7L,  1e8L,  1e9L,  1e10L,
    1e11L, 1e12L, 1e13L, 1e14L, 1e15L, 1e16L, 1e17L, 1e18L, 1e19L, 1e20L, 1e21L,
    1e22L, 1e23L, 1e24L, 1e25L, 1e26L, 1e27L, 1e28L, 1e29L, 1e30L, 1e31L,
};
// 10^(32 k) for k = 0 .. 15.
inline constexpr long double kPowersOfTenThirtyTwos[16] = {
    1e0L,   1e32L,  1e64L,  1e96L,  1e128L, 1e160L, 1e192L, 1e224L,
    1e256L, 1e288L, 1e320L, 1e352L, 1e384L, 1e416L, 1e448L, 1e480L,
};
// 10^(512 k) for k = 0 .. 9.
inline constexpr long double kPowersOfTenFiveTwelves[10] = {
    1e0L, 1e512L, 1e1024L, 1e1536L, 1e2048L, 1e2560L, 1e3072L, 1e3584L, 1e4096L, 1e4608L,
};

inline long double ApplyPowerOfTen(long double value, long double factor, bool divide) {
  if (factor == 1.0L) return value;  // a factor of 10^0 is skipped
  return divide ? value / factor : value * factor;
}

// value * 10^exponent, or value / 10^-exponent for a negative exponent, for
// |exponent| < kPowerOfTenLimit. Runs in the caller's extended arithmetic scope.
inline long double ScaleByPowerOfTen(long double value, int exponent) {
  const bool divide = exponent < 0;
  const int magnitude = divide ? -exponent : exponent;
  value = ApplyPowerOfTen(value, kPowersOfTenUnits[magnitude % 32], divide);
  if (magnitude < 32) return value;
  value = ApplyPowerOfTen(value, kPowersOfTenThirtyTwos[(magnitude / 32) % 16], divide);
  return ApplyPowerOfTen(value, kPowersOfTenFiveTwelves[magnitude / 512], divide);
}

}  // namespace korvastel::detail
