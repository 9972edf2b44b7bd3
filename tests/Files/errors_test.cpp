// Error-code texts: the three families of codes and the fallback text.
#include "Files/errors.h"

#include <cerrno>
#include <set>
#include <string>

#include <gtest/gtest.h>

namespace {

TEST(ErrorStr, KnownCodes) {
  struct Case {
    int code;
    const char* text;
  };
  const Case cases[] = {
      {20001, "We were unable to open a zip file. It may be missing or damaged"},
      {20007, "We were unable to connct to the network due to an internal reconnect error"},
      {20008, "We wre unable to connect to the network due to a bad state error"},
      {20012, "Part of the downloaded zip file is corrupted (the resource fork header is bad)"},
      {-43, "File not found"},
      {-54, "Permissions error - perhaps you do not have access to a directory"},
      {-5000, "You have insufficient privileges for this operation"},
      // POSIX rows answer to this platform's numbers for the symbols
      {EACCES, "Permission denied. Perhaps you do not have access to a directory or file system"},
      {ENOTEMPTY, "Directory not empty"},
      {EAGAIN, "Resource temporarily unavailable"},
      {EDEADLK, "Resource deadlock avoided"},
      {ENAMETOOLONG, "File name too long"},
      {ENOSPC, "No space left on device. Perhaps your hard drive is full"},
      {EILSEQ, "Wide character encoding error"},
      {ENOSYS, "Function not implemented"},
      {ENOLCK, "No locks available"},
  };
  for (const Case& c : cases) EXPECT_EQ(error_str(c.code), c.text) << c.code;
}

TEST(ErrorStr, CodesWithoutARowGiveTheFallbackText) {
  for (int code : {0, -1, 20013, 20014, 15, -55, 2147483647, -2147483647 - 1})
    EXPECT_EQ(error_str(code), "Unknown error occurred (" + std::to_string(code) + ")");
}

TEST(ErrorStr, TableHasUniqueCodesAndEndsWithTheEmptyRow) {
  std::set<int> codes;
  int rows = 0;
  for (const err_msg_row* row = kErrMsgs; row->text; ++row, ++rows) {
    EXPECT_TRUE(codes.insert(row->code).second) << "duplicate code " << row->code;
    EXPECT_NE(row->code, 0);
    EXPECT_EQ(error_str(row->code), row->text);
  }
  EXPECT_EQ(rows, 79);
  EXPECT_EQ(kErrMsgs[rows].code, 0);
}

}  // namespace
