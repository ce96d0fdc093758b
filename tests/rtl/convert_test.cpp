// Text-to-integer conversion, name splitting and the plain substring search.
#include <gtest/gtest.h>

#include <string>

#include "rtl/exceptions.h"
#include "rtl/sysutils.h"
#include "tests/rtl/raised.h"

namespace {

struct IntCase {
  std::string text;
  bool valid;
  int32_t value;
};

TEST(StrToInt, ConvertsNumbersInRangeAndRejectsTheRest) {
  using namespace std::string_literals;
  const IntCase cases[] = {
      /* 0 */ {"0", true, 0},
      /* 1 */ {"2147483647", true, 2147483647},
      /* 2 */ {"2147483648", false, 0},
      /* 3 */ {"-2147483648", true, INT32_MIN},
      /* 4 */ {"-2147483649", false, 0},
      /* 5 */ {"+17", true, 17},
      /* 6 */ {"   42", true, 42},
      /* 7 */ {"42 ", false, 0},
      /* 8 */ {"", false, 0},
      /* 9 */ {"-", false, 0},
      /* 10 */ {"12a", false, 0},
      /* 11 */ {"99999999999999999999", false, 0},
      /* 12 */ {"000000000000000000007510000", true, 7510000},
      /* 13 */ {"$7FFFFFFF", true, 2147483647},
      /* 14 */ {"0x10", true, 16},
      /* 15 */ {"$FFFFFFFF", true, -1},  // hexadecimal is a 32-bit pattern
      /* 16 */ {"$100000000", false, 0},
      /* 17 */ {"$", false, 0},
      /* 18 */ {"0x", false, 0},
      /* 19 */ {"1\0" "2"s, false, 0},
      /* 20 */ {"\t5", false, 0},
      /* 21 */ {"--5", false, 0},
      /* 22 */ {"12.5", false, 0},
  };
  int row = 0;
  for (const IntCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << row++ << " text '" << c.text << "'");
    if (c.valid) {
      EXPECT_EQ(StrToInt(c.text), c.value);
      continue;
    }
    EXPECT_EQ(Raised([&] { StrToInt(c.text); }),
              "EConvertError: '" + c.text + "' is not a valid integer value");
  }
}

struct NameCase {
  std::string path;
  std::string folder;
  std::string name;
};

TEST(FileNames, SplitAtTheLastBackslashOrColon) {
  const NameCase cases[] = {
      /* 0 */ {"C:\\Kel\\Kel.Exe", "C:\\Kel\\", "Kel.Exe"},
      /* 1 */ {"C:Kel.Exe", "C:", "Kel.Exe"},
      /* 2 */ {"Kel.Exe", "", "Kel.Exe"},
      /* 3 */ {"C:\\Kel\\", "C:\\Kel\\", ""},
      /* 4 */ {"", "", ""},
      /* 5 */ {"a/b\\c/d", "a/b\\", "c/d"},  // a forward slash is no separator
      /* 6 */ {"\\\\srv\\share:x", "\\\\srv\\share:", "x"},
  };
  int row = 0;
  for (const NameCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << row++ << " path " << c.path);
    EXPECT_EQ(ExtractFilePath(c.path), c.folder);
    EXPECT_EQ(ExtractFileName(c.path), c.name);
  }
}

TEST(Pos, FindsTheFirstOccurrenceFromOne) {
  EXPECT_EQ(Pos("b", "abcb"), 2);
  EXPECT_EQ(Pos("abc", "abc"), 1);
  EXPECT_EQ(Pos("B", "abc"), 0);  // exact case
  EXPECT_EQ(Pos("", "abc"), 0);
  EXPECT_EQ(Pos("a", ""), 0);
  EXPECT_EQ(Pos("abcd", "abc"), 0);
}

TEST(FormatText, FormatsBeyondAnySmallBuffer) {
  const std::string longText(5000, 'x');
  EXPECT_EQ(FormatText("<%s|%d>", longText.c_str(), -7), "<" + longText + "|-7>");
  EXPECT_EQ(FormatText("%s", ""), "");
}

}  // namespace
