// Path, drive and file primitives against the emulated file system.
#include "winsys/paths.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "emu/core.h"
#include "emu/fs.h"
#include "emu/system.h"
#include "winsys/errors.h"

namespace {

emu::EntrySpec WithAttributes(DWORD attributes) {
  emu::EntrySpec spec;
  spec.attributes = attributes;
  return spec;
}

class Paths : public ::testing::Test {
 protected:
  void SetUp() override {
    emu::Reset();
    emu::AddDrive('C');
    SavedErrorMode = 0;
  }
  void TearDown() override { EXPECT_EQ(emu::OpenHandleCount(), 0u) << "a handle was left open"; }
};

TEST_F(Paths, FileExistsSafe) {
  emu::AddFile("C:\\Data\\File.txt", "x");
  emu::AddFile("C:\\Data\\Hidden.sys", "x",
               WithAttributes(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  struct Row {
    const char* name;
    bool exists;
  };
  const Row rows[] = {
      /* 0 */ {"", false},
      /* 1 */ {"C:\\Data\\File.txt", true},
      /* 2 */ {"c:\\DATA\\file.TXT", true},
      /* 3 */ {"C:\\Data\\Hidden.sys", true},
      /* 4 */ {"C:\\Data", false},  // a folder
      /* 5 */ {"C:\\Data\\Missing.txt", false},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i);
    EXPECT_EQ(FileExistsSafe(rows[i].name), rows[i].exists);
  }
}

TEST_F(Paths, EmptyNameMakesNoSystemCall) {
  EXPECT_FALSE(FileExistsSafe(""));
  EXPECT_EQ(emu::CallCount("FindFirstFileA"), 0);
}

TEST_F(Paths, AddBackslash) {
  struct Row {
    const char* path;
    const char* expected;
  };
  const Row rows[] = {
      /* 0 */ {"", ""},
      /* 1 */ {"C:", "C:\\"},
      /* 2 */ {"C:\\", "C:\\"},
      /* 3 */ {"C:\\Temp", "C:\\Temp\\"},
      /* 4 */ {"C:/Temp/", "C:/Temp/\\"},  // a forward slash is no separator here
      /* 5 */ {"\\", "\\"},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i);
    EXPECT_EQ(AddBackslash(rows[i].path), rows[i].expected);
  }
}

TEST_F(Paths, ShortPath) {
  emu::AddFolder("C:\\Program Files\\Kelmora Setup");
  emu::AddFile("C:\\Short\\A.txt", "x");
  struct Row {
    std::string path;
    std::string expected;
  };
  const std::string longFolder = "C:\\Program Files\\Kelmora Setup\\";
  const std::string shortFolder = "C:\\" + emu::ShortName("C:\\Program Files") + "\\" +
                                  emu::ShortName("C:\\Program Files\\Kelmora Setup") + "\\";
  const Row rows[] = {
      /* 0 */ {longFolder, shortFolder},
      /* 1 */ {"C:\\Short\\A.txt", "C:\\Short\\A.txt"},          // already 8.3
      /* 2 */ {"C:\\No Such Folder\\", "C:\\No Such Folder\\"},  // no short form: unchanged
      /* 3 */ {"", ""},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetShortPath(rows[i].path), rows[i].expected);
    EXPECT_TRUE(emu::MessageBoxes().empty());
  }
}

TEST_F(Paths, ShortPathLongerThanTheFirstBuffer) {
  // Short names longer than the long ones: a short form over 255 bytes from a long path that
  // stays well inside MAX_PATH.
  std::string longPath = "C:";
  std::string expected = "C:";
  for (int level = 10; level < 32; ++level) {
    longPath += "\\a b";
    emu::EntrySpec spec;
    spec.shortName = "LEVEL~" + std::to_string(level) + ".DIR";
    emu::AddFolder(longPath, spec);
    expected += "\\" + spec.shortName;
  }
  ASSERT_GT(expected.size(), 255u);
  ASSERT_LT(longPath.size(), 255u);

  EXPECT_EQ(GetShortPath(longPath), expected);

  // A failure of the second, larger query still gives the path unchanged.
  emu::FailCall("GetShortPathNameA", 2, ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(GetShortPath(longPath), longPath);
  EXPECT_TRUE(emu::MessageBoxes().empty());
}

TEST_F(Paths, DriveUsable) {
  emu::AddDrive('A', {.type = DRIVE_REMOVABLE, .mediumPresent = false});
  emu::AddDrive('D', {.type = DRIVE_CDROM, .freeBytes = 0, .readOnly = true});
  emu::AddDrive('E',
                {.type = DRIVE_CDROM, .freeBytes = 0, .mediumPresent = false, .readOnly = true});
  emu::AddDrive('N', {.type = DRIVE_REMOTE});
  emu::AddDrive('R', {.type = DRIVE_RAMDISK});
  struct Row {
    char letter;
    bool usable;
  };
  const Row rows[] = {
      /* 0 */ {'A', true},  /* 1 */ {'C', true},   /* 2 */ {'c', true},
      /* 3 */ {'D', true},  /* 4 */ {'E', true},  // a CD-ROM drive, with and without a medium
      /* 5 */ {'N', true},  /* 6 */ {'R', true},   /* 7 */ {'Q', false},  // no drive
      /* 8 */ {'$', false}, /* 9 */ {'\\', false},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i << " " << rows[i].letter);
    EXPECT_EQ(DriveUsable(rows[i].letter), rows[i].usable);
  }
  EXPECT_EQ(emu::CriticalErrorBoxes(), 0);
}

