// FormatMessageA over the system message table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "emu/core.h"
#include "platform/win32.h"

namespace {

class TextMessagesTest : public ::testing::Test {
 protected:
  void SetUp() override { emu::Reset(); }

  // What the launcher calls: 0x10FF, no source, language 0, 255 bytes, no arguments.
  static std::string LauncherText(DWORD code, DWORD* length = nullptr) {
    char buffer[255];
    buffer[0] = '\0';
    DWORD n = FormatMessageA(0x10FF, nullptr, code, 0, buffer, sizeof buffer, nullptr);
    if (length) *length = n;
    return buffer;
  }
};

TEST_F(TextMessagesTest, LauncherCallGivesOneLineWithItsBreakTurnedIntoABlank) {
  struct Row {
    DWORD code;
    const char* text;
  };
  const Row rows[] = {
      /* 0 */ {0, "The operation completed successfully. "},
      /* 1 */ {2, "The system cannot find the file specified. "},
      /* 2 */ {3, "The system cannot find the path specified. "},
      /* 3 */ {5, "Access is denied. "},
      /* 4 */ {21, "The device is not ready. "},
      /* 5 */ {32, "The process cannot access the file because it is being used by another "
                   "process. "},
      /* 6 */ {112, "There is not enough space on the disk. "},
      /* 7 */ {1008, "An attempt was made to reference a token that does not exist. "},
      /* 8 */ {1400, "Invalid window handle. "},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(rows[i].code);
    DWORD length = 0;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(LauncherText(rows[i].code, &length), rows[i].text);
    EXPECT_EQ(length, std::strlen(rows[i].text));
    EXPECT_EQ(GetLastError(), 0xdeadbeefu);
  }
}

TEST_F(TextMessagesTest, EveryCodeTheLauncherCanMeetHasAText) {
  const DWORD codes[] = {0,   1,   2,   3,    4,    5,    6,    8,    11,   13,   14,   15,  16,
                         17,  18,  19,  20,   21,   23,   25,   29,   30,   31,   32,   33,  38,
                         39,  50,  53,  54,   55,   59,   64,   65,   67,   80,   82,   87,  109,
                         110, 111, 112, 120,  122,  123,  126,  127,  145,  170,  183,  206, 234,
                         259, 267, 998, 1008, 1009, 1010, 1011, 1012, 1013, 1014, 1015, 1018, 1114,
                         1300, 1307, 1337, 1346, 1347, 1400, 1450, 1816};
  for (DWORD code : codes) {
    SCOPED_TRACE(code);
    DWORD length = 0;
    std::string text = LauncherText(code, &length);
    EXPECT_GT(length, 1u);
    EXPECT_LT(length, 255u);
    EXPECT_EQ(text.back(), ' ');
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
  }
}

TEST_F(TextMessagesTest, WithoutWidthTheTextKeepsItsLineBreak) {
  char buffer[64];
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 5, 0, buffer, 64, nullptr), 19u);
  EXPECT_STREQ(buffer, "Access is denied.\r\n");
}

TEST_F(TextMessagesTest, InsertsNeedArgumentsOrTheIgnoreFlag) {
  char buffer[128];
  std::memset(buffer, 0xA5, sizeof buffer);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(FormatMessageA(0x10FF, nullptr, 193, 0, buffer, 128, nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(static_cast<unsigned char>(buffer[0]), 0xA5);
  EXPECT_GT(FormatMessageA(0x10FF | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, 193, 0, buffer, 128,
                           nullptr),
            0u);
  EXPECT_STREQ(buffer, "%1 is not a valid Win32 application. ");
}

TEST_F(TextMessagesTest, BufferAndCodeRules) {
  const DWORD fits = std::strlen("Access is denied. ") + 1;
  struct Row {
    DWORD code;
    DWORD size;
    DWORD result;
    DWORD error;
  };
  const Row rows[] = {
      /* 0 */ {5, fits, fits - 1, 0xdeadbeef},
      /* 1 */ {5, fits - 1, 0, ERROR_INSUFFICIENT_BUFFER},  // no room for the zero
      /* 2 */ {5, 0, 0, ERROR_INSUFFICIENT_BUFFER},
      /* 3 */ {9999, 255, 0, ERROR_MR_MID_NOT_FOUND},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(i);
    char buffer[255];
    SetLastError(0xdeadbeef);
    EXPECT_EQ(FormatMessageA(0x10FF, nullptr, rows[i].code, 0, buffer, rows[i].size, nullptr),
              rows[i].result);
    EXPECT_EQ(GetLastError(), rows[i].error);
  }
}

}  // namespace
