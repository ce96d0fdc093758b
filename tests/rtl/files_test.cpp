// File age and existence, folder listing with attribute masks, the change of the current
// folder, and the plain file handle functions.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "rtl/exceptions.h"
#include "rtl/sysutils.h"
#include "tests/rtl/raised.h"
#include "tests/support/machine.h"

namespace {

using namespace std::string_literals;

constexpr int32_t Dos(int year, int month, int day, int hour, int minute, int second) {
  return static_cast<int32_t>(static_cast<uint32_t>(((year - 1980) << 9) | (month << 5) | day) << 16 |
                              static_cast<uint32_t>((hour << 11) | (minute << 5) | (second / 2)));
}

emu::EntrySpec Written(const FILETIME& utc) {
  emu::EntrySpec spec;
  spec.lastWrite = utc;
  return spec;
}

emu::EntrySpec WithAttributes(DWORD attributes) {
  emu::EntrySpec spec;
  spec.attributes = attributes;
  return spec;
}

class FilesTest : public testsupport::MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    emu::AddDrive('C');
  }
};

struct AgeCase {
  int offsetMinutes;
  int second;
  int millisecond;
};

TEST_F(FilesTest, FileAgeIsTheLocalDosStampOfTheEntry) {
  const AgeCase cases[] = {
      /* 0 */ {0, 6, 0},
      /* 1 */ {0, 7, 999},  // two-second resolution: rounded down
      /* 2 */ {120, 59, 0},
      /* 3 */ {-300, 1, 500},
  };
  int row = 0;
  for (const AgeCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << row++);
    emu::SetLocalTimeOffsetMinutes(c.offsetMinutes);
    emu::AddFile("C:\\Kel\\Kel.Jcf", "x",
                 Written(emu::LocalTime(2003, 12, 31, 23, 58, c.second, c.millisecond)));
    EXPECT_EQ(FileAge("C:\\Kel\\Kel.Jcf"), Dos(2003, 12, 31, 23, 58, c.second));
    EXPECT_EQ(FileAge("c:\\KEL\\kel.jcf"), Dos(2003, 12, 31, 23, 58, c.second));
    EXPECT_TRUE(FileExists("C:\\Kel\\Kel.Jcf"));
    EXPECT_EQ(emu::OpenHandleCount(), 0u) << "the search is closed at once";
  }
}

TEST_F(FilesTest, FileAgeIsMinusOneForFoldersMissingEntriesAndBadTimes) {
  emu::AddFolder("C:\\Kel\\Sub");
  FILETIME before1980{};  // 1601: no DOS date for it
  emu::AddFile("C:\\Kel\\Old.txt", "x", Written(before1980));
  const char* const names[] = {
      /* 0 */ "C:\\Kel\\Sub",
      /* 1 */ "C:\\Kel\\Missing.txt",
      /* 2 */ "C:\\Nowhere\\Kel.Jcf",
      /* 3 */ "Q:\\Kel.Jcf",
      /* 4 */ "C:\\Kel\\Old.txt",
      /* 5 */ "",
  };
  int row = 0;
  for (const char* name : names) {
    SCOPED_TRACE(testing::Message() << "row " << row++ << " " << name);
    EXPECT_EQ(FileAge(name), -1);
    EXPECT_FALSE(FileExists(name));
  }
  EXPECT_EQ(emu::OpenHandleCount(), 0u);
}

// A folder with one entry of each kind the mask decides on.
class FindTest : public FilesTest {
 protected:
  void SetUp() override {
    FilesTest::SetUp();
    emu::AddFile("C:\\J\\plain.txt", "12345", Written(emu::LocalTime(2004, 5, 6, 7, 8, 10)));
    emu::AddFile("C:\\J\\hidden.txt", "", WithAttributes(FILE_ATTRIBUTE_HIDDEN));
    emu::AddFile("C:\\J\\system.txt", "", WithAttributes(FILE_ATTRIBUTE_SYSTEM));
    emu::AddFile("C:\\J\\ro.txt", "", WithAttributes(FILE_ATTRIBUTE_READONLY));
    emu::AddFile("C:\\J\\arc.txt", "", WithAttributes(FILE_ATTRIBUTE_ARCHIVE));
    emu::AddFolder("C:\\J\\Enu");
    emu::AddFolder("C:\\J\\Secret", WithAttributes(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN));
  }
  // Names found, "." and ".." left out (whether they appear is the system's business).
  static std::set<std::string> List(const std::string& pattern, DWORD mask) {
    std::set<std::string> names;
    TSearchRec rec;
    FindGuard guard(rec);
    for (int result = FindFirst(pattern, mask, rec); result == 0; result = FindNext(rec)) {
      if (rec.Name != "." && rec.Name != "..") names.insert(rec.Name);
    }
    return names;
  }
};

