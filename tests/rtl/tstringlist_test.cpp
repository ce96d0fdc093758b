// TStringList::SaveToFile: the bytes it writes and the exceptions it raises.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rtl/exceptions.h"
#include "rtl/tstringlist.h"
#include "tests/rtl/raised.h"
#include "tests/support/machine.h"

namespace {

using namespace std::string_literals;

class SaveToFileTest : public testsupport::MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    emu::AddDrive('C');
    emu::AddFolder("C:\\Data");
  }
  static TStringList List(const std::vector<std::string>& lines) {
    TStringList list;
    for (const std::string& line : lines) list.Add(line);
    return list;
  }
};

struct BytesCase {
  std::vector<std::string> lines;
  std::string bytes;
};

TEST_F(SaveToFileTest, WritesEveryLineWithCrLf) {
  const BytesCase cases[] = {
      /* 0 */ {{}, ""},
      /* 1 */ {{""}, "\r\n"},
      /* 2 */ {{"C:\\MEDIA\\Mod1.801", "Setup 2.0"}, "C:\\MEDIA\\Mod1.801\r\nSetup 2.0\r\n"},
      /* 3 */ {{"a\0b"s, "\xE9"}, "a\0b\r\n\xE9\r\n"s},
      /* 4 */ {{std::string(100000, 'z')}, std::string(100000, 'z') + "\r\n"},
  };
  int row = 0;
  for (const BytesCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << row++);
    // A longer old file must not leave a tail behind.
    emu::AddFile("C:\\Data\\AutoLoad.Lst", std::string(200000, 'o'));
    List(c.lines).SaveToFile("C:\\Data\\AutoLoad.Lst");
    EXPECT_EQ(emu::FileContent("C:\\Data\\AutoLoad.Lst"), c.bytes);
    EXPECT_EQ(emu::OpenHandleCount(), 0u);
  }
}

struct CreateFailure {
  const char* path;
  bool holdOpen;
};

TEST_F(SaveToFileTest, RaisesEFCreateErrorWhenTheFileCannotBeCreated) {
  emu::AddFile("C:\\Data\\Busy.Lst", "old");
  const CreateFailure cases[] = {
      /* 0 */ {"C:\\Missing\\AutoLoad.Lst", false},
      /* 1 */ {"Q:\\AutoLoad.Lst", false},
      /* 2 */ {"C:\\Data", false},  // a folder
      /* 3 */ {"C:\\Data\\Busy.Lst", true},
  };
  int row = 0;
  for (const CreateFailure& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << row++ << " " << c.path);
    HANDLE held = c.holdOpen ? emu::HoldOpen(c.path, GENERIC_READ, FILE_SHARE_READ) : nullptr;
    EXPECT_EQ(Raised([&] { List({"x"}).SaveToFile(c.path); }),
              "EFCreateError: Cannot create file "s + c.path);
    if (held != nullptr) CloseHandle(held);
  }
  EXPECT_EQ(emu::FileContent("C:\\Data\\Busy.Lst"), "old");
  EXPECT_EQ(emu::OpenHandleCount(), 0u);
}

TEST_F(SaveToFileTest, RaisesEWriteErrorOnAShortWrite) {
  struct WriteFailure {
    uint64_t freeBytes;
    DWORD writeError;  // 0: none injected
  };
  const WriteFailure cases[] = {
      /* 0 */ {5, 0},  // the disk fills up mid-write
      /* 1 */ {0, 0},
      /* 2 */ {1u << 20, ERROR_WRITE_FAULT},
  };
  int row = 0;
  for (const WriteFailure& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << row++);
    emu::DriveSpec drive;
    drive.freeBytes = c.freeBytes;
    emu::AddDrive('D', drive);
    if (c.writeError != 0) emu::FailCall("WriteFile", 1, c.writeError);
    EXPECT_EQ(Raised([] { List({"first line", "second line"}).SaveToFile("D:\\List.txt"); }),
              "EWriteError: Stream write error");
    EXPECT_TRUE(emu::Exists("D:\\List.txt")) << "created before the write failed";
    EXPECT_EQ(emu::OpenHandleCount(), 0u);
  }
}

}  // namespace
