// The program's own path and the command-line arguments.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rtl/sysutils.h"
#include "tests/support/machine.h"

namespace {

class ParamStrTest : public testsupport::MachineTest {};

struct CommandCase {
  std::string commandLine;
  std::vector<std::string> arguments;  // from 1
};

TEST_F(ParamStrTest, SplitsAtBlanksAndDropsQuotes) {
  const CommandCase cases[] = {
      /* 0 */ {"D:\\Setup.exe autorun", {"autorun"}},
      /* 1 */ {"\"D:\\My CD\\Setup.exe\" autorun", {"autorun"}},
      /* 2 */ {"Setup.exe \"a b\"  c", {"a b", "c"}},
      /* 3 */ {"Setup.exe a\"b c\"d", {"ab cd"}},
      /* 4 */ {"Setup.exe\t\x01x\r\ny ", {"x", "y"}},  // everything up to the space separates
      /* 5 */ {"Setup.exe \"\" z", {"", "z"}},
      /* 6 */ {"Setup.exe \"open end", {"open end"}},
      /* 7 */ {"Setup.exe", {}},
      /* 8 */ {"", {}},
      /* 9 */ {"   ", {}},
      /* 10 */ {"Setup.exe \xE9t\xE9 \xA0x", {"\xE9t\xE9", "\xA0x"}},  // high bytes are no blanks
  };
  int row = 0;
  for (const CommandCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << row++ << " [" << c.commandLine << "]");
    emu::SetCommandLine(c.commandLine);
    ASSERT_EQ(ParamCount(), static_cast<int>(c.arguments.size()));
    for (size_t i = 0; i < c.arguments.size(); ++i) {
      EXPECT_EQ(ParamStr(static_cast<int>(i) + 1), c.arguments[i]) << "argument " << i + 1;
    }
    EXPECT_EQ(ParamStr(static_cast<int>(c.arguments.size()) + 1), "");
    EXPECT_EQ(ParamStr(-1), "");
  }
}

TEST_F(ParamStrTest, ZeroIsTheModulePathHoweverLong) {
  const std::string folder = "C:\\" + std::string(300, 'd') + "\\" + std::string(300, 'e') + "\\";
  const std::string paths[] = {
      /* 0 */ "E:\\SETUP.EXE",
      /* 1 */ folder + "Setup.exe",
      /* 2 */ "C:\\" + std::string(MAX_PATH - 4, 'x'),  // exactly MAX_PATH - 1 characters
      /* 3 */ "C:\\" + std::string(MAX_PATH - 3, 'x'),  // exactly MAX_PATH characters
  };
  int row = 0;
  for (const std::string& path : paths) {
    SCOPED_TRACE(testing::Message() << "row " << row++);
    emu::SetModulePath(path);
    emu::SetCommandLine("\"other name\" arg");
    EXPECT_EQ(ParamStr(0), path);
  }
}

TEST_F(ParamStrTest, ZeroIsEmptyWhenTheQueryFails) {
  emu::SetModulePath("E:\\SETUP.EXE");
  emu::FailCall("GetModuleFileNameA", 1, ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(ParamStr(0), "");
}

}  // namespace
