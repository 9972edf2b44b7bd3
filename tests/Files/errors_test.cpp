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

// Logs, alerts and older callers show the numbers: a name never changes its value.
TEST(ErrorStr, NamedCodesKeepTheirNumbers) {
  const struct {
    file_result name;
    int value;
  } cases[] = {
      {kFileOk, 0},
      {kZipCannotOpen, 20001},
      {kZipCannotRead, 20002},
      {kZipCannotCreate, 20003},
      {kZipCannotWrite, 20004},
      {kZipForkTooLarge, 20005},
      {kFileCannotOpen, 20006},
      {kNetReconnectError, 20007},
      {kNetBadState, 20008},
      {kNetNoConnection, 20009},
      {kNetCannotWriteFile, 20010},
      {kNetServerNotFound, 20011},
      {kZipBadForkHeader, 20012},
      {kExeNotDos, 20013},
      {kExeNotPe, 20014},
      {kMacBadName, -37},
      {kMacFileNotFound, -43},
      {kMacDuplicateName, -48},
      {kZipBadEntryName, -37},
      {kZipBadArchive, -103},
  };
  for (const auto& c : cases) EXPECT_EQ(static_cast<int>(c.name), c.value);
  EXPECT_EQ(error_str(kZipBadEntryName), "bad name");
  EXPECT_EQ(error_str(kMacDuplicateName), "duplicate file name");
  // A POSIX code passes on unchanged; the program's own codes are not POSIX ones.
  EXPECT_EQ(static_cast<int>(pass_on(ENOSPC)), ENOSPC);
  for (int code : {EPERM, ENOSPC, EILSEQ, 19999}) EXPECT_TRUE(is_posix_error(code)) << code;
  for (int code : {0, -1, 20000, int(kZipCannotOpen), int(kNetServerNotFound), int(kMacBadName)})
    EXPECT_FALSE(is_posix_error(code)) << code;
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
