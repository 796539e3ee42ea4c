#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>

#include "core/Core.h"

using korvastel::SpanColumn;

TEST(SpanColumnTest, EmptyRowsHoldNoHeapStorage) {
  // a string without heap storage has the capacity of a default one
  const std::size_t inlineCapacity = std::string().capacity();
  SpanColumn column;
  EXPECT_EQ(column.Text(0).capacity(), inlineCapacity);
  EXPECT_EQ(column.Text(SpanColumn::RowCount - 1).capacity(), inlineCapacity);
  std::string emptied(1000, '7');
  emptied.clear();  // empty, with its 1000 bytes still held
  column.SetText(7, std::string(1000, '8'));
  EXPECT_GT(column.Text(7).capacity(), inlineCapacity);
  column.SetText(7, std::move(emptied));
  EXPECT_EQ(column.Text(7), "");
  EXPECT_EQ(column.Text(7).capacity(), inlineCapacity);
  column.SetText(8, std::string(1000, '8'));
  column.SetText(8, "");
  EXPECT_EQ(column.Text(8).capacity(), inlineCapacity);
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
