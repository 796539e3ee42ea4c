#pragma once

#include <QStringView>
#include <string>

class QFontMetrics;
class QString;

// How a cell's bytes become screen text and back. Cells hold bytes exactly as
// they were loaded or typed; typed text is stored as UTF-8. Bytes that are
// valid UTF-8 are shown as such; any others come from a span file written on
// Windows, where text is the system's ANSI code page, and are shown in it:
// that code page on Windows, Windows-1251 (the Russian one) elsewhere. Only
// the display depends on this: which texts are spans, and what a save
// writes, never do.
class GridCellText {
 public:
  static QString Decode(const std::string& bytes);
  static QString Decode(const char* bytes, std::size_t size);
  static std::string Encode(QStringView text);
  // Whether `bytes` are shown as `text`. A text far shorter or longer than
  // the bytes cannot be theirs and is told apart without decoding them, so
  // a short typed text is compared with a 10 MB cell at no cost.
  static bool DecodesTo(const std::string& bytes, QStringView text);

  // The end of the text that is enough to fill `width` pixels when drawn
  // right-aligned. Short texts come back whole; a huge one (a stray binary
  // file, a 10 MB line) is cut to a tail a little wider than `width`, so
  // drawing it costs the same as drawing an ordinary cell.
  static QString VisibleTail(const std::string& bytes, const QFontMetrics& metrics, int width);
};