struct MaskCase {
  DWORD mask;
  std::set<std::string> names;
};

TEST_F(FindTest, TheMaskPassesOverHiddenSystemAndFolderEntriesItLacks) {
  const std::set<std::string> files = {"plain.txt", "ro.txt", "arc.txt"};
  auto with = [&](std::set<std::string> extra) {
    extra.insert(files.begin(), files.end());
    return extra;
  };
  const MaskCase cases[] = {
      /* 0 */ {0, files},
      /* 1 */ {faReadOnly | faArchive, files},  // these two never exclude
      /* 2 */ {faHidden, with({"hidden.txt"})},
      /* 3 */ {faSysFile, with({"system.txt"})},
      /* 4 */ {faDirectory, with({"Enu"})},
      /* 5 */ {faDirectory | faHidden, with({"Enu", "Secret", "hidden.txt"})},
      /* 6 */ {faAnyFile, with({"Enu", "Secret", "hidden.txt", "system.txt"})},
      /* 7 */ {faVolumeID, files},
  };
  int row = 0;
  for (const MaskCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << row++ << " mask " << c.mask);
    EXPECT_EQ(List("C:\\J\\*.*", c.mask), c.names);
    EXPECT_EQ(emu::OpenHandleCount(), 0u);
  }
}

TEST_F(FindTest, TheRecordHoldsNameAttributesSizeAndLocalTime) {
  emu::SetLocalTimeOffsetMinutes(60);
  emu::AddFile("C:\\J\\plain.txt", "12345", Written(emu::LocalTime(2004, 5, 6, 7, 8, 11)));
  TSearchRec rec;
  ASSERT_EQ(FindFirst("C:\\J\\PLAIN.*", faAnyFile, rec), 0);
  EXPECT_EQ(rec.Name, "plain.txt");
  EXPECT_EQ(rec.Size, 5);
  EXPECT_EQ(rec.Attr & (faDirectory | faHidden | faSysFile), 0u);
  EXPECT_EQ(rec.Time, Dos(2004, 5, 6, 7, 8, 10));
  EXPECT_EQ(FindNext(rec), ERROR_NO_MORE_FILES);
  FindClose(rec);
  EXPECT_EQ(rec.FindHandle, INVALID_HANDLE_VALUE);
  FindClose(rec);  // twice is harmless
  EXPECT_EQ(emu::OpenHandleCount(), 0u);
}

struct FindFailure {
  const char* pattern;
  DWORD mask;
  int result;
};

TEST_F(FindTest, FindFirstReportsTheErrorAndClosesItsSearch) {
  emu::AddFile("C:\\H\\only.txt", "", WithAttributes(FILE_ATTRIBUTE_HIDDEN));
  const FindFailure cases[] = {
      /* 0 */ {"C:\\J\\*.zip", faAnyFile, ERROR_FILE_NOT_FOUND},
      /* 1 */ {"C:\\Missing\\*.*", faAnyFile, ERROR_PATH_NOT_FOUND},
      /* 2 */ {"C:\\H\\*.txt", 0, ERROR_NO_MORE_FILES},  // found, but the mask passes it over
  };
  int row = 0;
  for (const FindFailure& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << row++ << " " << c.pattern);
    TSearchRec rec;
    EXPECT_EQ(FindFirst(c.pattern, c.mask, rec), c.result);
    EXPECT_EQ(rec.FindHandle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(emu::OpenHandleCount(), 0u);
  }
}

