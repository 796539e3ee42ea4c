// The line splitter against the span file's reading rules, fed in two parts
// split at every byte.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "core/SpanLineSplitter.h"
#include "tests/core/SpanFileFixture.h"

namespace {

using korvastel::SpanColumn;
using korvastel::test::ReadCase;
using korvastel::test::ReadCases;

TEST(SpanLineSplitterTest, BlockBoundariesChangeNothing) {
  for (const ReadCase& c : ReadCases()) {
    for (std::size_t split = 0; split <= c.bytes.size(); ++split) {
      korvastel::SpanLineSplitter splitter(SpanColumn::RowCount);
      const std::string_view bytes(c.bytes);
      if (splitter.Feed(bytes.substr(0, split))) splitter.Feed(bytes.substr(split));
      EXPECT_EQ(splitter.TakeLines(), c.lines) << c.name << ", split at " << split;
    }
  }
}

}  // namespace
