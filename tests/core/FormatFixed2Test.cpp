#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "core/Core.h"
#include "tests/core/TestSupport.h"

using korvastel::FormatFixed2;

#define EXPECT_FIXED(value, text) EXPECT_EQ(FormatFixed2(value), text) << "value " << (value)

TEST(FormatFixed2Test, RoundsToTwoDecimalsAndDropsTheSignOfZero) {
  EXPECT_FIXED(0.125, "0.13");
  EXPECT_FIXED(2.675, "2.67");
  EXPECT_FIXED(-5.0, "-5.00");
  EXPECT_FIXED(-0.001, "-0.00");
  EXPECT_FIXED(-0.0, "0.00");
}

TEST(FormatFixed2Test, RoundsHalfAwayFromZeroOnEighteenDigits) {
  EXPECT_FIXED(0.135, "0.14");
  EXPECT_FIXED(0.005, "0.01");       // 0.00500000000000000010
  EXPECT_FIXED(0.015, "0.01");       // 0.0149999999999999999
  EXPECT_FIXED(1.005, "1.00");       // 1.00499999999999989
  EXPECT_FIXED(9.995, "9.99");       // 9.99499999999999922
  EXPECT_FIXED(999.995, "1000.00");  // 999.995000000000005: carries into a new digit
  EXPECT_FIXED(0.995, "0.99");       // 0.994999999999999996
  EXPECT_FIXED(99.995, "100.00");    // 99.9950000000000045
  EXPECT_FIXED(-0.125, "-0.13");
  EXPECT_FIXED(-2.675, "-2.67");
  EXPECT_FIXED(0.0049, "0.00");
  // 1.0049999999999999 has 1.00499999999999989 as its 18 digits, while
  // 0.30000000000000004 cut at 18 digits is 0.300000000000000044
  EXPECT_FIXED(0.30000000000000004, "0.30");
}

TEST(FormatFixed2Test, WorkedExampleResults) {
  EXPECT_FIXED(std::sqrt(60000.0), "244.95");
  EXPECT_FIXED(600.0, "600.00");
  EXPECT_FIXED(151.5, "151.50");
  EXPECT_FIXED(76.29384, "76.29");
}

TEST(FormatFixed2Test, ZeroAndTinyValues) {
  EXPECT_FIXED(0.0, "0.00");
  EXPECT_FIXED(1e-300, "0.00");
  EXPECT_FIXED(-1e-300, "-0.00");
  EXPECT_FIXED(std::numeric_limits<double>::denorm_min(), "0.00");
  EXPECT_FIXED(0.01, "0.01");
}

TEST(FormatFixed2Test, LargeValuesKeepEighteenDigits) {
  EXPECT_FIXED(4000.0, "4000.00");
  EXPECT_FIXED(1e15, "1000000000000000.00");
  EXPECT_FIXED(1e17, "100000000000000000.00");
  EXPECT_FIXED(123456789012345678.0, "123456789012345680.00");  // the double is ...680
  EXPECT_FIXED(999999999999999872.0, "999999999999999872.00");
  EXPECT_FIXED(-1234567.891, "-1234567.89");
}

TEST(FormatFixed2Test, ScientificFromOneE18) {
  EXPECT_FIXED(1e18, "1E+18");
  EXPECT_FIXED(-1.5e20, "-1.5E+20");
  EXPECT_FIXED(1.7976931348623157e308, "1.79769313486231571E+308");
  EXPECT_FIXED(std::numeric_limits<double>::infinity(), "INF");
  EXPECT_FIXED(std::nan(""), "NAN");
}

TEST(FormatFixed2Test, UsesTheDecimalSeparatorSetting) {
  const korvastel::test::SeparatorScope comma(',');
  EXPECT_FIXED(244.948974278317, "244,95");
  EXPECT_FIXED(-0.0, "0,00");
  EXPECT_FIXED(1234567.5, "1234567,50");  // never a thousands separator
}
