// Conformance of path resolution, the calls that hand out a path (buffer rules), and drives:
// types, free space, missing media and the error mode.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "emu/core.h"
#include "emu/fs.h"
#include "platform/win32.h"

namespace {

constexpr DWORD kSentinel = 0xdeadbeef;

class FsPaths : public ::testing::Test {
 protected:
  void SetUp() override {
    emu::Reset();
    emu::AddFile("C:\\Program Files\\Kelmora\\Kel.Exe", "exe");
    emu::AddFile("C:\\TEMP\\t.txt", "t");
    emu::SetCurrentDir("C:\\Program Files");
  }
};

struct ResolveCase {
  const char* path;
  DWORD attributes;  // INVALID_FILE_ATTRIBUTES: fails with error
  DWORD error;
};

TEST_F(FsPaths, PathsResolveAsWindowsResolvesThem) {
  const DWORD DIR = FILE_ATTRIBUTE_DIRECTORY, FILE = FILE_ATTRIBUTE_NORMAL,
              NONE = INVALID_FILE_ATTRIBUTES;
  const std::string tooLong = "C:\\" + std::string(300, 'a');
  const std::string deep = std::string(200, 'b') + "\\" + std::string(49, 'c');
  const ResolveCase cases[] = {
      /* 0 */ {"Kelmora\\Kel.Exe", FILE, 0},
      /* 1 */ {"C:Kelmora", DIR, 0},               // drive-relative: the current folder of C:
      /* 2 */ {"\\TEMP\\t.txt", FILE, 0},          // root of the current drive
      /* 3 */ {"..\\TEMP\\.\\t.txt", FILE, 0},
      /* 4 */ {"C:/TEMP/t.txt", FILE, 0},          // forward slashes separate too
      /* 5 */ {"C:\\TEMP\\", DIR, 0},
      /* 6 */ {"C:\\..\\..\\TEMP", DIR, 0},        // ".." stops at the root
      /* 7 */ {"C:\\TEMP\\t.txt.", FILE, 0},       // trailing dots are dropped
      /* 8 */ {"C:\\TEMP\\none.txt", NONE, ERROR_FILE_NOT_FOUND},
      /* 9 */ {"C:\\none\\t.txt", NONE, ERROR_PATH_NOT_FOUND},
      /* 10 */ {"C:\\TEMP\\t.txt\\x", NONE, ERROR_PATH_NOT_FOUND},
      /* 11 */ {"C:\\TEMP\\t.txt\\", NONE, ERROR_INVALID_NAME},
      /* 12 */ {"C:\\TEMP\\a<b", NONE, ERROR_INVALID_NAME},
      /* 13 */ {"C:\\TEMP\\*.txt", NONE, ERROR_INVALID_NAME},
      /* 14 */ {"Q:\\x", NONE, ERROR_PATH_NOT_FOUND},
      /* 15 */ {tooLong.c_str(), NONE, ERROR_FILENAME_EXCED_RANGE},  // the text itself
      /* 16 */ {deep.c_str(), NONE, ERROR_PATH_NOT_FOUND},           // the full path it makes
      /* 17 */ {"", NONE, ERROR_PATH_NOT_FOUND},
  };
  for (const ResolveCase& c : cases) {
    SCOPED_TRACE(c.path);
    SetLastError(kSentinel);
    EXPECT_EQ(GetFileAttributesA(c.path), c.attributes);
    EXPECT_EQ(GetLastError(), c.error ? c.error : kSentinel);
  }
}

struct ChdirCase {
  const char* path;
  BOOL ok;
  DWORD error;
  const char* current;
};

TEST_F(FsPaths, ChangingTheCurrentFolder) {
  const ChdirCase cases[] = {
      /* 0 */ {"C:\\TEMP\\", TRUE, 0, "C:\\TEMP"},
      /* 1 */ {"c:\\temp", TRUE, 0, "C:\\temp"},  // spelled as given
      /* 2 */ {"Kelmora", TRUE, 0, "C:\\Program Files\\Kelmora"},
      /* 3 */ {"C:", TRUE, 0, "C:\\Program Files"},  // its own drive: stays
      /* 4 */ {"C:\\", TRUE, 0, "C:\\"},
      /* 5 */ {"C:\\TEMP\\t.txt", FALSE, ERROR_DIRECTORY, "C:\\Program Files"},
      /* 6 */ {"C:\\none", FALSE, ERROR_FILE_NOT_FOUND, "C:\\Program Files"},
      /* 7 */ {"C:\\none\\x", FALSE, ERROR_PATH_NOT_FOUND, "C:\\Program Files"},
  };
  for (const ChdirCase& c : cases) {
    SCOPED_TRACE(c.path);
    emu::SetCurrentDir("C:\\Program Files");
    SetLastError(kSentinel);
    EXPECT_EQ(SetCurrentDirectoryA(c.path), c.ok);
    EXPECT_EQ(GetLastError(), c.error ? c.error : kSentinel);
    EXPECT_EQ(emu::CurrentDir(), c.current);
  }
}

// The three calls that hand out a text share one rule: the length without the zero when it
// fits, else the size needed with the zero and the buffer untouched.
struct BufferCase {
  const char* what;
  DWORD (*call)(char*, DWORD);
  const char* expected;
};

DWORD ShortOfKelExe(char* buf, DWORD size) {
  return GetShortPathNameA("C:\\Program Files\\Kelmora\\Kel.Exe", buf, size);
}
DWORD TempPath(char* buf, DWORD size) { return GetTempPathA(size, buf); }
DWORD CurrentFolder(char* buf, DWORD size) { return GetCurrentDirectoryA(size, buf); }

TEST_F(FsPaths, BufferRulesOfTheTextCalls) {
  const BufferCase cases[] = {
      /* 0 */ {"GetShortPathNameA", ShortOfKelExe, "C:\\PROGRA~1\\Kelmora\\Kel.Exe"},
      /* 1 */ {"GetTempPathA", TempPath, "C:\\TEMP\\"},
      /* 2 */ {"GetCurrentDirectoryA", CurrentFolder, "C:\\Program Files"},
  };
  for (const BufferCase& c : cases) {
    SCOPED_TRACE(c.what);
    const DWORD len = static_cast<DWORD>(std::strlen(c.expected));
    char buf[64];
    for (DWORD size : {DWORD{0}, len - 1, len}) {
      SCOPED_TRACE(size);
      std::memset(buf, 0xA5, sizeof buf);
      SetLastError(kSentinel);
      EXPECT_EQ(c.call(buf, size), len + 1);
      EXPECT_EQ(static_cast<unsigned char>(buf[0]), 0xA5);
      EXPECT_EQ(GetLastError(), kSentinel);
    }
    std::memset(buf, 0xA5, sizeof buf);
    EXPECT_EQ(c.call(buf, len + 1), len);
    EXPECT_STREQ(buf, c.expected);
    EXPECT_EQ(static_cast<unsigned char>(buf[len + 1]), 0xA5);
  }
}

struct ShortCase {
  const char* path;
  const char* expected;  // nullptr: fails with error
  DWORD error;
};

TEST_F(FsPaths, ShortPathsConvertEachComponent) {
  emu::AddFolder("C:\\TEMP\\Long Folder Name");
  const ShortCase cases[] = {
      /* 0 */ {"c:\\program files\\kelmora", "c:\\PROGRA~1\\kelmora", 0},  // 8.3 parts as typed
      /* 1 */ {"C:\\PROGRA~1\\", "C:\\PROGRA~1\\", 0},
      /* 2 */ {"C:\\TEMP\\Long Folder Name\\", "C:\\TEMP\\LONGFO~1\\", 0},
      /* 3 */ {"Kelmora\\Kel.Exe", "Kelmora\\Kel.Exe", 0},  // relative stays relative
      /* 4 */ {"C:\\TEMP\\none.txt", nullptr, ERROR_FILE_NOT_FOUND},
      /* 5 */ {"C:\\None Here\\x.txt", nullptr, ERROR_PATH_NOT_FOUND},
  };
  for (const ShortCase& c : cases) {
    SCOPED_TRACE(c.path);
    char buf[MAX_PATH];
    std::memset(buf, 0xA5, sizeof buf);
    SetLastError(kSentinel);
    DWORD n = GetShortPathNameA(c.path, buf, sizeof buf);
    if (c.expected) {
      EXPECT_EQ(n, std::strlen(c.expected));
      EXPECT_STREQ(buf, c.expected);
      EXPECT_EQ(GetLastError(), kSentinel);
    } else {
      EXPECT_EQ(n, 0u);
      EXPECT_EQ(GetLastError(), c.error);
      EXPECT_EQ(static_cast<unsigned char>(buf[0]), 0xA5);
    }
  }
}

TEST_F(FsPaths, TempPathIsAnyTextOrAFailure) {
  const std::string longText = "C:\\" + std::string(300, 't') + "\\";
  emu::SetTempPath(longText);
  char buf[255];
  std::memset(buf, 0xA5, sizeof buf);
  EXPECT_EQ(GetTempPathA(sizeof buf, buf), longText.size() + 1);
  EXPECT_EQ(static_cast<unsigned char>(buf[0]), 0xA5);

  emu::FailTempPath(ERROR_ACCESS_DENIED);
  SetLastError(kSentinel);
  EXPECT_EQ(GetTempPathA(sizeof buf, buf), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

struct DriveCase {
  const char* root;
  UINT type;
};

TEST_F(FsPaths, DriveTypes) {
  emu::AddDrive('D', {.type = DRIVE_CDROM, .mediumPresent = false});
  emu::AddDrive('A', {.type = DRIVE_REMOVABLE});
  const DriveCase cases[] = {
      /* 0 */ {"C:\\", DRIVE_FIXED},
      /* 1 */ {"d:\\", DRIVE_CDROM},  // no medium: still a CD-ROM, and no box
      /* 2 */ {"A:\\", DRIVE_REMOVABLE},
      /* 3 */ {"Q:\\", DRIVE_NO_ROOT_DIR},
      /* 4 */ {"$:\\", DRIVE_NO_ROOT_DIR},
      /* 5 */ {"C:\\TEMP\\", DRIVE_NO_ROOT_DIR},  // not a root
      /* 6 */ {nullptr, DRIVE_FIXED},             // the current drive
  };
  for (const DriveCase& c : cases) {
    SCOPED_TRACE(c.root ? c.root : "NULL");
    SetLastError(kSentinel);
    EXPECT_EQ(GetDriveTypeA(c.root), c.type);
    EXPECT_EQ(GetLastError(), kSentinel);
  }
  EXPECT_EQ(emu::CriticalErrorBoxes(), 0);
}

struct FreeCase {
  const char* what;
  uint64_t freeBytes;
  DWORD bytesPerSector, sectorsPerCluster;
  DWORD freeClusters;
};

TEST_F(FsPaths, FreeSpaceInClustersBeyondFourGiB) {
  const FreeCase cases[] = {
      /* 0 */ {"1 GiB, 4 KiB clusters", 1ull << 30, 512, 8, 262144},
      /* 1 */ {"5 GiB, 4 KiB clusters", 5ull << 30, 512, 8, 1310720},
      /* 2 */ {"a part cluster does not count", 4096 * 3 + 4095, 512, 8, 3},
      /* 3 */ {"clamped to 32 bits", 1ull << 45, 512, 1, 0xFFFFFFFFu},
  };
  for (const FreeCase& c : cases) {
    SCOPED_TRACE(c.what);
    emu::AddDrive('E', {.freeBytes = c.freeBytes, .bytesPerSector = c.bytesPerSector,
                        .sectorsPerCluster = c.sectorsPerCluster});
    DWORD spc = kSentinel, bps = kSentinel, free = kSentinel, total = kSentinel;
    SetLastError(kSentinel);
    ASSERT_TRUE(GetDiskFreeSpaceA("E:\\", &spc, &bps, &free, &total));
    EXPECT_EQ(GetLastError(), kSentinel);
    EXPECT_EQ(spc, c.sectorsPerCluster);
    EXPECT_EQ(bps, c.bytesPerSector);
    EXPECT_EQ(free, c.freeClusters);
    EXPECT_GE(total, free);
  }
  DWORD spc = 0, bps = 0, free = 0, total = 0;
  ASSERT_TRUE(GetDiskFreeSpaceA(nullptr, &spc, &bps, &free, &total));  // the current drive
  EXPECT_EQ(uint64_t{spc} * bps * free, 1ull << 30);
  SetLastError(kSentinel);
  EXPECT_FALSE(GetDiskFreeSpaceA("Q:\\", &spc, &bps, &free, &total));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(FsPaths, DriveWithoutMediumIsNotReadyAndTheErrorModeHidesTheBox) {
  emu::AddDrive('D', {.type = DRIVE_CDROM, .freeBytes = 0, .mediumPresent = false, .readOnly = true});
  DWORD a = 0, b = 0, c = 0, d = 0;
  SetLastError(kSentinel);
  EXPECT_FALSE(GetDiskFreeSpaceA("D:\\", &a, &b, &c, &d));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_READY));
  EXPECT_EQ(emu::CriticalErrorBoxes(), 1);

  EXPECT_EQ(SetErrorMode(SEM_FAILCRITICALERRORS), 0u);
  EXPECT_EQ(emu::ErrorMode(), SEM_FAILCRITICALERRORS);
  SetLastError(kSentinel);
  EXPECT_EQ(CreateFileA("D:\\$$$.$$$", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_READY));
  SetLastError(kSentinel);
  EXPECT_EQ(GetFileAttributesA("D:\\Kel.Ex_"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_READY));
  EXPECT_EQ(emu::CriticalErrorBoxes(), 1);  // none while the mode is on
  EXPECT_EQ(SetErrorMode(0), SEM_FAILCRITICALERRORS);

  emu::SetMediumPresent('D', true);
  SetLastError(kSentinel);
  EXPECT_TRUE(GetDiskFreeSpaceA("D:\\", &a, &b, &c, &d));
  EXPECT_EQ(GetLastError(), kSentinel);
  EXPECT_EQ(c, 0u);
}

}  // namespace
