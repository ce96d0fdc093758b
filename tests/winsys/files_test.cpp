// File comparison, copy and list saving against the emulated file system.
#include "winsys/files.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "emu/core.h"
#include "emu/fs.h"
#include "emu/system.h"
#include "rtl/exceptions.h"

namespace {

// A DOS date-time written out field by field.
int32_t Dos(int year, int month, int day, int hour, int minute, int second) {
  return static_cast<int32_t>((static_cast<uint32_t>(year - 1980) << 25) | (month << 21) |
                              (day << 16) | (hour << 11) | (minute << 5) | (second / 2));
}

std::string Bytes(size_t count, char last = 'z') {
  std::string text;
  for (size_t i = 0; i < count; ++i) text += static_cast<char>('a' + i % 23);
  if (count > 0) text.back() = last;
  return text;
}

// Two write times, in the emulation's local time.
FILETIME May() { return emu::LocalTime(2003, 5, 17, 10, 20, 30); }
FILETIME June() { return emu::LocalTime(2003, 6, 1, 8, 0, 0); }

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    emu::Reset();
    emu::AddDrive('C');
    CopyError = 0;
  }
  void TearDown() override { EXPECT_EQ(emu::OpenHandleCount(), 0u) << "a handle was left open"; }
  static void Put(const std::string& path, const std::string& content, FILETIME when,
                  DWORD attributes = 0) {
    emu::EntrySpec spec;
    spec.attributes = attributes;
    spec.lastWrite = when;
    emu::AddFile(path, content, spec);
  }
};

TEST_F(Files, FileSizeOf) {
  Put("C:\\D\\Empty.txt", "", May());
  Put("C:\\D\\Five.txt", "12345", May());
  Put("C:\\D\\ReadOnly.txt", "abc", May(), FILE_ATTRIBUTE_READONLY);
  Put("C:\\D\\Writing.txt", "abcd", May());
  Put("C:\\D\\Reading.txt", "abcdef", May());
  const HANDLE writer =
      emu::HoldOpen("C:\\D\\Writing.txt", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
  const HANDLE reader = emu::HoldOpen("C:\\D\\Reading.txt", GENERIC_READ, FILE_SHARE_READ);
  ASSERT_NE(writer, nullptr);
  ASSERT_NE(reader, nullptr);
  struct Row {
    const char* name;
    int32_t size;
  };
  const Row rows[] = {
      /* 0 */ {"", -1},
      /* 1 */ {"C:\\D\\Missing.txt", -1},
      /* 2 */ {"C:\\D", -1},
      /* 3 */ {"C:\\D\\Empty.txt", 0},
      /* 4 */ {"C:\\D\\Five.txt", 5},
      /* 5 */ {"C:\\D\\ReadOnly.txt", 3},
      /* 6 */ {"C:\\D\\Writing.txt", -1},  // another process writes to it
      /* 7 */ {"C:\\D\\Reading.txt", 6},   // another process only reads it
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i);
    EXPECT_EQ(FileSizeOf(rows[i].name), rows[i].size);
  }
  CloseHandle(writer);
  CloseHandle(reader);
}

TEST_F(Files, GetFileDate) {
  Put("C:\\D\\May.txt", "x", emu::LocalTime(2003, 5, 17, 10, 20, 31, 500));
  Put("C:\\D\\Locked.txt", "x", May());
  const HANDLE other = emu::HoldOpen("C:\\D\\Locked.txt", GENERIC_READ, 0);
  ASSERT_NE(other, nullptr);
  struct Row {
    const char* name;
    const char* failingApi;  // nullptr: none
    int32_t date;
  };
  const Row rows[] = {
      /* 0 */ {"C:\\D\\May.txt", nullptr, Dos(2003, 5, 17, 10, 20, 30)},
      /* 1 */ {"C:\\D\\Missing.txt", nullptr, 0},
      /* 2 */ {"C:\\D\\Locked.txt", nullptr, 0},
      /* 3 */ {"C:\\D\\May.txt", "GetFileTime", -1},
      /* 4 */ {"C:\\D\\May.txt", "FileTimeToLocalFileTime", -1},
      /* 5 */ {"C:\\D\\May.txt", "FileTimeToDosDateTime", -1},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i);
    emu::ClearFaults();
    if (rows[i].failingApi) emu::FailCall(rows[i].failingApi, 1, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(GetFileDate(rows[i].name), rows[i].date);
    EXPECT_EQ(emu::OpenHandleCount(), 1u);  // only the other process's handle
  }
  CloseHandle(other);
}

