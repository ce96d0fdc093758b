// Conformance of the file calls: opening with dispositions, sharing, attributes, reading,
// writing, deleting and moving. Each case checks the result and the last error together.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "emu/core.h"
#include "emu/fs.h"
#include "platform/win32.h"

namespace {

constexpr DWORD kSentinel = 0xdeadbeef;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

class FsFiles : public ::testing::Test {
 protected:
  void SetUp() override { emu::Reset(); }

  static HANDLE Open(const char* name, DWORD access, DWORD share, DWORD disposition,
                     DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    return CreateFileA(name, access, share, nullptr, disposition, attributes, nullptr);
  }
};

struct OpenCase {
  const char* what;
  DWORD heldAccess, heldShare;  // the handle "another process" holds
  DWORD access, share;          // the open under test
  bool opens;
};

TEST_F(FsFiles, SharingDecidesASecondOpen) {
  const DWORD R = GENERIC_READ, W = GENERIC_WRITE, RW = R | W;
  const DWORD SR = FILE_SHARE_READ, SW = FILE_SHARE_WRITE, SRW = SR | SW;
  const OpenCase cases[] = {
      /* 0 */ {"readers sharing read", R, SR, R, SR, true},
      /* 1 */ {"held without sharing", R, 0, R, SRW, false},
      /* 2 */ {"writer wanted, held shares read only", R, SR, W, SRW, false},
      /* 3 */ {"held writer, new one does not share write", W, SRW, R, SR, false},
      /* 4 */ {"held writer sharing all, new shares write", W, SRW, R, SRW, true},
      /* 5 */ {"copy target open: write, no sharing", W, 0, R, SRW, false},
      /* 6 */ {"date stamp open: read and write sharing", RW, SRW, RW, SRW, true},
      /* 7 */ {"attribute-only open never clashes", 0, 0, 0, 0, true},
  };
  for (const OpenCase& c : cases) {
    SCOPED_TRACE(c.what);
    emu::Reset();
    emu::AddFile("C:\\Data\\Kel.JCF", "jcf");
    HANDLE held = emu::HoldOpen("C:\\Data\\Kel.JCF", c.heldAccess, c.heldShare);
    ASSERT_NE(held, nullptr);
    SetLastError(kSentinel);
    HANDLE h = Open("C:\\Data\\kel.jcf", c.access, c.share, OPEN_EXISTING);
    if (c.opens) {
      EXPECT_NE(h, INVALID_HANDLE_VALUE);
      EXPECT_EQ(GetLastError(), 0u);
      EXPECT_TRUE(CloseHandle(h));
    } else {
      EXPECT_EQ(h, INVALID_HANDLE_VALUE);
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    }
    EXPECT_TRUE(CloseHandle(held));
  }
}

struct CreateCase {
  const char* what;
  DWORD existing;  // attributes of the file already there; INVALID_FILE_ATTRIBUTES: none
  DWORD disposition;
  DWORD attributes;  // asked for
  DWORD error;       // 0: opens
  DWORD lastError;   // after a successful open
};

TEST_F(FsFiles, DispositionsAndProtectedFiles) {
  const DWORD NONE = INVALID_FILE_ATTRIBUTES;
  const DWORD RO = FILE_ATTRIBUTE_READONLY, HID = FILE_ATTRIBUTE_HIDDEN,
              SYS = FILE_ATTRIBUTE_SYSTEM, NORMAL = FILE_ATTRIBUTE_NORMAL;
  const CreateCase cases[] = {
      /* 0 */ {"create always, new", NONE, CREATE_ALWAYS, NORMAL, 0, 0},
      /* 1 */ {"create always, existing", 0, CREATE_ALWAYS, NORMAL, 0, ERROR_ALREADY_EXISTS},
      /* 2 */ {"create always, read-only", RO, CREATE_ALWAYS, NORMAL, ERROR_ACCESS_DENIED, 0},
      /* 3 */ {"create always, hidden not asked", HID, CREATE_ALWAYS, NORMAL, ERROR_ACCESS_DENIED, 0},
      /* 4 */ {"create always, hidden asked", HID, CREATE_ALWAYS, HID, 0, ERROR_ALREADY_EXISTS},
      /* 5 */ {"create always, system not asked", SYS, CREATE_ALWAYS, HID, ERROR_ACCESS_DENIED, 0},
      /* 6 */ {"create new, existing", 0, CREATE_NEW, NORMAL, ERROR_FILE_EXISTS, 0},
      /* 7 */ {"create new, new", NONE, CREATE_NEW, NORMAL, 0, 0},
      /* 8 */ {"open existing, missing", NONE, OPEN_EXISTING, NORMAL, ERROR_FILE_NOT_FOUND, 0},
      /* 9 */ {"open always, existing", 0, OPEN_ALWAYS, NORMAL, 0, ERROR_ALREADY_EXISTS},
      /* 10 */ {"open always, new", NONE, OPEN_ALWAYS, NORMAL, 0, 0},
      /* 11 */ {"open existing for writing, read-only", RO, OPEN_EXISTING, NORMAL, ERROR_ACCESS_DENIED, 0},
  };
  for (const CreateCase& c : cases) {
    SCOPED_TRACE(c.what);
    emu::Reset();
    if (c.existing != NONE) emu::AddFile("C:\\TEMP\\Kel.exe", "old", {.attributes = c.existing});
    SetLastError(kSentinel);
    HANDLE h = Open("C:\\TEMP\\Kel.exe", GENERIC_READ | GENERIC_WRITE, 0, c.disposition, c.attributes);
    if (c.error) {
      EXPECT_EQ(h, INVALID_HANDLE_VALUE);
      EXPECT_EQ(GetLastError(), c.error);
      if (c.existing != NONE) {
        EXPECT_EQ(emu::FileContent("C:\\TEMP\\Kel.exe"), "old");
      }
      continue;
    }
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), c.lastError);
    EXPECT_TRUE(CloseHandle(h));
    const bool emptied = c.disposition == CREATE_ALWAYS || c.existing == NONE;
    EXPECT_EQ(emu::FileContent("C:\\TEMP\\Kel.exe"), emptied ? "" : "old");
  }
}

