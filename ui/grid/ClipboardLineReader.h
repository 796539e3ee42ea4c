#pragma once

#include <QStringView>

// Walks a pasted text one line at a time instead of splitting it all up front,
// so pasting a huge clipboard costs only the lines the target range takes.
// Lines end at CR LF, CR or LF; the last line needs no ending, and a final
// line ending does not start another line:
//   "1\r\n2\r3\n" -> "1", "2", "3"
//   "1\n\n2"      -> "1", "", "2"
class ClipboardLineReader {
 public:
  explicit ClipboardLineReader(QStringView text);

  bool AtEnd() const;

  // The next line without its ending; an empty view once AtEnd().
  QStringView NextLine();

  // The part of a line before its first TAB: "100\t200" -> "100".
  static QStringView FirstField(QStringView line);

 private:
  QStringView text_;
  qsizetype pos_ = 0;
};
