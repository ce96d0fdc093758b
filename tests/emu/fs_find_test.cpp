// Conformance of FindFirstFileA / FindNextFileA and of short names: masks as Windows matches
// them, "." and "..", order, errors, and names that only their short form matches.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emu/core.h"
#include "emu/fs.h"
#include "platform/win32.h"

namespace {

constexpr DWORD kSentinel = 0xdeadbeef;

class FsFind : public ::testing::Test {
 protected:
  void SetUp() override { emu::Reset(); }

  // Every name a search lists, in order; the last error after the end is checked too.
  static std::vector<std::string> List(const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(pattern.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
      names.push_back(fd.cFileName);
    } while (FindNextFileA(h, &fd));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(h));
    return names;
  }
};

using Names = std::vector<std::string>;

struct MaskCase {
  const char* mask;
  Names expected;
};

TEST_F(FsFind, MasksMatchAsWindowsMatchesThem) {
  emu::AddDrive('D', {.type = DRIVE_CDROM, .freeBytes = 0, .readOnly = true});
  for (const char* name : {"Lang801.txt", "Langs", "Install.Msg", "Common.801", "a.b.txt",
                           "Kel.Ex_", "readme"}) {
    emu::AddFile(std::string("D:\\m\\") + name, "", {});
  }
  const MaskCase cases[] = {
      /* 0 */ {"Lang*.*", {"Lang801.txt", "Langs"}},
      /* 1 */ {"*.*", {".", "..", "a.b.txt", "Common.801", "Install.Msg", "Kel.Ex_", "Lang801.txt", "Langs", "readme"}},
      /* 2 */ {"*", {".", "..", "a.b.txt", "Common.801", "Install.Msg", "Kel.Ex_", "Lang801.txt", "Langs", "readme"}},
      /* 3 */ {"*.txt", {"a.b.txt", "Lang801.txt"}},
      /* 4 */ {"*.801", {"Common.801"}},
      /* 5 */ {"KEL.EX?", {"Kel.Ex_"}},
      /* 6 */ {"lang???.*", {"Lang801.txt", "Langs"}},  // "?" may match nothing at the end; Wine differs
      /* 7 */ {"*s", {"Langs"}},
      /* 8 */ {"kel.ex_", {"Kel.Ex_"}},
  };
  for (const MaskCase& c : cases) {
    SCOPED_TRACE(c.mask);
    EXPECT_EQ(List(std::string("D:\\m\\") + c.mask), c.expected);
  }
}

TEST_F(FsFind, ShortNamesAreMadeAndMatched) {
  emu::AddFile("C:\\Program Files\\Index.html");
  emu::AddFolder("C:\\Programs Old");
  emu::AddFile("C:\\Program Files\\Index.htmx");
  EXPECT_EQ(emu::ShortName("C:\\Program Files"), "PROGRA~1");
  EXPECT_EQ(emu::ShortName("C:\\Programs Old"), "PROGRA~2");
  EXPECT_EQ(emu::ShortName("C:\\Program Files\\Index.html"), "INDEX~1.HTM");
  EXPECT_EQ(emu::ShortName("C:\\Program Files\\Index.htmx"), "INDEX~2.HTM");
  // "*.htm" takes both through their short names; cAlternateFileName carries them.
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA("C:\\progra~1\\*.htm", &fd);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(fd.cFileName, "Index.html");
  EXPECT_STREQ(fd.cAlternateFileName, "INDEX~1.HTM");
  FindClose(h);
  EXPECT_EQ(List("C:\\PROGRA~2"), Names{"Programs Old"});
  EXPECT_EQ(List("C:\\TEMP"), Names{"TEMP"});  // an 8.3 name has no second name
}

TEST_F(FsFind, DotsComeFirstAndOnlyBelowARoot) {
  emu::AddFile("C:\\z.txt");
  emu::AddFile("C:\\TEMP\\_b");
  emu::AddFile("C:\\TEMP\\a");
  Names root = List("C:\\*");
  EXPECT_EQ(root, (Names{"TEMP", "z.txt"}));
  // Upper-case ordinal order, as NTFS keeps it: "_" (0x5F) after the letters.
  EXPECT_EQ(List("C:\\TEMP\\*"), (Names{".", "..", "a", "_b"}));
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA("C:\\TEMP\\*", &fd);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(fd.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
  FindClose(h);
}

struct FailCase {
  const char* pattern;
  DWORD error;
};

TEST_F(FsFind, FailuresSayWhatIsMissing) {
  emu::AddFile("C:\\TEMP\\a.txt");
  const FailCase cases[] = {
      /* 0 */ {"C:\\TEMP\\*.exe", ERROR_FILE_NOT_FOUND},
      /* 1 */ {"C:\\TEMP\\b.txt", ERROR_FILE_NOT_FOUND},
      /* 2 */ {"C:\\", ERROR_FILE_NOT_FOUND},
      /* 3 */ {"C:\\none\\", ERROR_PATH_NOT_FOUND},
      /* 4 */ {"C:\\none\\*.*", ERROR_PATH_NOT_FOUND},
      /* 5 */ {"none\\a.txt", ERROR_PATH_NOT_FOUND},
      /* 6 */ {"C:\\TEMP\\a.txt\\*", ERROR_PATH_NOT_FOUND},
      /* 7 */ {"Q:\\*", ERROR_PATH_NOT_FOUND},
      /* 8 */ {"C:\\TEMP\\a|b", ERROR_INVALID_NAME},
  };
  for (const FailCase& c : cases) {
    SCOPED_TRACE(c.pattern);
    WIN32_FIND_DATAA fd;
    SetLastError(kSentinel);
    EXPECT_EQ(FindFirstFileA(c.pattern, &fd), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), c.error);
  }
  EXPECT_EQ(emu::OpenHandleCount(), 0u);
}

TEST_F(FsFind, HandleKindsAreNotMixed) {
  emu::AddFile("C:\\a.txt");
  WIN32_FIND_DATAA fd;
  HANDLE search = FindFirstFileA("C:\\*", &fd);
  HANDLE file = CreateFileA("C:\\a.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  SetLastError(kSentinel);
  EXPECT_FALSE(CloseHandle(search));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  SetLastError(kSentinel);
  EXPECT_FALSE(FindClose(file));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_TRUE(FindClose(search));
  EXPECT_TRUE(CloseHandle(file));
  EXPECT_EQ(emu::OpenHandleCount(), 0u);
}

TEST_F(FsFind, ListingSurvivesDeletionOnALargeFolder) {
  // Deleting every entry as it is listed is what a clean-up loop does; each one must still
  // come exactly once.
  const int count = 5000;
  for (int i = 0; i < count; ++i) {
    emu::AddFile("C:\\big\\Module" + std::to_string(100000 + i) + ".801");
  }
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA("C:\\big\\*.801", &fd);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  int seen = 0;
  std::string previous;
  do {
    std::string name = fd.cFileName;
    EXPECT_LT(previous, name);
    previous = name;
    ASSERT_TRUE(DeleteFileA(("C:\\big\\" + name).c_str())) << name;
    ++seen;
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  EXPECT_EQ(seen, count);
}

}  // namespace
