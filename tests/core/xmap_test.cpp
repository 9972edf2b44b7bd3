// The whole-file reader: mapping, the data-file header (written by ouf_open,
// read by check_file), the byte-order reader and the text scanners.
//
// Contents
//   [SECTION] The fixture
//   [SECTION] Header written by ouf_open and read by check_file
//   [SECTION] Mapping
//   [SECTION] Fatal alerts
//   [SECTION] Text scanning
#include "core/files/xmap.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <climits>
#include <cstring>

#include "core/globals.h"
#include "Files/io_utils.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_support.h"

using testing_support::read_file;
using testing_support::write_file;

namespace {

// [SECTION] The fixture

class XmapTest : public testing_support::TempFolderTest {
 protected:
  XmapTest() : TempFolderTest("xmap") {}
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(TempFolderTest::SetUp());
    g_case_sensitive = 0;
  }
  std::string file(const std::string& name, const std::string& bytes) {
    write_file(dir + name, bytes);
    return dir + name;
  }
};

const int k900[] = {900, 0};

// [SECTION] Header written by ouf_open and read by check_file

TEST_F(XmapTest, HeaderRoundTripThroughOufOpen) {
  struct Case {
    int kind;
    int version;
    const char* notice;
    std::string bytes;  // what ouf_open must write
    std::string out;    // what check_file hands back as the rest of the line
  } cases[] = {
      {kind_text, 900, "no-copyright-string", "I\n900 version\n", "version"},
      {kind_text, 9001, " (c) Flyhouse crew", "I\n9001 version (c) Flyhouse crew\n",
       "version (c) Flyhouse crew"},
      {kind_text, -5, "no-copyright-string", "I\n-5 version\n", "version"},
      {kind_binary, 900, "ignored", std::string("i\x84\x03\x00\x00", 5), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    std::string path = dir + "header.dat";
    ASSERT_EQ(ouf_open(path, c.kind, c.version, c.notice), 1);
    if (c.kind == kind_text) ouf << "INSTALLER\n" << 1.5f << "\n";
    ouf.close();
    std::string tail = c.kind == kind_text ? "INSTALLER\n1.500000\n" : "";
    EXPECT_EQ(read_file(path), c.bytes + tail);

    xmap_class m(path.c_str());
    ASSERT_NE(m.map_begin, nullptr);
    const int versions[] = {c.version, 0};
    std::string out = "untouched";
    EXPECT_EQ(m.check_file(c.kind, versions, c.kind == kind_text ? "INSTALLER" : nullptr, &out),
              c.version);
    if (c.kind == kind_text) {
      EXPECT_EQ(out, c.out);
      EXPECT_EQ(std::string(m.cursor, m.map_end), "1.500000\n");
    } else {
      EXPECT_EQ(out, "untouched");
      EXPECT_EQ(m.cursor, m.map_begin + 5);
      EXPECT_EQ(m.byte_swap, 0);
    }
  }
}

TEST_F(XmapTest, CheckFileCases) {
  const int k192[] = {192, 0};
  const int kMinus5[] = {-5, 0};
  const int kNone[] = {0};
  const int kWrapped[] = {1, 0};
  struct Case {
    std::string bytes;
    const int* versions;
    const char* kind_word;
    int result;
    const char* cursor_at;  // text expected from the cursor on
  } cases[] = {
      {"I\r\n900 version\r\nINSTALLER\r\n\r\nnext line", k900, "INSTALLER", 900, "next line"},
      {"I\r\n900 version\r\nINSTALLER\r\nnext", k900, "SERVERS", 0, "INSTALLER\r\nnext"},
      {"I\n900 version\nINSTALLERS\nnext", k900, "INSTALLER", 0, "INSTALLERS\nnext"},
      {"I\n900 version\n  \tINSTALLER\t \nnext", k900, "INSTALLER", 900, "next"},
      {"I\n900 version\nINSTALLER", k900, "INSTALLER", 900, ""},
      {"I\n900 version\nINSTALL", k900, "INSTALLER", 0, "INSTALL"},
      {"I\n900 version", k900, nullptr, 900, ""},
      {"A junk after the letter\n\n\n 900 version\nbody", k900, nullptr, 900, "body"},
      {"X\n900 version\n", k900, nullptr, 0, nullptr},
      {"I\n-5 version\n", kMinus5, nullptr, -5, ""},
      {"I\n12x version\n", k192, nullptr, 192, ""},  // 'x' counts as the digit 72
      {"I\n12x version\n", k900, nullptr, 0, nullptr},
      {"I\n900 version\n", kNone, nullptr, 0, nullptr},
      {"I\n", k900, nullptr, 0, nullptr},
      // Long tokens from a downloaded file wrap instead of overflowing.
      {"I\n4294967297 version\n", kWrapped, nullptr, 1, ""},
      {"I\n99999999999999999999999999 version\n", k900, nullptr, 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    std::string path = file("case.txt", c.bytes);
    xmap_class m(path.c_str());
    m.byte_swap = 1;  // text headers leave the byte order alone
    EXPECT_EQ(m.check_file(kind_text, c.versions, c.kind_word, nullptr), c.result);
    EXPECT_EQ(m.byte_swap, 1);
    if (c.cursor_at) {
      EXPECT_EQ(std::string(m.cursor, m.map_end), c.cursor_at);
    }
  }
}

TEST_F(XmapTest, BinaryHeaderOfOtherByteOrderSwapsWords) {
  std::string path = file("swapped.bin", std::string("a\x00\x00\x03\x84"
                                                     "ABCDEF",
                                                     11));
  xmap_class m(path.c_str());
  EXPECT_EQ(m.check_file(kind_binary, k900, nullptr, nullptr), 900);
  EXPECT_EQ(m.byte_swap, 1);
  char got[6];
  m.read_n_rev(got, 6);
  EXPECT_EQ(std::string(got, 6), "DCBAEF");
  EXPECT_EQ(m.cursor, m.map_end);

  struct Case {
    std::string bytes;
    int result;
  } refused[] = {
      {std::string("i\x84\x03", 3), 0},          // ends before the version
      {std::string("I\x84\x03\x00\x00", 5), 0},  // text letter in a binary file
      {std::string("i\x00\x00\x03\x84", 5), 0},  // 900 in the other order is no listed version
  };
  for (const Case& c : refused) {
    xmap_class r(file("refused.bin", c.bytes).c_str());
    EXPECT_EQ(r.check_file(kind_binary, k900, nullptr, nullptr), c.result);
  }
}

// [SECTION] Mapping

TEST_F(XmapTest, EmptyFileIsNonNullAndZeroLength) {
  std::string path = file("empty.txt", "");
  xmap_class m(path.c_str());
  ASSERT_NE(m.map_begin, nullptr);
  EXPECT_EQ(m.map_begin, m.map_end);
  EXPECT_EQ(m.cursor, m.map_begin);
  EXPECT_EQ(m.check_file(kind_text, k900, nullptr, nullptr), 0);
  std::string word = "x";
  m.TXT_str_scan_space(&word);
  EXPECT_EQ(word, "");
}

TEST_F(XmapTest, MissingFileAndFolderMapNothing) {
  xmap_class missing((dir + "nope.txt").c_str());
  EXPECT_EQ(missing.map_begin, nullptr);
  EXPECT_EQ(missing.fd, -1);
  EXPECT_EQ(missing.check_file(kind_text, k900, nullptr, nullptr), 0);
  xmap_class folder(dir.c_str());
  EXPECT_EQ(folder.map_begin, nullptr);
}

TEST_F(XmapTest, RetryReplacesTheMapping) {
  std::string a = file("a.txt", "first"), b = file("b.txt", "second file");
  xmap_class m(a.c_str());
  ASSERT_EQ(std::string(m.map_begin, m.map_end), "first");
  ASSERT_NE(m.retry(b.c_str()), nullptr);
  EXPECT_EQ(std::string(m.map_begin, m.map_end), "second file");
  EXPECT_EQ(m.retry((dir + "gone").c_str()), nullptr);
  EXPECT_EQ(m.map_begin, nullptr);
  EXPECT_EQ(m.fd, -1);
}

TEST_F(XmapTest, DescriptorZeroIsAFile) {
  std::string path = file("zero.txt", "I\n900 version\n");
  EXPECT_EXIT(
      {
        close(0);
        int result = 1;
        {
          xmap_class m(path.c_str());
          if (m.fd == 0 && m.map_begin && m.check_file(kind_text, k900, nullptr, nullptr) == 900)
            result = 0;
        }
        // The destructor must have closed descriptor 0 again.
        if (fcntl(0, F_GETFD) != -1) result = 2;
        _exit(result);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(XmapTest, ColonIsAnOrdinaryPathByte) {
  std::string path = file("12:30 notes.txt", "ok");
  xmap_class m(path.c_str());
  ASSERT_NE(m.map_begin, nullptr);
  EXPECT_EQ(std::string(m.map_begin, m.map_end), "ok");
}

TEST_F(XmapTest, CaseIsRepairedOnCaseSensitiveVolumes) {
  ASSERT_EQ(make_folder(dir + "Data"), 0);
  file("Data/Servers.txt", "x");
  std::string wrong = dir + "data/servers.TXT";
  EXPECT_EQ(xmap_class(wrong.c_str()).map_begin, nullptr);
  g_case_sensitive = 1;
  EXPECT_NE(xmap_class(wrong.c_str()).map_begin, nullptr);
}

TEST_F(XmapTest, IoFileOpenBothWays) {
  std::string path = dir + "io.txt";
  xmap_class w;
  EXPECT_EQ(w.io_file_open(1, path, k900, kind_text), 1);
  ouf << "body\n";
  w.io_file_close();
  EXPECT_FALSE(ouf.is_open());
  EXPECT_EQ(read_file(path), "I\n900 version\nbody\n");

  xmap_class r;
  EXPECT_EQ(r.io_file_open(0, path, k900, kind_text), 1);
  EXPECT_EQ(std::string(r.cursor, r.map_end), "body\n");
  const int k901[] = {901, 0};
  EXPECT_EQ(r.io_file_open(0, path, k901, kind_text), 0);
  EXPECT_EQ(r.io_file_open(7, path, k900, kind_text), 0);
}

// [SECTION] Fatal alerts

TEST_F(XmapTest, FatalAlerts) {
  std::string path = file("data.bin", std::string("i\x84\x03\x00\x00"
                                                  "xy",
                                                  7));
  EXPECT_EXIT(
      {
        xmap_class m(path.c_str());
        m.check_file(kind_binary, k900, nullptr, nullptr);
        char buf[3];
        m.read_n_rev(buf, 3);
      },
      ::testing::ExitedWithCode(1), "Invalid read_n_rev read!");
  // A count so large that cursor + n would wrap around must not slip through.
  EXPECT_EXIT(
      {
        xmap_class m(path.c_str());
        char buf[1];
        m.read_n_rev(buf, static_cast<size_t>(-1));
      },
      ::testing::ExitedWithCode(1), "Invalid read_n_rev read!");
  EXPECT_EXIT(
      {
        xmap_class m(path.c_str());
        m.check_file(10002, k900, nullptr, nullptr);
      },
      ::testing::ExitedWithCode(1), "Bad check_file type!");
  EXPECT_EXIT(xmap_class m("Resources\\default data\\x.txt"), ::testing::ExitedWithCode(1),
              "I got a bad dirchar");
  EXPECT_EXIT(
      {
        app_path = dir;
        xmap_class m((dir + "data.bin").c_str());
      },
      ::testing::ExitedWithCode(1), "not Flyhouse relative");
}

// Readers of names met on disk ask can_take first: it must refuse exactly
// the paths that end the program.
TEST_F(XmapTest, CanTakeRefusesWhatEndsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string at_499 = dir + std::string(499 - dir.size(), 'a');
  struct {
    std::string app, path;
    bool takes;
  } cases[] = {
      {"", at_499, true},
      {"", at_499 + "b", false},
      {"", dir + "back\\slash", false},
      {"", dir + "colon:is a name byte", true},
      {"app/", "x", true},
      {"app/", "in/app/x", false},
      {std::string(495, 'p') + "/", "abc", true},
      {std::string(495, 'p') + "/", "abcd", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.app.substr(0, 10) + c.path.substr(0, 30) + " " + std::to_string(c.path.size()));
    app_path = c.app;
    EXPECT_EQ(xmap_class::can_take(c.path), c.takes);
    if (c.takes)
      EXPECT_EQ(xmap_class(c.path.c_str()).map_begin, nullptr) << "missing, and no alert";
    else
      EXPECT_EXIT(xmap_class m(c.path.c_str()), ::testing::ExitedWithCode(1), "");
  }
  app_path.clear();
}

TEST_F(XmapTest, PathLengthLimit) {
  std::string ok = dir + std::string(499 - dir.size(), 'a');
  ASSERT_EQ(ok.size(), 499u);
  xmap_class m(ok.c_str());  // too long a name for the system, but no alert
  EXPECT_EQ(m.map_begin, nullptr);
  EXPECT_EXIT(xmap_class m2((ok + "b").c_str()), ::testing::ExitedWithCode(1), "String too long!");
}

// [SECTION] Text scanning

TEST_F(XmapTest, WordAndLineScanners) {
  xmap_class m(file("scan.txt", "  FILE 1\r\nname with blanks  \n\n\nnext\rlast").c_str());
  std::string s;
  m.TXT_str_scan_space(&s);
  EXPECT_EQ(s, "FILE");
  EXPECT_EQ(*m.cursor, ' ');
  m.TXT_str_scan_space(&s);
  EXPECT_EQ(s, "1");
  ASSERT_EQ(*m.cursor, '\r');
  const char* at_cr = m.cursor;
  m.TXT_str_scan_space(&s);
  EXPECT_EQ(s, "");
  EXPECT_EQ(m.cursor, at_cr);
  m.TXT_str_scan_eoln(&s);  // empty rest of the FILE line
  EXPECT_EQ(s, "");
  m.TXT_str_scan_eoln(&s);
  EXPECT_EQ(s, "name with blanks  ");
  EXPECT_EQ(std::string(m.cursor, 4), "next");
  m.TXT_str_scan_eoln(nullptr);
  m.TXT_str_scan_eoln(&s);
  EXPECT_EQ(s, "last");
  EXPECT_EQ(m.cursor, m.map_end);
  s = "x";
  m.TXT_str_scan_space(&s);
  EXPECT_EQ(s, "");
  s = "x";
  m.TXT_str_scan_eoln(&s);
  EXPECT_EQ(s, "");
  EXPECT_EQ(m.cursor, m.map_end);
}

TEST_F(XmapTest, IntegerTokens) {
  struct Case {
    const char* text;
    int value;
    const char* rest;
  } cases[] = {
      {"42 x", 42, " x"},
      {"\t -17\n", -17, "\n"},
      {"-+7", 7, ""},
      {"+-7", -23, ""},  // the minus after the plus is a digit of value -3
      {"1a", 59, ""},
      {"", 0, ""},
      {"\r5", 0, "\r5"},
      {"2147483647", INT_MAX, ""},
      {"2147483648", INT_MIN, ""},
      {"4294967296", 0, ""},
      {"-4294967297", -1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    xmap_class m(file("int.txt", c.text).c_str());
    EXPECT_EQ(m.TXT_int_scan(), c.value);
    EXPECT_EQ(std::string(m.cursor, m.map_end), c.rest);
  }
}

TEST_F(XmapTest, ErrorLineGoesToTheLog) {
  struct Case {
    std::string bytes;
    size_t cursor;  // offset of the cursor
    std::string logged;
  } cases[] = {
      {"one\ntwo\nthird line\nfour\n", 12, "3 \"third line\"\n"},
      {"one\r\ntwo\r\nthird line\r\nfour\r\n", 14, "3 \"third line\"\n"},
      {"one\rtwo\rthird line\r", 11, "3 \"third line\"\n"},
      {"only line", 4, "1 \"only line\"\n"},
      {"a\n\nc", 2, "2 \"\"\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    std::string log = dir + "Log.txt";
    xer.open(log, std::ios::out | std::ios::trunc);
    xmap_class m(file("lines.txt", c.bytes).c_str());
    m.cursor = m.map_begin + c.cursor;
    m.TXT_xer_line();
    EXPECT_EQ(m.cursor, m.map_begin + c.cursor);
    EXPECT_EQ(read_file(log), c.logged);
    xer.close();
  }
}

}  // namespace
