#include <gtest/gtest.h>

#include <cfenv>
#include <cstring>

#include "core/arithmetic/PowersOfTen.h"
#include "core/arithmetic/SoftExtended.h"
#include "core/arithmetic/X87Extended.h"
#include "tests/support/ExtendedDifferential.h"

#if KORVASTEL_HAS_X87_EXTENDED

using korvastel::detail::SoftExtended;
using korvastel::detail::X87Extended;

namespace {

bool SameBits(X87Extended a, long double b) {
  const long double value = a.ToLongDouble();
  return std::memcmp(&value, &b, 10) == 0;
}

}  // namespace

TEST(SoftExtendedTest, MatchesTheX87UnitBitForBit) {
  // about 2.6 million operations and 20 000 parses and formats; the long
  // run is bench/ExtendedDifferentialCheck
  const int flags = std::fetestexcept(FE_ALL_EXCEPT);  // drawing the operands raises flags of its own
  korvastel::differential::ExtendedDifferential differential(20261208);
  differential.RunOperations(100'000);
  differential.RunSpanWork(20'000);
  std::feclearexcept(FE_ALL_EXCEPT & ~flags);
  for (const auto& [operation, count] : differential.Checks()) EXPECT_GE(count, 300u) << operation;
  EXPECT_EQ(differential.Mismatches(), 0u) << ::testing::PrintToString(differential.Examples());
}

TEST(SoftExtendedTest, TablesHoldTheCorrectlyRoundedPowersOfTen) {
  // the compiler's own constants for the decimal literals are the reference
  const long double units[] = {1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,  1e7L,  1e8L,  1e9L,  1e10L,
                               1e11L, 1e12L, 1e13L, 1e14L, 1e15L, 1e16L, 1e17L, 1e18L, 1e19L, 1e20L, 1e21L,
                               1e22L, 1e23L, 1e24L, 1e25L, 1e26L, 1e27L, 1e28L, 1e29L, 1e30L, 1e31L};
  const long double thirtyTwos[] = {1e0L,   1e32L,  1e64L,  1e96L,  1e128L, 1e160L, 1e192L, 1e224L,
                                    1e256L, 1e288L, 1e320L, 1e352L, 1e384L, 1e416L, 1e448L, 1e480L};
  const long double fiveTwelves[] = {1e0L,    1e512L,  1e1024L, 1e1536L, 1e2048L,
                                     1e2560L, 1e3072L, 1e3584L, 1e4096L, 1e4608L};
  using Hardware = korvastel::detail::PowersOfTen<X87Extended>;
  using Software = korvastel::detail::PowersOfTen<SoftExtended>;
  const auto check = [](const auto& hardware, const auto& software, const long double* literals) {
    for (std::size_t i = 0; i < hardware.size(); ++i) {
      EXPECT_TRUE(SameBits(hardware[i], literals[i])) << "entry " << i;
      EXPECT_EQ(hardware[i].SignExponent(), software[i].SignExponent()) << "entry " << i;
      EXPECT_EQ(hardware[i].Significand(), software[i].Significand()) << "entry " << i;
    }
  };
  check(Hardware::kUnits, Software::kUnits, units);
  check(Hardware::kThirtyTwos, Software::kThirtyTwos, thirtyTwos);
  check(Hardware::kFiveTwelves, Software::kFiveTwelves, fiveTwelves);
}

#endif
