#pragma once

#include <string>
#include <vector>

namespace korvastel {

// The texts of the spans grid's single column, rows 0 to RowCount - 1. This is
// the one store of the span texts: the grid draws and edits it, the count, the
// calculation and the span file read it. Texts are byte strings kept exactly
// as written; an empty row holds no heap storage.
class SpanColumn {
 public:
  static constexpr int RowCount = 4000;

  SpanColumn();

  // "" for a row never written or emptied. Throws std::out_of_range outside
  // 0..RowCount-1.
  const std::string& Text(int row) const;
  void SetText(int row, std::string text);

  // Whether a row's text is a span, as last decided by the parser, so that a
  // recount parses only the rows written since the one before. A verdict
  // belongs to the text it was made on and to the decimal separator it was
  // made under: SetText forgets the row's verdict, and asked for under
  // another separator every verdict is Unknown.
  enum class Verdict : unsigned char { Unknown, Span, NoSpan };
  Verdict RememberedVerdict(int row, char separator) const;
  // Remembering under another separator than the last forgets every other row.
  void RememberVerdict(int row, char separator, bool span) const;

 private:
  std::vector<std::string> texts_;
  // a cache of what ParseSpan decided, not part of the column's value
  mutable std::vector<Verdict> verdicts_;
  mutable char verdictSeparator_ = '.';
};

}  // namespace korvastel
