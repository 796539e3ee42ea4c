#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace korvastel {

// Turns the bytes of a span file, fed in blocks of any size, into its line
// texts. Lines end at LF; every CR is dropped (CR LF ends a line, a lone CR is
// no part of the text); a byte 0x1A ends the data. A last line without an end
// is a line, even one that held only CRs; a file ending in a line end has no
// extra empty line. Only the first `maxLines` texts are kept, so memory does
// not grow with the lines beyond them. Other bytes, NUL included, stay as
// they are:
//   "100\r\n200"          -> {"100", "200"}
//   "100\n\n200\n"        -> {"100", "", "200"}
//   "10\r0\r\n"           -> {"100"}
//   "100\r\n200\x1A" "300" -> {"100", "200"}
class SpanLineSplitter {
 public:
  explicit SpanLineSplitter(std::size_t maxLines);

  // Takes the next block; false once a 0x1A has ended the data, after which
  // further blocks are ignored.
  bool Feed(std::string_view block);

  // The kept texts, the last unfinished line included.
  std::vector<std::string> TakeLines();

 private:
  bool Full() const;
  void SplitLines(std::string_view data);
  void AppendToLine(std::string_view part);
  void EndLine();

  std::size_t maxLines_;
  std::vector<std::string> lines_;
  std::string line_;
  bool lineStarted_ = false;
  bool dataEnded_ = false;
};

}  // namespace korvastel