TEST_F(FsFiles, NewFilesGetArchiveAndTheClock) {
  FILETIME now = emu::LocalTime(2026, 5, 1, 8, 0, 0);
  emu::SetClock(now);
  HANDLE h = Open("C:\\$$$.$$$", GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_EQ(GetFileAttributesA("C:\\$$$.$$$"), FILE_ATTRIBUTE_ARCHIVE);
  ASSERT_TRUE(emu::LastWrite("C:\\$$$.$$$"));
  EXPECT_EQ(emu::LastWrite("C:\\$$$.$$$")->dwLowDateTime, now.dwLowDateTime);
}

TEST_F(FsFiles, ReadWriteSeekAndSize) {
  emu::AddFile("C:\\a.txt", "0123456789");
  HANDLE h = Open("C:\\a.txt", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  char buf[16];
  std::memset(buf, 0xA5, sizeof buf);
  DWORD n = kSentinel;
  SetLastError(kSentinel);
  ASSERT_TRUE(ReadFile(h, buf, 4, &n, nullptr));
  EXPECT_EQ(n, 4u);
  EXPECT_EQ(std::string(buf, 4), "0123");
  EXPECT_EQ(static_cast<unsigned char>(buf[4]), 0xA5);
  EXPECT_EQ(GetLastError(), kSentinel);

  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_END), 10u);
  ASSERT_TRUE(WriteFile(h, "ab", 2, &n, nullptr));
  EXPECT_EQ(n, 2u);
  ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));
  EXPECT_EQ(n, 0u);  // at the end: success with nothing read
  DWORD high = kSentinel;
  EXPECT_EQ(GetFileSize(h, &high), 12u);
  EXPECT_EQ(high, 0u);

  SetLastError(kSentinel);
  EXPECT_EQ(SetFilePointer(h, -1, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), 131u);  // ERROR_NEGATIVE_SEEK
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_EQ(emu::FileContent("C:\\a.txt"), "0123456789ab");
}

