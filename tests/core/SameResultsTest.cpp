// The promise that the same span list gives the same digits everywhere: on
// every processor, in whichever extended arithmetic it computes, the parse,
// the formatting and the calculation give the results the x87 unit gives on
// x86-64. Each is summed up in a digest of many results; the digests below
// were computed on x86-64 by the x87 unit. A change that alters any result
// alters its digest.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>

#include "core/Core.h"

using namespace korvastel;

namespace {

// FNV-1a over the bytes of every result.
class Digest {
 public:
  void Add(std::uint64_t value) {
    for (int i = 0; i < 8; ++i) Add(static_cast<unsigned char>(value >> (8 * i)));
  }
  void Add(const std::string& text) {
    for (const char c : text) Add(static_cast<unsigned char>(c));
    Add(static_cast<unsigned char>(0));
  }
  // An extended value as its sign, binary exponent and 64-bit mantissa,
  // whatever the width of long double.
  void Add(long double value) {
    int exponent = 0;
    const long double fraction = std::frexp(value, &exponent);
    Add(static_cast<std::uint64_t>(std::signbit(value)));
    Add(static_cast<std::uint64_t>(static_cast<std::int64_t>(exponent)));
    Add(static_cast<std::uint64_t>(std::ldexp(std::fabs(fraction), 64)));
  }
  std::uint64_t Value() const { return hash_; }

 private:
  void Add(unsigned char byte) { hash_ = (hash_ ^ byte) * 0x100000001B3u; }
  std::uint64_t hash_ = 0xCBF29CE484222325u;
};

class Texts {
 public:
  // Span texts of every shape: long mantissas, exponents across the whole
  // range and at its ends, and texts that fail.
  std::string Next() {
    std::string text = Pick(4) == 0 ? "-" : "";
    const int integerDigits = static_cast<int>(Pick(Pick(4) == 0 ? 30 : 6));
    for (int i = 0; i < integerDigits; ++i) text += static_cast<char>('0' + Pick(10));
    if (Pick(2) == 0) {
      text += '.';
      const int fractionDigits = static_cast<int>(Pick(Pick(4) == 0 ? 30 : 5));
      for (int i = 0; i < fractionDigits; ++i) text += static_cast<char>('0' + Pick(10));
    }
    // each draw in its own statement: the order of operands is unspecified
    switch (Pick(4)) {
      case 0:
        break;
      case 1:
        text += "e" + std::to_string(static_cast<int>(Pick(81)) - 40);
        break;
      case 2:
        text += "e" + std::to_string(static_cast<int>(Pick(9999)) - 4999);
        break;
      default: {
        const char* sign = Pick(2) == 0 ? "-" : "";
        text += "e" + std::string(sign) + std::to_string(4920 + Pick(41));
        break;
      }
    }
    return text;
  }
  std::uint64_t Bits() { return random_(); }

 private:
  std::uint64_t Pick(std::uint64_t n) { return random_() % n; }
  std::mt19937_64 random_{20261208};
};

}  // namespace

TEST(SameResultsTest, AsTheX87UnitGivesThem) {
  Texts texts;
  Digest parses;
  for (int i = 0; i < 100'000; ++i) {
    try {
      parses.Add(ParseSpan(texts.Next()));
    } catch (const EConvertError&) {
      parses.Add(std::string("fails"));
    }
  }
  Digest formats;
  for (int i = 0; i < 20'000; ++i) {
    // any double, a NaN made quiet: no result is a signalling NaN
    const std::uint64_t bits = texts.Bits();
    const bool nan = (bits & 0x7FF0000000000000u) == 0x7FF0000000000000u && (bits & 0xFFFFFFFFFFFFFu) != 0;
    formats.Add(FormatFixed2(std::bit_cast<double>(nan ? bits | 0x8000000000000u : bits)));
  }
  Digest calculations;
  for (int i = 0; i < 200; ++i) {
    SpanColumn column;
    for (int row = 0; row < 50; ++row) {
      const int at = static_cast<int>(texts.Bits() % SpanColumn::RowCount);
      std::string text = row % 4 == 0 ? texts.Next() : std::to_string(texts.Bits() % 1000);
      if (row % 4 != 0) text += "." + std::to_string(texts.Bits() % 100);
      column.SetText(at, text);
    }
    try {
      const RulingSpanResult result = CalculateRulingSpan(column);
      calculations.Add(result.RulingSpanText() + " " + result.SumText() + " " + result.CountText());
      calculations.Add(std::bit_cast<std::uint64_t>(result.sumOfCubes));
    } catch (const EMathError& e) {
      calculations.Add(std::string(e.what()));
    }
    calculations.Add(static_cast<std::uint64_t>(CountValidSpans(column)));
  }
  EXPECT_EQ(parses.Value(), 1444405651144131534u);
  EXPECT_EQ(formats.Value(), 15378918654345499162u);
  EXPECT_EQ(calculations.Value(), 14914421840794556766u);
}