struct ChDirCase {
  DWORD code;
  std::string message;
};

TEST_F(FilesTest, ChDirRaisesEInOutErrorByCode) {
  emu::AddFolder("C:\\Temp");
  emu::SetCurrentDir("C:\\");
  const ChDirCase cases[] = {
      /* 0 */ {ERROR_FILE_NOT_FOUND, "File not found"},
      /* 1 */ {ERROR_PATH_NOT_FOUND, "Invalid filename"},
      /* 2 */ {ERROR_TOO_MANY_OPEN_FILES, "Too many open files"},
      /* 3 */ {ERROR_ACCESS_DENIED, "File access denied"},
      /* 4 */ {ERROR_INVALID_DRIVE, "I/O error 15"},
      /* 5 */ {ERROR_NOT_READY, "I/O error 21"},
      /* 6 */ {0, "I/O error 0"},
  };
  int row = 0;
  for (const ChDirCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << row++);
    emu::FailCall("SetCurrentDirectoryA", 1, c.code);
    int code = -1;
    EXPECT_EQ(Raised<EInOutError>([&] {
                try {
                  ChDir("C:\\Temp");
                } catch (const EInOutError& e) {
                  code = e.ErrorCode();
                  throw;
                }
              }),
              "EInOutError: " + c.message);
    EXPECT_EQ(code, static_cast<int>(c.code));
    EXPECT_EQ(emu::CurrentDir(), "C:\\");
  }
}

TEST_F(FilesTest, ChDirChangesTheFolderOrRaisesForAMissingOne) {
  emu::AddFolder("C:\\Temp");
  ChDir("C:\\Temp");
  EXPECT_EQ(emu::CurrentDir(), "C:\\Temp");
  EXPECT_EQ(Raised([] { ChDir("C:\\Missing"); }), "EInOutError: File not found");
  EXPECT_EQ(emu::CurrentDir(), "C:\\Temp");
}

TEST_F(FilesTest, HandleFunctionsFoldFailuresIntoTheirResults) {
  HANDLE created = FileCreate("C:\\f.bin");
  ASSERT_NE(created, INVALID_HANDLE_VALUE);
  EXPECT_EQ(FileWrite(created, "abcdef", 6), 6);
  EXPECT_EQ(FileSeek(created, 2, FILE_BEGIN), 2);
  char buffer[8];
  std::fill(std::begin(buffer), std::end(buffer), '\xA5');
  EXPECT_EQ(FileRead(created, buffer, 8), 4);
  EXPECT_EQ(std::string(buffer, 5), "cdef\xA5");
  EXPECT_EQ(FileRead(created, buffer, 8), 0);
  FileClose(created);

  SetLastError(0xdeadbeef);
  EXPECT_EQ(FileOpen("C:\\none.bin", GENERIC_READ, FILE_SHARE_READ), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  HANDLE opened = FileOpen("C:\\f.bin", GENERIC_READ, FILE_SHARE_READ);
  ASSERT_NE(opened, INVALID_HANDLE_VALUE);
  EXPECT_EQ(FileWrite(opened, "x", 1), -1) << "opened for reading only";
  EXPECT_EQ(FileSeek(opened, -1, FILE_BEGIN), -1);
  FileClose(opened);
  EXPECT_EQ(FileRead(opened, buffer, 1), -1) << "closed";
  EXPECT_EQ(emu::FileContent("C:\\f.bin"), "abcdef");
  EXPECT_EQ(emu::OpenHandleCount(), 0u);
}

TEST_F(FilesTest, HandleGuardClosesOnlyARealHandle) {
  { HandleGuard none; }
  { HandleGuard null(nullptr); }
  EXPECT_EQ(emu::CallCounts().count("CloseHandle"), 0u);
  {
    HandleGuard file(FileCreate("C:\\g.bin"));
    EXPECT_TRUE(file.Valid());
    EXPECT_EQ(emu::OpenHandleCount(), 1u);
  }
  EXPECT_EQ(emu::OpenHandleCount(), 0u);
}

}  // namespace
