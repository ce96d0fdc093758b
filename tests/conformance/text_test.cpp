// System message texts, ANSI lower-casing and the comparison that ignores case.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/conformance/world.h"

namespace {

// The launcher's own call: system table, one line (0xFF), no source, 255 bytes.
constexpr DWORD kLauncherFlags = 0x10FF;

TEST(FormatMessageTest, LauncherCallGivesTheSystemTextOnOneLine) {
  // Wine (8.0) ships its own, shorter message table; the emulation has the texts of Windows
  // (XP to 10 agree on these).
  struct Row {
    DWORD code;
    const char* windows;
    const char* wine;
  };
  const Row rows[] = {
      /* 0 */ {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified. ",
               "File not found. "},
      /* 1 */ {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified. ",
               "Path not found. "},
      /* 2 */ {ERROR_ACCESS_DENIED, "Access is denied. ", "Access denied. "},
      /* 3 */ {ERROR_SHARING_VIOLATION,
               "The process cannot access the file because it is being used by another process. ",
               "Sharing violation. "},
      /* 4 */ {ERROR_DISK_FULL, "There is not enough space on the disk. ", "Disk full. "},
      /* 5 */ {ERROR_NOT_READY, "The device is not ready. ", "Not ready. "},
      /* 6 */ {ERROR_INVALID_NAME,
               "The filename, directory name, or volume label syntax is incorrect. ",
               "Invalid name. "},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    const Row& row = rows[i];
    const char* expected = conf::WindowsOrWine(row.windows, row.wine);
    char buffer[255];
    std::memset(buffer, 0xA5, sizeof buffer);
    SetLastError(0xdeadbeef);
    DWORD n = FormatMessageA(kLauncherFlags, nullptr, row.code, 0, buffer, sizeof buffer, nullptr);
    EXPECT_EQ(GetLastError(), 0xdeadbeefu);
    ASSERT_EQ(n, std::strlen(expected)) << buffer;
    EXPECT_STREQ(buffer, expected);
    EXPECT_EQ(static_cast<unsigned char>(buffer[n + 1]), 0xA5u) << "wrote past the zero";
  }
}

TEST(FormatMessageTest, CodeWithoutTextFailsWithMessageNotFound) {
  const DWORD codes[] = {/* 0 */ 0x0000FFFF, /* 1 */ 0x20001234};
  for (DWORD code : codes) {
    SCOPED_TRACE(code);
    char buffer[255];
    std::memset(buffer, 0xA5, sizeof buffer);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(FormatMessageA(kLauncherFlags, nullptr, code, 0, buffer, sizeof buffer, nullptr),
              0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
  }
}

TEST(FormatMessageTest, BufferTooSmallFailsWithInsufficientBuffer) {
  char buffer[8];
  std::memset(buffer, 0xA5, sizeof buffer);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(FormatMessageA(kLauncherFlags, nullptr, ERROR_FILE_NOT_FOUND, 0, buffer, sizeof buffer,
                           nullptr),
            0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST(CharLowerBuffTest, LowersAsciiAndWindows1252LettersOnly) {
  if (!conf::AnsiIsWindows1252()) GTEST_SKIP() << "ANSI code page is not 1252";
  struct Row {
    const char* input;
    const char* lowered;
  };
  const Row rows[] = {
      /* 0 */ {"INSTALL.801", "install.801"},
      /* 1 */ {"@AZ[`az{", "@az[`az{"},  // the neighbours of the letters stay
      /* 2 */ {"\xC0\xC9\xD6\xDE", "\xE0\xE9\xF6\xFE"},  // À É Ö Þ
      /* 3 */ {"\xD7\xDF\xFF", "\xD7\xDF\xFF"},          // × ß ÿ have no other case here
      /* 4 */ {"\x8A\x8C\x8E\x9F", "\x9A\x9C\x9E\xFF"},  // Š Œ Ž Ÿ
      /* 5 */ {"COM\xDAN", "com\xFAn"},                  // Común
      /* 6 */ {"123 -_.\\", "123 -_.\\"},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    char buffer[32];
    std::memset(buffer, 0xA5, sizeof buffer);
    size_t length = std::strlen(rows[i].input);
    std::memcpy(buffer, rows[i].input, length);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(CharLowerBuffA(buffer, static_cast<DWORD>(length)), length);
    EXPECT_EQ(GetLastError(), 0xdeadbeefu);
    EXPECT_EQ(std::string(buffer, length), rows[i].lowered);
    EXPECT_EQ(static_cast<unsigned char>(buffer[length]), 0xA5u) << "went past the count";
  }
}

TEST(CompareStringTest, IgnoreCaseComparesLettersOfEitherCaseAsEqual) {
  if (!conf::AnsiIsWindows1252()) GTEST_SKIP() << "ANSI code page is not 1252";
  struct Row {
    const char* left;
    const char* right;
    int result;
  };
  const Row rows[] = {
      /* 0 */ {"install.801", "INSTALL.801", CSTR_EQUAL},
      /* 1 */ {"Com\xFAn", "COM\xDAN", CSTR_EQUAL},  // Común, COMÚN
      /* 2 */ {"Kel.Ex_", "kel.ex_", CSTR_EQUAL},
      /* 3 */ {"install.801", "install.802", CSTR_LESS_THAN},
      /* 4 */ {"Lang", "LANG1", CSTR_LESS_THAN},
      /* 5 */ {"betaeng", "ALPHA", CSTR_GREATER_THAN},
      /* 6 */ {"Com\xFAn", "Comun", CSTR_GREATER_THAN},  // the accent still counts
      /* 7 */ {"", "", CSTR_EQUAL},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, rows[i].left, -1,
                             rows[i].right, -1),
              rows[i].result);
    EXPECT_EQ(GetLastError(), 0xdeadbeefu);
  }
}

// A search for a word inside a longer text compares with counts, not zeros.
TEST(CompareStringTest, CountsLimitTheComparedText) {
  if (!conf::AnsiIsWindows1252()) GTEST_SKIP() << "ANSI code page is not 1252";
  struct Row {
    const char* left;
    int leftCount;
    const char* right;
    int rightCount;
    int result;
  };
  const Row rows[] = {
      /* 0 */ {"install.801", 7, "INSTALL", -1, CSTR_EQUAL},
      /* 1 */ {"c:\\program files\\kel\\keldel.exe", 2, "C:", 2, CSTR_EQUAL},
      /* 2 */ {"install.801", 8, "INSTALL", 7, CSTR_GREATER_THAN},
      /* 3 */ {"Lang", 4, "LANGUAGE", 5, CSTR_LESS_THAN},
      /* 4 */ {"abc", 0, "", 0, CSTR_EQUAL},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, rows[i].left, rows[i].leftCount,
                             rows[i].right, rows[i].rightCount),
              rows[i].result);
    EXPECT_EQ(GetLastError(), 0xdeadbeefu);
  }
}

}  // namespace
