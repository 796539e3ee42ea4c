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

 private:
  std::vector<std::string> texts_;
};

}  // namespace korvastel
