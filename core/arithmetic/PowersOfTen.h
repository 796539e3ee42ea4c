#pragma once

// Internal to the core: scaling by powers of ten the way the program's
// arithmetic defines it, by at most three factors from tables of correctly
// rounded extended constants, smallest factor first. Inline, since nearly
// every span written with decimals takes one step of it.
//
// The tables are written as x87 bit patterns, so that the x87 unit and the
// software arithmetic scale by the very same numbers.

#include <array>
#include <cstddef>
#include <cstdint>

namespace korvastel::detail {

// Exponents from 5120 on in magnitude are outside every table.
inline constexpr int kPowerOfTenLimit = 5120;

// An extended value as its sign-and-exponent word and its 64-bit significand.
struct ExtendedBits {
  std::uint16_t signExponent;
  std::uint64_t significand;
};

// 10^0 .. 10^31; exact up to 10^27, correctly rounded above.
inline constexpr ExtendedBits kPowersOfTenUnits[32] = {
    {0x3FFF, 0x8000000000000000},  // 10^0
    {0x4002, 0xA000000000000000},  // 10^1
    {0x4005, 0xC800000000000000},  // 10^2
    {0x4008, 0xFA00000000000000},  // 10^3
    {0x400C, 0x9C40000000000000},  // 10^4
    {0x400F, 0xC350000000000000},  // 10^5
    {0x4012, 0xF424000000000000},  // 10^6
    {0x4016, 0x9896800000000000},  // 10^7
    {0x4019, 0xBEBC200000000000},  // 10^8
    {0x401C, 0xEE6B280000000000},  // 10^9
    {0x4020, 0x9502F90000000000},  // 10^10
    {0x4023, 0xBA43B74000000000},  // 10^11
    {0x4026, 0xE8D4A51000000000},  // 10^12
    {0x402A, 0x9184E72A00000000},  // 10^13
    {0x402D, 0xB5E620F480000000},  // 10^14
    {0x4030, 0xE35FA931A0000000},  // 10^15
    {0x4034, 0x8E1BC9BF04000000},  // 10^16
    {0x4037, 0xB1A2BC2EC5000000},  // 10^17
    {0x403A, 0xDE0B6B3A76400000},  // 10^18
    {0x403E, 0x8AC7230489E80000},  // 10^19
    {0x4041, 0xAD78EBC5AC620000},  // 10^20
    {0x4044, 0xD8D726B7177A8000},  // 10^21
    {0x4048, 0x878678326EAC9000},  // 10^22
    {0x404B, 0xA968163F0A57B400},  // 10^23
    {0x404E, 0xD3C21BCECCEDA100},  // 10^24
    {0x4052, 0x84595161401484A0},  // 10^25
    {0x4055, 0xA56FA5B99019A5C8},  // 10^26
    {0x4058, 0xCECB8F27F4200F3A},  // 10^27
    {0x405C, 0x813F3978F8940984},  // 10^28
    {0x405F, 0xA18F07D736B90BE5},  // 10^29
    {0x4062, 0xC9F2C9CD04674EDF},  // 10^30
    {0x4065, 0xFC6F7C4045812296},  // 10^31
};
// 10^(32 k) for k = 0 .. 15, correctly rounded.
inline constexpr ExtendedBits kPowersOfTenThirtyTwos[16] = {
    {0x3FFF, 0x8000000000000000},  // 10^0
    {0x4069, 0x9DC5ADA82B70B59E},  // 10^32
    {0x40D3, 0xC2781F49FFCFA6D5},  // 10^64
    {0x413D, 0xEFB3AB16C59B14A3},  // 10^96
    {0x41A8, 0x93BA47C980E98CE0},  // 10^128
    {0x4212, 0xB616A12B7FE617AA},  // 10^160
    {0x427C, 0xE070F78D3927556B},  // 10^192
    {0x42E7, 0x8A5296FFE33CC930},  // 10^224
    {0x4351, 0xAA7EEBFB9DF9DE8E},  // 10^256
    {0x43BB, 0xD226FC195C6A2F8C},  // 10^288
    {0x4426, 0x81842F29F2CCE376},  // 10^320
    {0x4490, 0x9FA42700DB900AD2},  // 10^352
    {0x44FA, 0xC4C5E310AEF8AA17},  // 10^384
    {0x4564, 0xF28A9C07E9B09C59},  // 10^416
    {0x45CF, 0x957A4AE1EBF7F3D4},  // 10^448
    {0x4639, 0xB83ED8DC0795A262},  // 10^480
};
// 10^(512 k) for k = 0 .. 9, correctly rounded.
inline constexpr ExtendedBits kPowersOfTenFiveTwelves[10] = {
    {0x3FFF, 0x8000000000000000},  // 10^0
    {0x46A3, 0xE319A0AEA60E91C7},  // 10^512
    {0x4D48, 0xC976758681750C17},  // 10^1024
    {0x53ED, 0xB2B8353B3993A7E4},  // 10^1536
    {0x5A92, 0x9E8B3B5DC53D5DE5},  // 10^2048
    {0x6137, 0x8CA554C020A1F0A6},  // 10^2560
    {0x67DB, 0xF9895D25D88B5A8B},  // 10^3072
    {0x6E80, 0xDD5DC8A2BF27F3F8},  // 10^3584
    {0x7525, 0xC46052028A20979B},  // 10^4096
    {0x7BCA, 0xAE3511626ED559F0},  // 10^4608
};

template <class Extended, std::size_t N>
constexpr std::array<Extended, N> ExtendedTable(const ExtendedBits (&bits)[N]) {
  std::array<Extended, N> table{};
  for (std::size_t i = 0; i < N; ++i)
    table[i] = Extended::FromBits(bits[i].signExponent, bits[i].significand);
  return table;
}

// The three tables as values of one arithmetic.
template <class Extended>
struct PowersOfTen {
  static constexpr std::array<Extended, 32> kUnits = ExtendedTable<Extended>(kPowersOfTenUnits);
  static constexpr std::array<Extended, 16> kThirtyTwos = ExtendedTable<Extended>(kPowersOfTenThirtyTwos);
  static constexpr std::array<Extended, 10> kFiveTwelves = ExtendedTable<Extended>(kPowersOfTenFiveTwelves);
};

template <class Extended, std::size_t N>
Extended ApplyPowerOfTen(Extended value, const std::array<Extended, N>& table, int index, bool divide) {
  if (index == 0) return value;  // a factor of 10^0 is skipped
  const Extended factor = table[static_cast<std::size_t>(index)];
  return divide ? value / factor : value * factor;
}

// value * 10^exponent, or value / 10^-exponent for a negative exponent, for
// |exponent| < kPowerOfTenLimit. Runs in the caller's extended arithmetic scope.
template <class Extended>
Extended ScaleByPowerOfTen(Extended value, int exponent) {
  using Tables = PowersOfTen<Extended>;
  const bool divide = exponent < 0;
  const int magnitude = divide ? -exponent : exponent;
  value = ApplyPowerOfTen(value, Tables::kUnits, magnitude % 32, divide);
  if (magnitude < 32) return value;
  value = ApplyPowerOfTen(value, Tables::kThirtyTwos, (magnitude / 32) % 16, divide);
  return ApplyPowerOfTen(value, Tables::kFiveTwelves, magnitude / 512, divide);
}

}  // namespace korvastel::detail
