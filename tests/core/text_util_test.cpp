// The text and number helpers, each as a table of cases.
#include "core/util/text_util.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace {

TEST(TextUtil, IntToStr) {
  struct Case {
    int value, min_digits, plus;
    const char* text;
  };
  const Case cases[] = {
      {7, 3, 1, "+007"},
      {-42, 0, 0, "-42"},
      {0, 0, 0, "0"},
      {0, 0, 1, "+0"},
      {5, 1, 0, "5"},
      {5, -4, 0, "5"},
      {1234567, 3, 0, "1234567"},
      {42, 12, 0, "0000000042"},
      {-9, 4, 1, "-0009"},
      {INT_MAX, 0, 1, "+2147483647"},
      // The most negative int has no positive counterpart: its magnitude must
      // still come out right.
      {INT_MIN, 0, 0, "-2147483648"},
      {INT_MIN, 12, 1, "-2147483648"},
  };
  for (const Case& c : cases) {
    char buf[16];
    memset(buf, 'x', sizeof buf);
    int_to_str(c.value, buf, c.min_digits, c.plus);
    EXPECT_STREQ(buf, c.text) << c.value << " min " << c.min_digits << " plus " << c.plus;
  }
}

TEST(TextUtil, StrToInt) {
  struct Case {
    const char* text;
    int value;
  };
  const Case cases[] = {
      {"80", 80},
      {"-15", -15},
      {"+7", 7},
      {"000123", 123},
      {"1-2", 92},  // "-" inside counts minus one at its place
      {"1+2", 112},
      {"-1", -1},
      {"12345678", 12345678},
      {"999999999", 999999999},
      {"-999999999", -999999999},
      // rejected
      {"", -1},
      {"+", -1},
      {"-", -1},
      {"1234567890", -1},
      {"-1234567890", -1},
      {" 5", -1},
      {"5 ", -1},
      {"1a", -1},
      {"0x10", -1},
      {"3.5", -1},
      {"99999999999999999999999", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(str_to_int(c.text), c.value) << '"' << c.text << '"';
}

TEST(TextUtil, FltToStr) {
  struct Case {
    float value;
    int width, decimals, sign_flag;
    const char* text;
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const Case cases[] = {
      {3.14159f, 5, 2, 0, "  3.14"},
      {12.5f, 3, 1, 0, "12.5"},
      {0.25f, 2, 1, 0, "0.3"},  // halves away from zero
      {-0.5f, 2, 1, 0, "-0.5"},
      {7.0f, 3, 0, 1, "   7"},   // sign column, then the field of two blanks and 7
      {9.96f, 3, 1, 0, "10.0"},  // the rounded fraction carries into the integer
      {1.999f, 3, 2, 0, "2.00"},
      {-1.999f, 4, 2, 0, "- 2.00"},
      {2.7f, 1, 0, 0, "2"},  // no decimals: the fraction is dropped
      {0.0f, 1, 0, 0, "0"},
      {0.0f, 3, 0, 0, "  0"},
      {45.6f, 4, 1, 1, "  45.6"},
      {123456.0f, 2, 0, 0, "123456"},  // a field too narrow widens
      {0.05f, 4, 3, 0, "0.050"},
      // beyond what an int holds: a fixed text, never a conversion
      {nan, 3, 1, 0, "NaN"},
      {inf, 3, 1, 0, "inf"},
      {-inf, 3, 1, 0, "-inf"},
      {3e9f, 3, 1, 0, "**.*"},
      {-1e20f, 4, 0, 1, "-****"},
      {2147483520.0f, 2, 1, 0, "2147483520.0"},  // the largest float below 2^31 still fits
  };
  for (const Case& c : cases) {
    std::string out = "old";
    flt_to_str(c.value, &out, c.width, c.decimals, c.sign_flag);
    EXPECT_EQ(out, c.text) << c.value << " w" << c.width << " d" << c.decimals << " s"
                           << c.sign_flag;
  }
  std::string untouched = "keep";
  flt_to_str(1.5f, &untouched, 3, -1, 0);
  EXPECT_EQ(untouched, "keep");
}

TEST(TextUtil, GetPathWithPath) {
  struct Case {
    const char* path;
    const char* folder;
  };
  const Case cases[] = {
      {"a/b/c.txt", "a/b/"}, {"a/b/", "a/"}, {"name", ""}, {"/c", "/"},
      {"a/", "a/"},          {"", ""},       {"/", "/"},   {"/a/", "/"},
      {"ab/", ""},
  };
  for (const Case& c : cases) {
    std::string out = "junk";
    get_path_with_path(out, c.path);
    EXPECT_EQ(out, c.folder) << '"' << c.path << '"';
  }
}

// Sizes are read in 64 bits by the same digit rule as every other number.
TEST(TextUtil, IntTokensIn32And64Bits) {
  const struct {
    std::string text;
    int value;
    int64_t value64;
  } cases[] = {
      {"42 x", 42, 42},
      {"\t-+3", 3, 3},
      {"-17", -17, -17},
      {"1a", 59, 59},
      {"16777217", 16777217, 16777217},
      {"5000000000123", static_cast<int>(5000000000123 & 0xFFFFFFFF), 5000000000123},
      {"", 0, 0},
  };
  for (const auto& c : cases) {
    const char* p = c.text.data();
    EXPECT_EQ(UTL_int_token(&p, c.text.data() + c.text.size()), c.value) << c.text;
    const char* q = c.text.data();
    EXPECT_EQ(UTL_int64_token(&q, c.text.data() + c.text.size()), c.value64) << c.text;
    EXPECT_EQ(p, q) << c.text;
  }
}

TEST(TextUtil, CharStringToIntString) {
  struct Case {
    std::string text, coded;
  };
  const Case cases[] = {
      {"65 300", std::string("\x01\x42\x03\x2f")},  // 0*127+65, 2*127+46
      {"0", std::string("\x01\x01")},
      {"127", std::string("\x02\x01")},
      {"999", std::string("\x08\x6f")},
      {"1234", std::string("\x01\x7c\x01\x05")},  // a fourth digit starts a new number
      {"5  \t7", std::string("\x01\x06\x01\x08")},
      {"7 -5 3", std::string("\x01\x08\x01\x04")},  // a negative number gives nothing
      {"+2", std::string("\x01\x0d")},              // "+" weighs one: 10 + 2
      {"-5", "-5"},                                 // separator items stay as they are
      {"=", "="},
      {"", ""},
  };
  for (const Case& c : cases) {
    std::string s = c.text;
    char_string_to_int_string(&s);
    EXPECT_EQ(s, c.coded) << '"' << c.text << '"';
  }
}

}  // namespace
