#include "ui/grid/ClipboardLineReader.h"

ClipboardLineReader::ClipboardLineReader(QStringView text) : text_(text) {}

bool ClipboardLineReader::AtEnd() const { return pos_ >= text_.size(); }

QStringView ClipboardLineReader::NextLine() {
  const qsizetype start = pos_;
  qsizetype end = start;
  while (end < text_.size() && text_[end] != u'\r' && text_[end] != u'\n') ++end;
  pos_ = end;
  if (pos_ < text_.size()) {
    const bool crlf = text_[pos_] == u'\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == u'\n';
    pos_ += crlf ? 2 : 1;
  }
  return text_.sliced(start, end - start);
}

QStringView ClipboardLineReader::FirstField(QStringView line) {
  const qsizetype tab = line.indexOf(u'\t');
  return tab < 0 ? line : line.first(tab);
}
