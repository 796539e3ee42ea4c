#include <gtest/gtest.h>

#include <stdexcept>

#include "core/Core.h"

using korvastel::SpanColumn;

TEST(SpanColumnTest, UnwrittenAndEmptiedRowsReadEmpty) {
  SpanColumn column;
  EXPECT_EQ(column.Text(0), "");
  EXPECT_EQ(column.Text(SpanColumn::RowCount - 1), "");
  column.SetText(7, " 81 ");
  EXPECT_EQ(column.Text(7), " 81 ");
  column.SetText(7, "");
  EXPECT_EQ(column.Text(7), "");
}

TEST(SpanColumnTest, KeepsBytesUnchanged) {
  SpanColumn column;
  const std::string bytes(
      "\xEF\xBB\xBF"
      "1\0"
      "2\xFF &&",
      9);
  column.SetText(3999, bytes);
  EXPECT_EQ(column.Text(3999), bytes);
}

TEST(SpanColumnTest, RejectsRowsOutsideTheColumn) {
  SpanColumn column;
  EXPECT_THROW(column.Text(-1), std::out_of_range);
  EXPECT_THROW(column.Text(SpanColumn::RowCount), std::out_of_range);
  EXPECT_THROW(column.SetText(SpanColumn::RowCount, "1"), std::out_of_range);
}

TEST(SpanColumnTest, VerdictsAreForgottenOnWriteAndUnderAnotherSeparator) {
  using Verdict = SpanColumn::Verdict;
  SpanColumn column;
  column.SetText(1, "1,5");
  EXPECT_EQ(column.RememberedVerdict(1, '.'), Verdict::Unknown);
  column.RememberVerdict(1, '.', false);
  column.RememberVerdict(2, '.', true);
  EXPECT_EQ(column.RememberedVerdict(1, '.'), Verdict::NoSpan);
  EXPECT_EQ(column.RememberedVerdict(2, '.'), Verdict::Span);
  EXPECT_EQ(column.RememberedVerdict(1, ','), Verdict::Unknown);
  column.SetText(2, "2");  // even an equal verdict is not assumed for a new text
  EXPECT_EQ(column.RememberedVerdict(2, '.'), Verdict::Unknown);
  column.RememberVerdict(1, ',', true);  // a new separator forgets the others
  EXPECT_EQ(column.RememberedVerdict(1, ','), Verdict::Span);
  EXPECT_EQ(column.RememberedVerdict(1, '.'), Verdict::Unknown);
  column.RememberVerdict(3, '.', true);
  EXPECT_EQ(column.RememberedVerdict(1, '.'), Verdict::Unknown);
  EXPECT_THROW(column.RememberedVerdict(SpanColumn::RowCount, '.'), std::out_of_range);
}
