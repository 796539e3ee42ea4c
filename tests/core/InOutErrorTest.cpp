// The error table: which system errors read as the table's texts, and which
// as "I/O error n".
#include <gtest/gtest.h>

#include <cerrno>

#include "core/Errors.h"
#if defined(_WIN32)
#include <windows.h>

#include "core/file/windows/InOutError.h"
#else
#include "core/file/posix/InOutError.h"
#endif

TEST(InOutErrorTest, TableTextsGoOnlyWithTheConditionsTheyName) {
#if defined(_WIN32)
  // Windows' own codes: its first four are the table's conditions; every
  // other code, also one that shares a number with a later row, reads "I/O
  // error n"
  struct Case {
    unsigned long error;
    int code;
    const char* message;
  };
  const Case cases[] = {
      {ERROR_FILE_NOT_FOUND, 2, "File not found"},
      {ERROR_PATH_NOT_FOUND, 3, "Invalid filename"},
      {ERROR_TOO_MANY_OPEN_FILES, 4, "Too many open files"},
      {ERROR_ACCESS_DENIED, 5, "File access denied"},
      {ERROR_SHARING_VIOLATION, 32, "I/O error 32"},
      {ERROR_TOO_MANY_SEMAPHORES, 100, "I/O error 100"},
      {ERROR_DISK_FULL, 112, "I/O error 112"},
      {ERROR_INVALID_NAME, 123, "I/O error 123"},
  };
  for (const Case& c : cases) {
    try {
      korvastel::windows::ThrowInOutError(c.error);
    } catch (const korvastel::EInOutError& e) {
      EXPECT_EQ(e.ErrorCode(), c.code) << "error " << c.error;
      EXPECT_STREQ(e.what(), c.message) << "error " << c.error;
    }
  }
#else
  struct Case {
    int error;
    int code;
    const char* message;
  };
  const Case cases[] = {
      {ENOENT, 2, "File not found"},
      {EMFILE, 4, "Too many open files"},
      {ENFILE, 4, "Too many open files"},
      {EACCES, 5, "File access denied"},
      {EPERM, 5, "File access denied"},
      {EROFS, 5, "File access denied"},
      {EIO, 5, "I/O error 5"},
      {ENOSPC, 28, "I/O error 28"},
      {ENETUNREACH, 101, "I/O error 101"},
      {EISDIR, 21, "I/O error 21"},
      {ENOTDIR, 3, "Invalid filename"},
  };
  for (const Case& c : cases) {
    try {
      korvastel::posix::ThrowInOutError(c.error, "/tmp/file.txt");
    } catch (const korvastel::EInOutError& e) {
      EXPECT_EQ(e.ErrorCode(), c.code) << "errno " << c.error;
      EXPECT_STREQ(e.what(), c.message) << "errno " << c.error;
    }
  }
#endif
}
