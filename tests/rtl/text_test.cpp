// ANSI lower-casing and the locale-aware comparison that ignores case.
#include <gtest/gtest.h>

#include <string>

#include "rtl/sysutils.h"
#include "tests/support/machine.h"

namespace {

using namespace std::string_literals;

class TextTest : public testsupport::MachineTest {};

TEST_F(TextTest, AnsiLowerCaseLowersTheWholeTextInPlace) {
  const struct {
    std::string text;
    std::string lowered;
  } cases[] = {
      /* 0 */ {"C:\\KelDel\\SETUP.EXE", "c:\\keldel\\setup.exe"},
      /* 1 */ {"\xC0\xC9\xD6", "\xE0\xE9\xF6"},  // Windows-1252 capitals
      /* 2 */ {"A\0B"s, "a\0b"s},               // past a zero byte too
      /* 3 */ {"", ""},
      /* 4 */ {"123 !", "123 !"},
  };
  int row = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << row++);
    EXPECT_EQ(AnsiLowerCase(c.text), c.lowered);
  }
}

struct CompareCase {
  std::string a;
  std::string b;
  int sign;
};

TEST_F(TextTest, AnsiCompareTextIgnoresCaseAndHonoursLengths) {
  const CompareCase cases[] = {
      /* 0 */ {"autorun", "AUTORUN", 0},
      /* 1 */ {"AutoRun", "autorun ", -1},
      /* 2 */ {"b", "A", 1},
      /* 3 */ {"", "", 0},
      /* 4 */ {"", "a", -1},
      /* 5 */ {"a\0b"s, "A\0C"s, -1},  // compared beyond the zero byte
      /* 6 */ {"\xC9t\xE9", "\xE9T\xC9", 0},
  };
  int row = 0;
  for (const CompareCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << row++);
    const int result = AnsiCompareText(c.a, c.b);
    EXPECT_EQ((result > 0) - (result < 0), c.sign);
    EXPECT_EQ(AnsiSameText(c.a, c.b), c.sign == 0);
  }
}

}  // namespace