TEST_F(Files, SetFileDate) {
  Put("C:\\D\\File.txt", "content", May());
  const int32_t june = Dos(2003, 6, 1, 8, 0, 0);

  SetFileDate("C:\\D\\File.txt", june);
  EXPECT_EQ(emu::DosStamp("C:\\D\\File.txt"), june);
  EXPECT_EQ(GetFileDate("C:\\D\\File.txt"), june);
  EXPECT_EQ(emu::FileContent("C:\\D\\File.txt"), "content");

  SetFileDate("C:\\D\\Missing.txt", june);
  EXPECT_FALSE(emu::Exists("C:\\D\\Missing.txt"));
  EXPECT_TRUE(emu::MessageBoxes().empty());
}

TEST_F(Files, SetFileDateOfAFileHeldElsewhereChangesNothing) {
  Put("C:\\D\\File.txt", "content", May());
  const HANDLE other = emu::HoldOpen("C:\\D\\File.txt", GENERIC_READ, FILE_SHARE_READ);
  ASSERT_NE(other, nullptr);
  SetFileDate("C:\\D\\File.txt", Dos(2003, 6, 1, 8, 0, 0));
  CloseHandle(other);
  EXPECT_EQ(emu::DosStamp("C:\\D\\File.txt"), Dos(2003, 5, 17, 10, 20, 30));
}

TEST_F(Files, SameFiles) {
  Put("C:\\D\\A.txt", "abc", May());
  Put("C:\\D\\B.txt", "xyz", May());  // A's size and date, other bytes
  Put("C:\\D\\C.txt", "abc", June());
  Put("C:\\D\\Empty1", "", May());
  Put("C:\\D\\Empty2", "", June());
  Put("C:\\D\\Big1", Bytes(70000), May());
  Put("C:\\D\\Big2", Bytes(70000, 'y'), May());  // differs in its last byte only
  Put("C:\\D\\Big3", Bytes(70000), June());
  struct Row {
    const char* first;
    const char* second;
    uint8_t mode;
    bool same;
  };
  const Row rows[] = {
      /* 0 */ {"C:\\D\\None1", "C:\\D\\None2", 1, false},  // both sizes are -1
      /* 1 */ {"C:\\D\\None1", "C:\\D\\None2", 0, false},
      /* 2 */ {"C:\\D\\A.txt", "C:\\D\\B.txt", 1, true},  // the date mode reads no content
      /* 3 */ {"C:\\D\\A.txt", "C:\\D\\B.txt", 0, false},
      /* 4 */ {"C:\\D\\A.txt", "C:\\D\\C.txt", 1, false},
      /* 5 */ {"C:\\D\\A.txt", "C:\\D\\C.txt", 0, true},
      /* 6 */ {"C:\\D\\Empty1", "C:\\D\\Empty2", 0, true},
      /* 7 */ {"C:\\D\\Big1", "C:\\D\\Big2", 0, false},
      /* 8 */ {"C:\\D\\Big1", "C:\\D\\Big3", 2, true},  // every mode but 1 compares content
      /* 9 */ {"C:\\D\\Big1", "C:\\D\\Big1", 0, true},
      /* 10 */ {"C:\\D\\A.txt", "C:\\D\\Big1", 0, false},
      /* 11 */ {"C:\\D\\A.txt", "C:\\D", 1, false},
      /* 12 */ {"C:\\D\\A.txt", "C:\\D\\None1", 1, false},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i);
    const int reads = emu::CallCount("ReadFile");
    EXPECT_EQ(SameFiles(rows[i].first, rows[i].second, rows[i].mode), rows[i].same);
    if (rows[i].mode == 1) {
      EXPECT_EQ(emu::CallCount("ReadFile"), reads);
    }
  }
}

TEST_F(Files, SameContentWithAFailedReadIsNotTheSame) {
  Put("C:\\D\\A.txt", "abc", May());
  Put("C:\\D\\C.txt", "abc", June());
  for (int nth : {1, 2}) {  // a read of the first file, then of the second
    SCOPED_TRACE(testing::Message() << "failing read " << nth);
    emu::ClearFaults();
    emu::FailCall("ReadFile", nth, ERROR_READ_FAULT);
    EXPECT_FALSE(SameFiles("C:\\D\\A.txt", "C:\\D\\C.txt", 0));
  }
}

