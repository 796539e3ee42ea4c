// The span file's rules that hold on every system, against real files and
// folders: which lines a file gives, which rows a save writes, and the
// errors that name what went wrong.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/Core.h"
#include "tests/core/SpanFileFixture.h"

namespace {

using namespace korvastel::test;

TEST_F(SpanFileTest, ReadsLinesByTheFileRules) {
  for (const ReadCase& c : ReadCases()) {
    WriteBytes(Path("spans.txt"), c.bytes);
    EXPECT_EQ(ReadSpanFile(Path("spans.txt")), c.lines) << c.name;
  }
}

TEST_F(SpanFileTest, KeepsTheFirst4000Of5000Lines) {
  std::string bytes;
  for (int line = 1; line <= 5000; ++line) bytes += std::to_string(line) + "\r\n";
  WriteBytes(Path("spans.txt"), bytes);
  const Lines lines = ReadSpanFile(Path("spans.txt"));
  ASSERT_EQ(lines.size(), 4000u);
  EXPECT_EQ(lines.front(), "1");
  EXPECT_EQ(lines.back(), "4000");
}

TEST_F(SpanFileTest, ReadsA10MBLineWhole) {
  std::string line(10 << 20, '7');
  line[12345] = '\r';  // dropped, also far inside a long line
  WriteBytes(Path("spans.txt"), line + "\r\n" + "8");
  const Lines lines = ReadSpanFile(Path("spans.txt"));
  line.erase(12345, 1);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].size(), line.size());
  EXPECT_TRUE(lines[0] == line);
  EXPECT_EQ(lines[1], "8");
}

TEST_F(SpanFileTest, WritesAcceptedTextsAsTypedWithCRLF) {
  struct {
    const char* name;
    Lines texts;
    std::string bytes;
  } cases[] = {
      {"invalid and empty rows leave no line", {"abc", "", "7.25", "12"}, "7.25\r\n12\r\n"},
      {"texts as typed", {" 81 ", "1e3", "1,5", "-2.50"}, " 81 \r\n1e3\r\n-2.50\r\n"},
      {"no valid row", {"abc", "", " "}, ""},
  };
  for (const auto& c : cases) {
    WriteBytes(Path("spans.txt"), "old content, longer than any new one\r\n");
    WriteSpanFile(Path("spans.txt"), ColumnOf(c.texts));
    EXPECT_EQ(ReadBytes(Path("spans.txt")), c.bytes) << c.name;
  }
  SpanColumn lastRowOnly;
  lastRowOnly.SetText(SpanColumn::RowCount - 1, "5");
  WriteSpanFile(Path("new.txt"), lastRowOnly);
  EXPECT_EQ(ReadBytes(Path("new.txt")), "5\r\n");
}

TEST_F(SpanFileTest, RoundTripKeepsTheValidTextsInOrder) {
  const Lines texts = {"70.5", "", "x", " 312", "1.25e2 ", "245.75"};
  WriteSpanFile(Path("spans.txt"), ColumnOf(texts));
  EXPECT_EQ(ReadSpanFile(Path("spans.txt")), (Lines{"70.5", " 312", "1.25e2 ", "245.75"}));
}

// Any name the file dialog can return works: one outside ASCII, and a path
// longer than Windows' old limit of 260 characters.
TEST_F(SpanFileTest, SavesAndReadsUnderAnyName) {
  std::string deep = Path("");
  for (int level = 0; level < 25; ++level) {
    deep += "abcdefghij/";
    ASSERT_TRUE(MakeFolder(deep)) << deep;
  }
  for (const std::string& path : {Path("пролёты №1 €.txt"), deep + "spans.txt"}) {
    WriteSpanFile(path, ColumnOf({"70.5", "x", "245.75"}));
    WriteSpanFile(path, ColumnOf({"70.5", "x", "245.75", "12"}));  // replacing it too
    EXPECT_EQ(ReadBytes(path), "70.5\r\n245.75\r\n12\r\n") << path;
    EXPECT_EQ(ReadSpanFile(path), (Lines{"70.5", "245.75", "12"})) << path;
  }
  EXPECT_EQ(Entries(), (std::set<std::string>{"abcdefghij", "пролёты №1 €.txt"}));
  // the standard library removes no folder this deep on Windows
  Remove(deep + "spans.txt");
  for (; deep.size() > folder_.size(); deep.resize(deep.size() - 11)) RemoveFolder(deep);
}

TEST_F(SpanFileTest, FailuresNameWhatWentWrong) {
  WriteBytes(Path("file.txt"), "1\r\n");
  const SpanColumn column = ColumnOf({"1"});
#if defined(_WIN32)
  const int folderCode = ERROR_ACCESS_DENIED;  // what Windows says to a folder opened as a file
#else
  const int folderCode = EISDIR;
#endif
  struct {
    const char* name;
    std::string path;
    int readCode;
    int writeCode;
  } cases[] = {
      {"missing file", Path("missing.txt"), 2, -1},
      {"missing folder", Path("missing/spans.txt"), 3, 3},
      {"a file used as a folder", Path("file.txt/spans.txt"), 3, 3},
      {"a folder", Path(""), folderCode, folderCode},
      {"a folder without the slash", folder_.substr(0, folder_.size() - 1), folderCode, folderCode},
      {"an empty name", "", 3, 3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ErrorCodeOf([&] { ReadSpanFile(c.path); }), c.readCode) << c.name;
    EXPECT_EQ(ErrorCodeOf([&] { WriteSpanFile(c.path, column); }), c.writeCode) << c.name;
  }
  EXPECT_EQ(Entries(), (std::set<std::string>{"file.txt", "missing.txt"}));
  EXPECT_EQ(ErrorCodeOf([&] { ReadSpanFile(Path("missing/spans.txt")); }), 3);
  try {
    ReadSpanFile(Path("missing.txt.nothere"));
    ADD_FAILURE() << "read a missing file";
  } catch (const EInOutError& error) {
    EXPECT_STREQ(error.what(), "File not found");
  }
}

}  // namespace