TEST_F(FsFiles, AccessRightsOfAHandle) {
  emu::AddFile("C:\\a.txt", "abc");
  HANDLE reader = Open("C:\\a.txt", GENERIC_READ, kShareAll, OPEN_EXISTING);
  HANDLE writer = Open("C:\\a.txt", GENERIC_WRITE, kShareAll, OPEN_EXISTING);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  char buf[4];
  DWORD n = kSentinel;
  FILETIME t{};

  SetLastError(kSentinel);
  EXPECT_FALSE(WriteFile(reader, "x", 1, &n, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(n, 0u);
  SetLastError(kSentinel);
  EXPECT_FALSE(ReadFile(writer, buf, 1, &n, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  // Times are read with read rights and written with write rights.
  SetLastError(kSentinel);
  EXPECT_FALSE(GetFileTime(writer, nullptr, nullptr, &t));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  SetLastError(kSentinel);
  EXPECT_FALSE(SetFileTime(reader, nullptr, nullptr, &t));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  CloseHandle(reader);
  CloseHandle(writer);

  SetLastError(kSentinel);
  EXPECT_FALSE(ReadFile(reader, buf, 1, &n, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  SetLastError(kSentinel);
  EXPECT_FALSE(CloseHandle(reader));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(FsFiles, WritingStampsTheClockUntilTheTimeIsSet) {
  FILETIME old = emu::LocalTime(2001, 1, 1, 0, 0, 0);
  emu::AddFile("C:\\a.txt", "abc", {.lastWrite = old});
  FILETIME now = emu::Clock();
  HANDLE h = Open("C:\\a.txt", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING);
  DWORD n = 0;
  ASSERT_TRUE(WriteFile(h, "x", 1, &n, nullptr));
  FILETIME created{}, accessed{}, written{};
  ASSERT_TRUE(GetFileTime(h, &created, &accessed, &written));
  EXPECT_EQ(written.dwLowDateTime, now.dwLowDateTime);
  EXPECT_EQ(created.dwLowDateTime, old.dwLowDateTime);

  ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &old));
  ASSERT_TRUE(WriteFile(h, "y", 1, &n, nullptr));
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_EQ(emu::LastWrite("C:\\a.txt")->dwLowDateTime, old.dwLowDateTime);
  EXPECT_EQ(emu::LastWrite("C:\\a.txt")->dwHighDateTime, old.dwHighDateTime);
}

struct DeleteCase {
  const char* what;
  DWORD attributes;
  DWORD heldShare;  // INVALID: not held
  bool folder;
  DWORD error;
};

TEST_F(FsFiles, DeleteRules) {
  const DWORD NOT_HELD = INVALID_FILE_ATTRIBUTES;
  const DeleteCase cases[] = {
      /* 0 */ {"plain file", 0, NOT_HELD, false, 0},
      /* 1 */ {"read-only", FILE_ATTRIBUTE_READONLY, NOT_HELD, false, ERROR_ACCESS_DENIED},
      /* 2 */ {"hidden and system", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, NOT_HELD, false, 0},
      /* 3 */ {"held without delete sharing", 0, FILE_SHARE_READ | FILE_SHARE_WRITE, false,
               ERROR_SHARING_VIOLATION},
      /* 4 */ {"held with delete sharing", 0, kShareAll, false, 0},
      /* 5 */ {"read-only and held: sharing first", FILE_ATTRIBUTE_READONLY, FILE_SHARE_READ, false,
               ERROR_SHARING_VIOLATION},
      /* 6 */ {"a folder", 0, NOT_HELD, true, ERROR_ACCESS_DENIED},
  };
  for (const DeleteCase& c : cases) {
    SCOPED_TRACE(c.what);
    emu::Reset();
    if (c.folder) {
      emu::AddFolder("C:\\x\\Probe");
    } else {
      emu::AddFile("C:\\x\\Probe", "data", {.attributes = c.attributes});
    }
    HANDLE held = c.heldShare == NOT_HELD ? nullptr : emu::HoldOpen("C:\\x\\Probe", GENERIC_READ, c.heldShare);
    SetLastError(kSentinel);
    BOOL ok = DeleteFileA("C:\\x\\probe");
    EXPECT_EQ(ok, c.error == 0);
    EXPECT_EQ(GetLastError(), c.error ? c.error : kSentinel);
    EXPECT_EQ(emu::Exists("C:\\x\\Probe"), c.error != 0);
    if (held) CloseHandle(held);
  }
  SetLastError(kSentinel);
  EXPECT_FALSE(DeleteFileA("C:\\x\\gone"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(FsFiles, AttributesAreSetEvenOnAHeldFile) {
  emu::AddFile("C:\\a.txt", "", {.attributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN});
  HANDLE held = emu::HoldOpen("C:\\a.txt", GENERIC_READ, 0);
  SetLastError(kSentinel);
  EXPECT_TRUE(SetFileAttributesA("C:\\a.txt", 0));
  EXPECT_EQ(GetLastError(), kSentinel);
  EXPECT_EQ(GetFileAttributesA("C:\\a.txt"), FILE_ATTRIBUTE_NORMAL);
  CloseHandle(held);
  SetLastError(kSentinel);
  EXPECT_FALSE(SetFileAttributesA("C:\\none.txt", 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(GetFileAttributesA("C:\\TEMP"), FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(FsFiles, MoveOntoItselfTakesTheNewSpelling) {
  emu::AddFile("C:\\Data\\autoload.lst", "x");
  emu::AddFile("C:\\Data\\Other.lst", "y");
  SetLastError(kSentinel);
  EXPECT_TRUE(MoveFileA("C:\\Data\\autoload.lst", "C:\\Data\\AutoLoad.Lst"));
  EXPECT_EQ(GetLastError(), kSentinel);
  WIN32_FIND_DATAA fd;
  HANDLE s = FindFirstFileA("C:\\Data\\autoload.lst", &fd);
  ASSERT_NE(s, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(fd.cFileName, "AutoLoad.Lst");
  FindClose(s);

  SetLastError(kSentinel);
  EXPECT_FALSE(MoveFileA("C:\\Data\\AutoLoad.Lst", "C:\\Data\\other.LST"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  SetLastError(kSentinel);
  EXPECT_FALSE(MoveFileA("C:\\Data\\none", "C:\\Data\\x"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(emu::FileContent("C:\\Data\\AutoLoad.Lst"), "x");
}

TEST_F(FsFiles, ReadOnlyMediumRefusesCreationAndWriting) {
  emu::AddDrive('D', {.type = DRIVE_CDROM, .freeBytes = 0, .readOnly = true});
  emu::AddFile("D:\\Kel.Ex_", "engine");
  SetLastError(kSentinel);
  EXPECT_EQ(Open("D:\\$$$.$$$", GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  SetLastError(kSentinel);
  EXPECT_EQ(Open("D:\\Kel.Ex_", GENERIC_WRITE, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  HANDLE h = Open("D:\\Kel.Ex_", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
}

TEST_F(FsFiles, AWriteThatDoesNotFitFailsWhole) {
  emu::SetDriveFreeBytes('C', 5);
  HANDLE h = Open("C:\\$$$.$$$", GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD n = kSentinel;
  SetLastError(kSentinel);
  EXPECT_FALSE(WriteFile(h, "$$$.$$$", 7, &n, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
  EXPECT_EQ(n, 0u);
  EXPECT_TRUE(WriteFile(h, "$$$.$", 5, &n, nullptr));
  EXPECT_EQ(emu::DriveFreeBytes('C'), 0u);
  // Overwriting what is there needs no new space.
  SetFilePointer(h, 0, nullptr, FILE_BEGIN);
  EXPECT_TRUE(WriteFile(h, "abcde", 5, &n, nullptr));
  CloseHandle(h);
  EXPECT_TRUE(DeleteFileA("C:\\$$$.$$$"));
  EXPECT_EQ(emu::DriveFreeBytes('C'), 5u);
}

TEST_F(FsFiles, FaultInjectionFailsTheChosenCall) {
  emu::AddFile("C:\\a.txt", "abc");
  emu::FailCall("CreateFileA", 2, ERROR_TOO_MANY_OPEN_FILES);
  HANDLE first = Open("C:\\a.txt", GENERIC_READ, kShareAll, OPEN_EXISTING);
  EXPECT_NE(first, INVALID_HANDLE_VALUE);
  SetLastError(kSentinel);
  EXPECT_EQ(Open("C:\\a.txt", GENERIC_READ, kShareAll, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TOO_MANY_OPEN_FILES));
  CloseHandle(first);

  emu::FailCall("DeleteFileA", 1, ERROR_ACCESS_DENIED);
  SetLastError(kSentinel);
  EXPECT_FALSE(DeleteFileA("C:\\a.txt"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(emu::Exists("C:\\a.txt"));  // a failed call leaves the world alone
}

}  // namespace