TEST_F(Files, CopySkipsWhenSizeAndDateMatch) {
  Put("C:\\D\\A.txt", "abc", May());
  Put("C:\\T\\A.txt", "xyz", May());
  CopyError = 77;
  struct Row {
    const char* target;
    const char* content;
  };
  const Row rows[] = {
      /* 0 */ {"C:\\D\\A.txt", "abc"},  // onto itself
      /* 1 */ {"C:\\T\\A.txt", "xyz"},  // same size and date: content is not compared
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i);
    EXPECT_TRUE(CopyFileIfChanged("C:\\D\\A.txt", rows[i].target));
    EXPECT_EQ(CopyError, 77);
    EXPECT_EQ(emu::FileContent(rows[i].target), rows[i].content);
  }
  EXPECT_EQ(emu::CallCount("WriteFile"), 0);
}

TEST_F(Files, CopyReplacesAReadOnlyTarget) {
  Put("C:\\D\\Kel.jcf", Bytes(100000), May());
  Put("C:\\T\\Kel.jcf", "older", June(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  CopyError = 77;

  EXPECT_TRUE(CopyFileIfChanged("C:\\D\\Kel.jcf", "C:\\T\\Kel.jcf"));

  EXPECT_EQ(CopyError, 0);
  EXPECT_TRUE(emu::FileContent("C:\\T\\Kel.jcf") == Bytes(100000));
  EXPECT_EQ(emu::Attributes("C:\\T\\Kel.jcf") & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
            0u);
  EXPECT_EQ(emu::DosStamp("C:\\T\\Kel.jcf"), emu::DosStamp("C:\\D\\Kel.jcf"));
}

TEST_F(Files, CopyCarriesAnOddSecondDate) {
  Put("C:\\D\\Kel.jcf", "config", emu::LocalTime(2003, 5, 17, 10, 20, 31, 730));
  emu::AddFolder("C:\\T");

  EXPECT_TRUE(CopyFileIfChanged("C:\\D\\Kel.jcf", "C:\\T\\Kel.jcf"));
  EXPECT_TRUE(SameFiles("C:\\D\\Kel.jcf", "C:\\T\\Kel.jcf", 1));

  const int writes = emu::CallCount("WriteFile");
  EXPECT_TRUE(CopyFileIfChanged("C:\\D\\Kel.jcf", "C:\\T\\Kel.jcf"));  // now skipped
  EXPECT_EQ(emu::CallCount("WriteFile"), writes);
}

TEST_F(Files, CopyFailures) {
  Put("C:\\T\\Kel.jcf", "old target", June(), FILE_ATTRIBUTE_READONLY);
  Put("C:\\D\\Kel.jcf", "new source", May());
  Put("C:\\D\\Busy.jcf", "busy source", May());
  emu::AddFolder("C:\\D\\Folder.jcf");
  const HANDLE writer =
      emu::HoldOpen("C:\\D\\Busy.jcf", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
  ASSERT_NE(writer, nullptr);
  struct Row {
    const char* source;
    const char* target;
    int32_t copyError;
  };
  const Row rows[] = {
      // A source that cannot be opened leaves the old target as it was.
      /* 0 */ {"C:\\D\\Missing.jcf", "C:\\T\\Kel.jcf", 1},
      /* 1 */ {"", "C:\\T\\Kel.jcf", 1},
      /* 2 */ {"C:\\D\\Folder.jcf", "C:\\T\\Kel.jcf", 1},
      /* 3 */ {"C:\\D\\Busy.jcf", "C:\\T\\Kel.jcf", 1},
      /* 4 */ {"C:\\D\\Kel.jcf", "C:\\NoFolder\\Kel.jcf", 2},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i);
    CopyError = 77;
    EXPECT_FALSE(CopyFileIfChanged(rows[i].source, rows[i].target));
    EXPECT_EQ(CopyError, rows[i].copyError);
    EXPECT_EQ(emu::FileContent("C:\\T\\Kel.jcf"), "old target");
    EXPECT_EQ(emu::Attributes("C:\\T\\Kel.jcf") & FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(emu::DosStamp("C:\\T\\Kel.jcf"), Dos(2003, 6, 1, 8, 0, 0));
    EXPECT_EQ(emu::OpenHandleCount(), 1u);  // the writer's
  }
  EXPECT_FALSE(emu::Exists("C:\\NoFolder"));
  CloseHandle(writer);
}

TEST_F(Files, CopyStopsWhenTheOldTargetStays) {
  Put("C:\\D\\Kel.jcf", "new source", May());
  Put("C:\\T\\Kel.jcf", "old target", June());
  const HANDLE reader = emu::HoldOpen("C:\\T\\Kel.jcf", GENERIC_READ, FILE_SHARE_READ);
  ASSERT_NE(reader, nullptr);
  CopyError = 77;

  EXPECT_FALSE(CopyFileIfChanged("C:\\D\\Kel.jcf", "C:\\T\\Kel.jcf"));

  EXPECT_EQ(CopyError, 0);
  EXPECT_EQ(emu::FileContent("C:\\T\\Kel.jcf"), "old target");
  CloseHandle(reader);
}

// A copy that fails after the old target is gone leaves no target at all: a cut-short or
// empty one, newer than the source or stamped with its date, would pass for a good copy with
// the screen-reader stage, which compares dates only.
TEST_F(Files, FailedCopyLeavesNoPartialTarget) {
  emu::AddDrive('F', {.type = DRIVE_FIXED, .freeBytes = 1000});
  struct Row {
    const char* target;
    size_t size;
    const char* api;  // nullptr: the full disk alone makes the write short
    int nth;          // 0: the open of the target, counted in a copy that succeeds
    DWORD error;
    int32_t copyError;
  };
  const Row rows[] = {
      /* 0 */ {"F:\\T\\Big.bin", 5000, nullptr, 0, 0, 3},
      /* 1 */ {"C:\\T\\Big.bin", 100000, "ReadFile", 2, ERROR_READ_FAULT, 4},  // second block
      /* 2 */ {"C:\\T\\Big.bin", 100000, "WriteFile", 1, ERROR_DISK_FULL, 3},
      /* 3 */ {"C:\\T\\Big.bin", 100000, "CreateFileA", 0, ERROR_SHARING_VIOLATION, 2},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i);
    const Row& row = rows[i];
    auto setUp = [&] {
      Put("C:\\D\\Big.bin", Bytes(row.size), May());
      Put(row.target, "old target", June());
    };
    int nth = row.nth;
    if (row.api != nullptr && nth == 0) {
      // The target's open is the last open before the two of the date step.
      setUp();
      const int before = emu::CallCount(row.api);
      ASSERT_TRUE(CopyFileIfChanged("C:\\D\\Big.bin", row.target));
      nth = emu::CallCount(row.api) - before - 2;
    }
    setUp();
    if (row.api != nullptr) emu::FailCall(row.api, nth, row.error);
    CopyError = 77;

    EXPECT_FALSE(CopyFileIfChanged("C:\\D\\Big.bin", row.target));

    EXPECT_EQ(CopyError, row.copyError);
    if (row.api != nullptr) {
      EXPECT_TRUE(emu::FaultFired());
    }
    EXPECT_FALSE(emu::Exists(row.target)) << "a partial target was left";
    EXPECT_EQ(emu::OpenHandleCount(), 0u);
    emu::ClearFaults();
  }
}

TEST_F(Files, CopyAfterAFailedReadCopiesAgain) {
  Put("C:\\D\\Big.bin", Bytes(100000), May());
  emu::AddFolder("C:\\T");
  emu::FailCall("ReadFile", 2, ERROR_READ_FAULT);
  EXPECT_FALSE(CopyFileIfChanged("C:\\D\\Big.bin", "C:\\T\\Big.bin"));

  EXPECT_TRUE(CopyFileIfChanged("C:\\D\\Big.bin", "C:\\T\\Big.bin"));
  EXPECT_EQ(CopyError, 0);
  EXPECT_TRUE(emu::FileContent("C:\\T\\Big.bin") == Bytes(100000));
  EXPECT_EQ(emu::DosStamp("C:\\T\\Big.bin"), emu::DosStamp("C:\\D\\Big.bin"));
}

TEST_F(Files, CopyToConHasNoDateStep) {
  Put("C:\\D\\Kel.jcf", "config", May());
  emu::SetCurrentDir("C:\\D");
  struct Row {
    const char* target;
    bool stamped;
  };
  const Row rows[] = {
      /* 0 */ {"con", false},
      /* 1 */ {"CON", true},  // the test is exact
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i);
    Put("C:\\D\\con", "stale", June());
    const int stamps = emu::CallCount("SetFileTime");
    CopyFileIfChanged("Kel.jcf", rows[i].target);
    EXPECT_EQ(emu::CallCount("SetFileTime") - stamps, rows[i].stamped ? 1 : 0);
  }
}

TEST_F(Files, TouchFile) {
  Put("C:\\D\\Old.txt", "keep", May());
  struct Row {
    const char* name;
    std::optional<std::string> content;  // nullopt: no file afterwards
  };
  const Row rows[] = {
      /* 0 */ {"C:\\D\\Old.txt", "keep"},
      /* 1 */ {"c:\\d\\OLD.TXT", "keep"},  // renamed onto itself as spelled
      /* 2 */ {"C:\\D\\New.txt", ""},
      /* 3 */ {"C:\\NoFolder\\New.txt", std::nullopt},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i);
    TouchFile(rows[i].name);
    EXPECT_EQ(emu::FileContent(rows[i].name), rows[i].content);
  }
  EXPECT_TRUE(emu::MessageBoxes().empty());
}

