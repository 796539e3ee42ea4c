#include <gtest/gtest.h>

#include <string>
#include <typeinfo>
#include <vector>

#include "core/Core.h"
#include "tests/core/TestSupport.h"

using namespace korvastel;
using korvastel::test::ColumnOf;
using korvastel::test::SeparatorScope;

TEST(RulingSpanTest, WorkedExamples) {
  const RulingSpanResult first = CalculateRulingSpan(ColumnOf({"100", "200", "300"}));
  EXPECT_EQ(first.count, 3);
  EXPECT_EQ(first.sum, 600.0);
  EXPECT_EQ(first.sumOfCubes, 36000000.0);
  EXPECT_EQ(first.RulingSpanText(), "244.95");
  EXPECT_EQ(first.SumText(), "600.00");
  EXPECT_EQ(first.CountText(), "3");

  const RulingSpanResult second = CalculateRulingSpan(ColumnOf({"70.5", "abc", "", " 81 "}));
  EXPECT_EQ(second.RulingSpanText(), "76.29");
  EXPECT_EQ(second.SumText(), "151.50");
  EXPECT_EQ(second.CountText(), "2");
}

TEST(RulingSpanTest, RowsAnywhereInTheColumnCount) {
  SpanColumn column;
  column.SetText(0, "100");
  column.SetText(1999, "200");
  column.SetText(SpanColumn::RowCount - 1, "300");
  EXPECT_EQ(CalculateRulingSpan(column).RulingSpanText(), "244.95");
  EXPECT_EQ(CountValidSpans(column), 3);
}

TEST(RulingSpanTest, FullColumnOfOnes) {
  SpanColumn column;
  for (int row = 0; row < SpanColumn::RowCount; ++row) column.SetText(row, "1");
  const RulingSpanResult result = CalculateRulingSpan(column);
  EXPECT_EQ(result.CountText(), "4000");
  EXPECT_EQ(result.SumText(), "4000.00");
  EXPECT_EQ(result.RulingSpanText(), "1.00");
}

TEST(RulingSpanTest, NegativeSpanAlone) {
  const RulingSpanResult result = CalculateRulingSpan(ColumnOf({"-5"}));
  EXPECT_EQ(result.RulingSpanText(), "5.00");
  EXPECT_EQ(result.SumText(), "-5.00");
  EXPECT_EQ(result.CountText(), "1");
}

TEST(RulingSpanTest, ValueBeyondDoubleIsCountedButNotCalculated) {
  const SpanColumn column = ColumnOf({"1e500", "100", "200", "300"});
  EXPECT_EQ(CountValidSpans(column), 4);
  const RulingSpanResult result = CalculateRulingSpan(column);
  EXPECT_EQ(result.count, 3);
  EXPECT_EQ(result.RulingSpanText(), "244.95");
}

TEST(RulingSpanTest, SumsRoundToDoubleAfterEveryRow) {
  // 2^53 + 1 is not a double: with each running sum rounded, adding 1 to 2^53
  // twice leaves 2^53; the exact sum would be 2^53 + 2.
  const RulingSpanResult result = CalculateRulingSpan(ColumnOf({"9007199254740992", "1", "1"}));
  EXPECT_EQ(result.sum, 9007199254740992.0);

  // 1 + (2^-53 + 2^-64): the extended sum ties to 1 + 2^-53, which then ties
  // to 1 as a double; a sum rounded straight to double would give 1 + 2^-52.
  const RulingSpanResult twice =
      CalculateRulingSpan(ColumnOf({"1", "1.110765125711399292640635394491255283355712890625e-16"}));
  EXPECT_EQ(twice.sum, 1.0);
}

TEST(RulingSpanTest, FailuresRaiseTheirClassAndMessage) {
  struct Case {
    const char* name;
    std::vector<std::string> rows;
    const std::type_info& type;
    const char* message;
  };
  const Case cases[] = {
      {"empty grid", {}, typeid(EInvalidOp), "Invalid floating point operation"},
      {"no valid text", {"abc", "1,5"}, typeid(EInvalidOp), "Invalid floating point operation"},
      {"zero sum, non-zero cubes", {"2", "-1", "-1"}, typeid(EZeroDivide), "Floating point division by zero"},
      {"zero sum, zero cubes", {"1", "-1"}, typeid(EInvalidOp), "Invalid floating point operation"},
      {"negative ratio", {"3", "-2", "-2"}, typeid(EInvalidOp), "Invalid floating point operation"},
      {"cube beyond double", {"1e103"}, typeid(EOverflow), "Floating point overflow"},
      {"result beyond double",
       {"2e100", "-1e100", "-1e100", "5e-324"},
       typeid(EOverflow),
       "Floating point overflow"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SpanColumn column = ColumnOf(c.rows);
    try {
      CalculateRulingSpan(column);
      ADD_FAILURE() << "no exception";
    } catch (const EMathError& e) {
      EXPECT_STREQ(e.what(), c.message);
      EXPECT_TRUE(typeid(e) == c.type) << "thrown: " << typeid(e).name();
    }
  }
}

TEST(RulingSpanTest, OverflowEndsTheCalculationAtItsRow) {
  // a span of 1e103 fails even with ordinary spans before and after it
  EXPECT_THROW(CalculateRulingSpan(ColumnOf({"100", "1e103", "200"})), EOverflow);
  EXPECT_NO_THROW(CalculateRulingSpan(ColumnOf({"100", "5e102", "200"})));
}

TEST(RulingSpanTest, CountValidSpansUsesTheParserOnly) {
  EXPECT_EQ(CountValidSpans(ColumnOf({"70.5", "abc", "", " 81 ", ".", "1e5000", "5e", "\t1"})), 4);
  EXPECT_EQ(CountValidSpans(SpanColumn()), 0);
}

TEST(RulingSpanTest, CountFollowsEveryWriteAndSeparatorChange) {
  // the verdicts the count remembers never outlive their text or separator
  struct Step {
    int row;
    const char* text;
    char separator;
    std::int32_t count;
  };
  // one step a line: write the row (-1: none), set the separator, count
  // clang-format off
  const Step steps[] = {
      {0,  "1,5",    '.', 0},
      {1,  "2",      '.', 1},
      {-1, "",       ',', 2},  // "1,5" is a span under ","
      {-1, "",       '.', 1},
      {1,  "abc",    '.', 0},
      {0,  "1.5",    '.', 1},
      {0,  "",       '.', 0},
      {2,  "7,25",   ',', 1},
      {3,  "1e5000", ',', 1},
      {3,  "1e500",  ',', 2},
      {-1, "",       '.', 1},
  };
  // clang-format on
  const char saved = DecimalSeparator();
  const SeparatorScope restored(saved);
  SpanColumn column;
  for (const Step& step : steps) {
    SCOPED_TRACE(std::string(step.text) + " then separator " + step.separator);
    if (step.row >= 0) column.SetText(step.row, step.text);
    SetDecimalSeparator(step.separator);
    EXPECT_EQ(CountValidSpans(column), step.count);
    EXPECT_EQ(CountValidSpans(column), step.count);  // the remembered verdicts agree
  }
}

TEST(RulingSpanTest, RegionalSeparatorAppliesToParsingAndFormatting) {
  const SeparatorScope comma(',');
  const RulingSpanResult result = CalculateRulingSpan(ColumnOf({"70,5", "70.5", " 81 "}));
  EXPECT_EQ(result.count, 2);
  EXPECT_EQ(result.SumText(), "151,50");
}