TEST_F(Paths, DirWritableProbesAndCleansUp) {
  emu::AddFolder("C:\\Work");
  emu::AddFile("C:\\Stale\\$$$.$$$", "old", WithAttributes(FILE_ATTRIBUTE_READONLY));
  SetErrorMode(SEM_NOOPENFILEERRORBOX);
  struct Row {
    const char* folder;
    bool writable;
  };
  const Row rows[] = {
      /* 0 */ {"C:\\Work", true},
      /* 1 */ {"C:\\Work\\", true},
      /* 2 */ {"C:\\Stale", true},  // a read-only probe left from before is removed first
      /* 3 */ {"C:\\Missing", false},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i);
    EXPECT_EQ(DirWritable(rows[i].folder), rows[i].writable);
    EXPECT_FALSE(emu::Exists(AddBackslash(rows[i].folder) + "$$$.$$$"));
    EXPECT_EQ(emu::ErrorMode(), SEM_NOOPENFILEERRORBOX);
  }
  EXPECT_TRUE(emu::MessageBoxes().empty());
}

TEST_F(Paths, DirWritableOnCdRom) {
  struct Row {
    bool medium;
  };
  const Row rows[] = {/* 0 */ {true}, /* 1 */ {false}};
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i);
    emu::Reset();
    emu::AddDrive(
        'D',
        {.type = DRIVE_CDROM, .freeBytes = 0, .mediumPresent = rows[i].medium, .readOnly = true});
    if (rows[i].medium) emu::AddFolder("D:\\Kel");
    EXPECT_FALSE(DirWritable("D:\\Kel\\"));
    EXPECT_EQ(emu::CriticalErrorBoxes(), 0);
    EXPECT_EQ(emu::ErrorMode(), 0u);
    EXPECT_TRUE(emu::MessageBoxes().empty());
  }
}

TEST_F(Paths, DirWritableNeedsAUsableDriveLetterFirst) {
  emu::AddFolder("C:\\Work");
  struct Row {
    const char* folder;
  };
  const Row rows[] = {
      /* 0 */ {""},                   // the probe path starts with "$"
      /* 1 */ {"\\\\server\\share"},  // a network path starts with a backslash
      /* 2 */ {"Work"},               // relative: 'W' is taken as the drive, and there is none
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i);
    const int creates = emu::CallCount("CreateFileA");
    const int modes = emu::CallCount("SetErrorMode");
    EXPECT_FALSE(DirWritable(rows[i].folder));
    EXPECT_EQ(emu::CallCount("CreateFileA"), creates);
    EXPECT_EQ(emu::CallCount("SetErrorMode"), modes);
  }
}

TEST_F(Paths, DirWritableOfARelativeFolderUsesItsFirstCharacterAsDrive) {
  // "Cache" names drive C: by accident; the probe goes into the current folder's Cache.
  emu::AddFolder("C:\\Cur\\Cache");
  emu::SetCurrentDir("C:\\Cur");
  EXPECT_TRUE(DirWritable("Cache"));
  EXPECT_FALSE(emu::Exists("C:\\Cur\\Cache\\$$$.$$$"));
}

TEST_F(Paths, DirWritableFalseOnShortWrite) {
  emu::AddDrive('F', {.type = DRIVE_FIXED, .freeBytes = 3});
  emu::AddFolder("F:\\Full");
  EXPECT_FALSE(DirWritable("F:\\Full"));
  EXPECT_FALSE(emu::Exists("F:\\Full\\$$$.$$$"));
  EXPECT_EQ(emu::ErrorMode(), 0u);
}

TEST_F(Paths, ForceDeleteFile) {
  struct Row {
    DWORD attributes;  // of the file put there; INVALID_FILE_ATTRIBUTES: no file
    bool deleted;
  };
  const Row rows[] = {
      /* 0 */ {INVALID_FILE_ATTRIBUTES, true},
      /* 1 */ {0, true},
      /* 2 */ {FILE_ATTRIBUTE_READONLY, true},
      /* 3 */ {FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, true},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i);
    const std::string name = "C:\\Data\\File" + std::to_string(i) + ".txt";
    if (rows[i].attributes != INVALID_FILE_ATTRIBUTES)
      emu::AddFile(name, "x", WithAttributes(rows[i].attributes));
    EXPECT_EQ(ForceDeleteFile(name), rows[i].deleted);
    EXPECT_FALSE(emu::Exists(name));
  }
}

TEST_F(Paths, ForceDeleteFileHeldOpenFails) {
  const std::string name = "C:\\Data\\Busy.txt";
  emu::AddFile(name, "x", WithAttributes(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  const HANDLE other = emu::HoldOpen(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  ASSERT_NE(other, nullptr);

  EXPECT_FALSE(ForceDeleteFile(name));

  EXPECT_TRUE(emu::Exists(name));
  EXPECT_EQ(emu::Attributes(name) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0u);
  CloseHandle(other);
}

TEST_F(Paths, ForceDeleteFileOfAFolderDeletesNothing) {
  emu::AddFolder("C:\\Data", WithAttributes(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  emu::AddFile("C:\\Data\\Inside.txt", "x");

  EXPECT_TRUE(ForceDeleteFile("C:\\Data"));

  EXPECT_TRUE(emu::IsFolder("C:\\Data"));
  EXPECT_TRUE(emu::Exists("C:\\Data\\Inside.txt"));
  EXPECT_EQ(emu::Attributes("C:\\Data") & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0u);
}

}  // namespace