TEST_F(Files, SafeFileName) {
  struct Row {
    std::string name;
    std::string safe;
  };
  const Row rows[] = {
      /* 0 */ {"C:\\data\\a<1>.txt", "C:\\data\\a[1].txt"},
      /* 1 */ {"C:\\x|y\\z%.lst", "C:\\x|y\\z_.lst"},  // the folder part is never changed
      /* 2 */ {"a/b", "a_b"},
      /* 3 */ {"a\"b|c%d", "a_b_c_d"},
      /* 4 */ {"C:\\d\\what?*.lst", "C:\\d\\what?*.lst"},
      /* 5 */ {"C:a>b", "C:a]b"},  // the colon ends the folder part
      /* 6 */ {"", ""},
      /* 7 */ {"C:\\d\\", "C:\\d\\"},
      /* 8 */ {"C:\\d\\" + std::string(300, 'n'), "C:\\d\\" + std::string(255, 'n')},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i);
    EXPECT_EQ(SafeFileName(rows[i].name), rows[i].safe);
  }
}

TEST_F(Files, SaveListToFile) {
  Put("C:\\Out\\Long.lst", "a much longer earlier content\r\n", May());
  TStringList two;
  two.Add("C:\\Medium\\Mod101.dat");
  two.Add("Setup 2.0");
  struct Row {
    TStringList list;
    std::string name;
    std::string savedAs;
    std::string bytes;
  };
  const Row rows[] = {
      /* 0 */ {TStringList(), "C:\\Out\\Empty.lst", "C:\\Out\\Empty.lst", ""},
      /* 1 */
      {two, "C:\\Out\\AutoLoad.Lst", "C:\\Out\\AutoLoad.Lst",
       "C:\\Medium\\Mod101.dat\r\nSetup 2.0\r\n"},
      /* 2 */
      {two, "C:\\Out\\a<1>.lst", "C:\\Out\\a[1].lst", "C:\\Medium\\Mod101.dat\r\nSetup 2.0\r\n"},
      /* 3 */
      {two, "C:\\Out\\Long.lst", "C:\\Out\\Long.lst", "C:\\Medium\\Mod101.dat\r\nSetup 2.0\r\n"},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i);
    SaveListToFile(rows[i].list, rows[i].name);
    EXPECT_EQ(emu::FileContent(rows[i].savedAs), rows[i].bytes);
  }
}

