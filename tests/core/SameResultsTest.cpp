// The promise that the same span list gives the same digits everywhere: on
// every processor, in whichever extended arithmetic it computes, the parse,
// the formatting and the calculation give the results the x87 unit gives on
// x86-64. Each is summed up in a digest of many results; the digests below
// were computed on x86-64 by the x87 unit. A change that alters any result
// alters its digest; where the x87 unit is there too, a digest that differs
// names the first input on which the software arithmetic and the x87 unit
// disagree.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/Core.h"
#include "core/arithmetic/ArithmeticVariant.h"
#include "core/arithmetic/ExtendedArithmetic.h"

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

using Rows = std::vector<std::pair<int, std::string>>;

SpanColumn ColumnOf(const Rows& rows) {
  SpanColumn column;
  for (const auto& [at, text] : rows) column.SetText(at, text);
  return column;
}

// Each result as the digest takes it, in the given arithmetic.
template <class Extended>
std::string ParseResult(const std::string& text) {
  try {
    char value[64];
    std::snprintf(value, sizeof value, "%La", detail::ParseSpanWith<Extended>(text));
    return value;
  } catch (const EConvertError&) {
    return "fails";
  }
}

template <class Extended>
std::string FormatResult(const std::uint64_t& bits) {
  return detail::FormatFixed2With<Extended>(std::bit_cast<double>(bits));
}

template <class Extended>
std::string CalculationResult(const Rows& rows) {
  try {
    const RulingSpanResult result = detail::CalculateRulingSpanWith<Extended>(ColumnOf(rows));
    return result.RulingSpanText() + " " + result.SumText() + " " + result.CountText() + " " +
           std::to_string(std::bit_cast<std::uint64_t>(result.sumOfCubes));
  } catch (const EMathError& e) {
    return e.what();
  }
}

// For a digest that differs: the first input on which the software
// arithmetic disagrees with the x87 unit, whose results the digests hold.
template <class Input, class Describe>
std::string FirstDisagreement(const std::vector<Input>& inputs, std::string (*soft)(const Input&),
                              [[maybe_unused]] std::string (*x87)(const Input&), const Describe& describe) {
#if KORVASTEL_HAS_X87_EXTENDED
  for (const Input& input : inputs) {
    const std::string expected = x87(input);
    const std::string got = soft(input);
    if (got != expected) return describe(input) + ": software " + got + ", x87 unit " + expected;
  }
  return "the software arithmetic and the x87 unit agree on every input";
#else
  (void)inputs;
  (void)soft;
  (void)describe;
  return "no x87 unit here to tell the input";
#endif
}

#if KORVASTEL_HAS_X87_EXTENDED
using X87 = detail::X87Extended;
#else
using X87 = detail::SoftExtended;  // not called
#endif
using Soft = detail::SoftExtended;

std::string DescribeText(const std::string& text) { return "'" + text + "'"; }

std::string DescribeBits(std::uint64_t bits) {
  char value[64];
  std::snprintf(value, sizeof value, "%a", std::bit_cast<double>(bits));
  return value;
}

std::string DescribeRows(const Rows& rows) {
  std::string described = "rows";
  for (const auto& [at, text] : rows) described += " " + std::to_string(at) + ":'" + text + "'";
  return described;
}

}  // namespace

TEST(SameResultsTest, AsTheX87UnitGivesThem) {
  Texts texts;
  Digest parses;
  std::vector<std::string> parsed;
  for (int i = 0; i < 100'000; ++i) {
    parsed.push_back(texts.Next());
    try {
      parses.Add(ParseSpan(parsed.back()));
    } catch (const EConvertError&) {
      parses.Add(std::string("fails"));
    }
  }
  Digest formats;
  std::vector<std::uint64_t> formatted;
  for (int i = 0; i < 20'000; ++i) {
    // any double, a NaN made quiet: no result is a signalling NaN
    const std::uint64_t bits = texts.Bits();
    const bool nan = (bits & 0x7FF0000000000000u) == 0x7FF0000000000000u && (bits & 0xFFFFFFFFFFFFFu) != 0;
    formatted.push_back(nan ? bits | 0x8000000000000u : bits);
    formats.Add(FormatFixed2(std::bit_cast<double>(formatted.back())));
  }
  Digest calculations;
  std::vector<Rows> calculated;
  for (int i = 0; i < 200; ++i) {
    Rows rows;
    for (int row = 0; row < 50; ++row) {
      const int at = static_cast<int>(texts.Bits() % SpanColumn::RowCount);
      std::string text = row % 4 == 0 ? texts.Next() : std::to_string(texts.Bits() % 1000);
      if (row % 4 != 0) text += "." + std::to_string(texts.Bits() % 100);
      rows.emplace_back(at, text);
    }
    calculated.push_back(rows);
    const SpanColumn column = ColumnOf(rows);
    try {
      const RulingSpanResult result = CalculateRulingSpan(column);
      calculations.Add(result.RulingSpanText() + " " + result.SumText() + " " + result.CountText());
      calculations.Add(std::bit_cast<std::uint64_t>(result.sumOfCubes));
    } catch (const EMathError& e) {
      calculations.Add(std::string(e.what()));
    }
    calculations.Add(static_cast<std::uint64_t>(CountValidSpans(column)));
  }
  EXPECT_EQ(parses.Value(), 1444405651144131534u)
      << FirstDisagreement<std::string>(parsed, ParseResult<Soft>, ParseResult<X87>, DescribeText);
  EXPECT_EQ(formats.Value(), 15378918654345499162u)
      << FirstDisagreement<std::uint64_t>(formatted, FormatResult<Soft>, FormatResult<X87>, DescribeBits);
  EXPECT_EQ(calculations.Value(), 14914421840794556766u)
      << FirstDisagreement<Rows>(calculated, CalculationResult<Soft>, CalculationResult<X87>, DescribeRows);
}
