// Windows-1252 lowering and the locale-aware comparison that ignores case.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "emu/core.h"
#include "platform/win32.h"

namespace {

class TextCompareTest : public ::testing::Test {
 protected:
  void SetUp() override { emu::Reset(); }
};

TEST_F(TextCompareTest, CharLowerBuffLowersEveryAnsiLetterInPlace) {
  std::string all;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  std::string lowered = all;
  SetLastError(0xdeadbeef);
  EXPECT_EQ(CharLowerBuffA(lowered.data(), 256), 256u);
  EXPECT_EQ(GetLastError(), 0xdeadbeefu);
  for (int c = 0; c < 256; ++c) {
    SCOPED_TRACE(c);
    int expected = c;
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) expected = c + 0x20;
    if (c == 0x8A || c == 0x8C || c == 0x8E) expected = c + 0x10;
    if (c == 0x9F) expected = 0xFF;
    EXPECT_EQ(static_cast<unsigned char>(lowered[c]), expected);
  }
}

TEST_F(TextCompareTest, CharLowerBuffStopsAtTheLengthNotAtZero) {
  char text[] = "AB\0CD\0EF";
  EXPECT_EQ(CharLowerBuffA(text, 5), 5u);
  EXPECT_EQ(std::string(text, 8), std::string("ab\0cd\0EF", 8));
  EXPECT_EQ(CharLowerBuffA(text, 0), 0u);
}

TEST_F(TextCompareTest, CompareIgnoringCase) {
  struct Row {
    const char* a;
    int countA;
    const char* b;
    int countB;
    int expected;
  };
  const Row rows[] = {
      /* 0 */ {"autorun", -1, "AUTORUN", -1, CSTR_EQUAL},
      /* 1 */ {"AutoRun", -1, "autorun", 7, CSTR_EQUAL},
      /* 2 */ {"\xC9T\xC9", -1, "\xE9t\xE9", -1, CSTR_EQUAL},      // ÉTÉ / été
      /* 3 */ {"\x8A\x8C\x8E\x9F", -1, "\x9A\x9C\x9E\xFF", -1, CSTR_EQUAL},
      /* 4 */ {"ete", -1, "\xE9t\xE9", -1, CSTR_LESS_THAN},        // accents count
      /* 5 */ {"autorunx", 7, "autorun", -1, CSTR_EQUAL},          // count cuts
      /* 6 */ {"a", -1, "b", -1, CSTR_LESS_THAN},
      /* 7 */ {"B", -1, "a", -1, CSTR_GREATER_THAN},
      /* 8 */ {"", -1, "", -1, CSTR_EQUAL},
      /* 9 */ {"", -1, "a", -1, CSTR_LESS_THAN},
      /* 10 */ {"a\0", 2, "a", 1, CSTR_EQUAL},                     // a zero weighs nothing
      /* 11 */ {"coop", -1, "co-op", -1, CSTR_LESS_THAN},          // hyphen breaks ties only
      /* 12 */ {"co-op", -1, "cop", -1, CSTR_LESS_THAN},
      /* 13 */ {"1", -1, "a", -1, CSTR_LESS_THAN},                 // digits before letters
      /* 14 */ {"_", -1, "1", -1, CSTR_LESS_THAN},                 // symbols before digits
      /* 15 */ {"\xE9", -1, "f", -1, CSTR_LESS_THAN},               // é sorts with e
      /* 16 */ {"autorun", -2, "AUTORUN", -5, CSTR_EQUAL},         // any negative count
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(i);
    const Row& r = rows[i];
    SetLastError(0xdeadbeef);
    EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, r.a, r.countA, r.b, r.countB),
              r.expected);
    EXPECT_EQ(GetLastError(), 0xdeadbeefu);
  }
}

TEST_F(TextCompareTest, CaseCountsWithoutTheFlag) {
  EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, 0, "a", -1, "A", -1), CSTR_LESS_THAN);
  EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, 0, "a", -1, "a", -1), CSTR_EQUAL);
}

TEST_F(TextCompareTest, InvalidArgumentsGiveZero) {
  struct Row {
    DWORD flags;
    const char* a;
    const char* b;
    DWORD error;
  };
  const Row rows[] = {
      /* 0 */ {NORM_IGNORECASE, nullptr, "a", ERROR_INVALID_PARAMETER},
      /* 1 */ {NORM_IGNORECASE, "a", nullptr, ERROR_INVALID_PARAMETER},
      /* 2 */ {0x80000000u, "a", "a", 1004 /* ERROR_INVALID_FLAGS */},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(i);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, rows[i].flags, rows[i].a, -1, rows[i].b, -1), 0);
    EXPECT_EQ(GetLastError(), rows[i].error);
  }
}

}  // namespace