TEST_F(Files, SaveListToFileFailureLeavesNoPartialFile) {
  emu::AddDrive('F', {.type = DRIVE_FIXED, .freeBytes = 10});
  emu::AddFolder("F:\\Data");
  TStringList list;
  list.Add("C:\\Medium\\Mod101.dat");
  list.Add("Setup 2.0");

  try {
    SaveListToFile(list, "F:\\Data\\AutoLoad.Lst");
    FAIL() << "the save did not raise";
  } catch (const EWriteError& e) {
    EXPECT_EQ(e.Message(), "Stream write error");
  }
  EXPECT_FALSE(emu::Exists("F:\\Data\\AutoLoad.Lst"));
}

TEST_F(Files, SaveListToFileThatCannotBeCreated) {
  Put("C:\\Out\\Locked.lst", "earlier", May(), FILE_ATTRIBUTE_READONLY);
  TStringList list;
  list.Add("line");
  struct Row {
    const char* name;
    std::optional<std::string> left;  // what the name holds afterwards
  };
  const Row rows[] = {
      /* 0 */ {"C:\\NoFolder\\AutoLoad.Lst", std::nullopt},
      /* 1 */ {"C:\\Out\\Locked.lst", "earlier"},  // a file we did not write is not ours to delete
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i);
    try {
      SaveListToFile(list, rows[i].name);
      ADD_FAILURE() << "the save did not raise";
    } catch (const EFCreateError& e) {
      EXPECT_EQ(e.Message(), std::string("Cannot create file ") + rows[i].name);
    }
    EXPECT_EQ(emu::FileContent(rows[i].name), rows[i].left);
  }
}

TEST_F(Files, SaveListToFileWhenCreatingFailsAfterTheTouch) {
  TStringList list;
  list.Add("line");
  emu::AddFolder("C:\\Out");
  emu::FailCall("CreateFileA", 2, ERROR_ACCESS_DENIED);  // the touch succeeds, the save does not
  EXPECT_THROW(SaveListToFile(list, "C:\\Out\\AutoLoad.Lst"), EFCreateError);
  EXPECT_FALSE(emu::Exists("C:\\Out\\AutoLoad.Lst"));
}

}  // namespace
