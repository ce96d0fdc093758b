#include "textutil/textutil.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct PosCase {
  const char* sub;
  std::string text;
  int expected;
};

TEST(PosNoCase, FindsFirstOccurrenceIgnoringCase) {
  const PosCase cases[] = {
      /* 0 */ {"\\jconfig.exe", "C:\\JAWS\\JConfig.EXE /x", 8},
      /* 1 */ {"\\jconfig.exe", "C:\\JAWS\\jconfig.ex", 0},
      /* 2 */ {"", "abc", 0},
      /* 3 */ {"abc", "", 0},
      /* 4 */ {"", "", 0},
      /* 5 */ {"abcd", "abc", 0},
      /* 6 */ {"AB", "xabyAb", 2},  // the first of two occurrences
      /* 7 */ {"b", "B", 1},
      /* 8 */ {"uninst.exe", "\"C:\\Kel\\UNINST.EXE\" -f", 9},
      // Windows-1252 letters lower as the locale lowers them: É/é, Š/š, Œ/œ, Ž/ž, Ÿ/ÿ.
      /* 9 */ {"\xC9t\xC9", "caf\xE9t\xE9", 4},
      /* 10 */ {"\x8A\x8C\x8E\x9F", "x\x9A\x9C\x9E\xFF", 2},
      /* 11 */ {"\xE9", "e", 0},     // an accent is not ignored
      /* 12 */ {"\xD7", "\xF7", 0},  // multiplication and division signs are no letter pair
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(testing::Message() << "case " << i);
    EXPECT_EQ(PosNoCase(cases[i].sub, cases[i].text), cases[i].expected);
  }
}

TEST(PosNoCase, PositionIndexesTheTextAsGiven) {
  const std::string command = "\"C:\\Program Files\\JAWS\\JCONFIG.EXE\" %1";
  const int p = PosNoCase("\\jconfig.exe", command);
  ASSERT_GT(p, 0);
  EXPECT_EQ(command.substr(0, p - 1), "\"C:\\Program Files\\JAWS");
}

struct TokenCase {
  std::string text;
  int32_t n;
  std::string expected;
};

TEST(GetToken, SeparatorsAndQuotes) {
  const TokenCase cases[] = {
      /* 0 */ {"a b c", 0, ""},
      /* 1 */ {"a b c", -1, ""},
      /* 2 */ {"a b c", INT32_MIN, ""},
      /* 3 */ {"a b c", 4, ""},
      /* 4 */ {"a b c", 3, "c"},  // last token, no separator after it
      /* 5 */ {"a b c", 1, "a"},
      /* 6 */ {"a\tb", 1, "a\tb"},           // the tab is no separator
      /* 7 */ {"  a \r\n\r\n b  ", 2, "b"},  // runs of separators make no empty tokens
      /* 8 */ {"  a \r\n\r\n b  ", 3, ""},
      /* 9 */ {"one\rtwo\nthree", 3, "three"},
      /* 10 */ {"\"ab c\"de", 1, "ab c"},
      /* 11 */ {"\"ab c\"de", 2, "de"},  // a closing quote ends the token without a separator
      /* 12 */ {"ab\"c d", 1, "ab\"c"},  // a quote inside an unquoted token is ordinary
      /* 13 */ {"ab\"c d", 2, "d"},
      /* 14 */ {" \"xy", 1, "xy"},  // no closing quote: up to the end
      /* 15 */ {" \"xy", 2, ""},
      /* 16 */ {"\"\" x", 1, ""},  // the empty quoted token is counted
      /* 17 */ {"\"\" x", 2, "x"},
      /* 18 */ {"", 1, ""},
      /* 19 */ {"   ", 1, ""},
      /* 20 */ {"\"", 1, ""},
      /* 21 */ {"\"", 2, ""},
      /* 22 */ {"a \"b\r\nc\" d", 2, "b\r\nc"},  // separators inside quotes belong to the token
      /* 23 */ {"a \"b\r\nc\" d", 3, "d"},
      /* 24 */ {"\"a\"\"b\"", 2, "b"},  // two quoted tokens back to back
      /* 25 */ {"C:\\Kel\\Uninst.exe /u \"C:\\Kel\\Data\" -y", 3, "C:\\Kel\\Data"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(testing::Message() << "case " << i);
    EXPECT_EQ(GetToken(cases[i].text, cases[i].n), cases[i].expected);
  }
}

struct TranslateCase {
  std::string text;
  std::string to;
  std::string from;
  std::string expected;
};

TEST(TranslateChars, ReplacesByPosition) {
  const TranslateCase cases[] = {
      /* 0 */ {"", "[]", "<>", ""},
      /* 1 */ {"a<b>", "[]", "", "a<b>"},
      /* 2 */ {"abba", "ba", "ab", "baab"},  // a replacement is not looked up again
      /* 3 */ {"a<1>|%", "[]______", "<>:\"/\\|%", "a[1]__"},
      /* 4 */ {"xax", "12", "aa", "x1x"},  // the first occurrence in the alphabet decides
      /* 5 */ {"a?*b", "[]______", "<>:\"/\\|%", "a?*b"},
      /* 6 */ {"abc", "x", "abc", "xbc"},          // too short a replacement alphabet: left alone
      /* 7 */ {"\xC9\xE9", "E", "\xC9", "E\xE9"},  // exact bytes, no case folding
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(testing::Message() << "case " << i);
    EXPECT_EQ(TranslateChars(cases[i].text, cases[i].to, cases[i].from), cases[i].expected);
  }
}

}  // namespace
