// Searching, opening, deleting and renaming files in a scratch folder.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "tests/conformance/world.h"

namespace {

using conf::ScopedHandle;

class FilesTest : public ::testing::Test {
 protected:
  // A medium's folder as the launcher sees it, plus a subfolder and names without a dot.
  void AddMedium() {
    world.AddFile("Kel.Ex_", "engine");
    world.AddFile("Install.Msg", "notice");
    world.AddFile("Common.801", "common");
    world.AddFile("Lang01.801", "lang");
    world.AddFile("LangTwo", "lang, no dot");
    world.AddFile("README", "no dot");
    world.AddFolder("Sub");
  }

  // Every name a search gives, or the error that ended it early.
  std::set<std::string> Search(const std::string& pattern) {
    std::set<std::string> names;
    WIN32_FIND_DATAA data;
    SetLastError(0xdeadbeef);
    ScopedHandle find(FindFirstFileA(world.Path(pattern).c_str(), &data), ScopedHandle::Find);
    if (!find.valid()) {
      ADD_FAILURE() << "FindFirstFileA failed, error " << GetLastError();
      return names;
    }
    do {
      names.insert(data.cFileName);
      SetLastError(0xdeadbeef);
    } while (FindNextFileA(find.get(), &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    return names;
  }

  HANDLE Open(const std::string& name, DWORD access, DWORD share, DWORD disposition) {
    return CreateFileA(world.Path(name).c_str(), access, share, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  }

  conf::World world;
};

TEST_F(FilesTest, SearchPatternsListTheMatchingNames) {
  AddMedium();
  struct Row {
    const char* pattern;
    std::set<std::string> names;
  };
  const Row rows[] = {
      /* 0 */ {"*.*",
               {".", "..", "Kel.Ex_", "Install.Msg", "Common.801", "Lang01.801", "LangTwo",
                "README", "Sub"}},
      /* 1 */ {"Lang*.*", {"Lang01.801", "LangTwo"}},
      /* 2 */ {"lang*.801", {"Lang01.801"}},
      /* 3 */ {"*.801", {"Common.801", "Lang01.801"}},
      /* 4 */ {"kel.ex?", {"Kel.Ex_"}},
      /* 5 */ {"Sub\\*.*", {".", ".."}},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(std::string("row ") + std::to_string(i) + ": " + rows[i].pattern);
    EXPECT_EQ(Search(rows[i].pattern), rows[i].names);
  }
}

TEST_F(FilesTest, DriveRootHasNoDotEntries) {
  const std::string root = world.Root().substr(0, 3);  // "C:\\"
  WIN32_FIND_DATAA data;
  SetLastError(0xdeadbeef);
  ScopedHandle find(FindFirstFileA((root + "*").c_str(), &data), ScopedHandle::Find);
  ASSERT_TRUE(find.valid()) << GetLastError();
  std::set<std::string> names;
  do {
    names.insert(data.cFileName);
  } while (FindNextFileA(find.get(), &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  EXPECT_FALSE(names.empty());
  EXPECT_EQ(names.count("."), 0u);
  EXPECT_EQ(names.count(".."), 0u);
}

TEST_F(FilesTest, SearchAndOpenHandleReportTheLastWriteTimeAsSet) {
  // An odd second and milliseconds: nothing on the way may round to DOS precision.
  const FILETIME written = conf::UtcFileTime(2001, 2, 3, 4, 5, 7, 120);
  world.AddFile("Kel.JCF", "config", 0, written);
  WIN32_FIND_DATAA data;
  ScopedHandle find(FindFirstFileA(world.Path("Kel.JCF").c_str(), &data), ScopedHandle::Find);
  ASSERT_TRUE(find.valid()) << GetLastError();
  EXPECT_EQ(conf::Ticks(data.ftLastWriteTime), conf::Ticks(written));

  ScopedHandle file(Open("Kel.JCF", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
  ASSERT_TRUE(file.valid()) << GetLastError();
  FILETIME lastWrite{0xA5A5A5A5, 0xA5A5A5A5};
  SetLastError(0xdeadbeef);
  EXPECT_TRUE(GetFileTime(file.get(), nullptr, nullptr, &lastWrite));
  EXPECT_EQ(GetLastError(), 0xdeadbeefu);
  EXPECT_EQ(conf::Ticks(lastWrite), conf::Ticks(written));
}

TEST_F(FilesTest, SearchReportsAttributesAndSize) {
  world.AddFile("Kel.JCF", "12345", FILE_ATTRIBUTE_READONLY);
  world.AddFolder("Sub");
  struct Row {
    const char* name;
    DWORD set;
    DWORD clear;
    DWORD size;
  };
  const Row rows[] = {
      /* 0 */ {"Kel.JCF", FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_DIRECTORY, 5},
      /* 1 */ {"Sub", FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_READONLY, 0},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    WIN32_FIND_DATAA data;
    std::memset(&data, 0xA5, sizeof data);
    SetLastError(0xdeadbeef);
    ScopedHandle find(FindFirstFileA(world.Path(rows[i].name).c_str(), &data),
                      ScopedHandle::Find);
    ASSERT_TRUE(find.valid()) << GetLastError();
    EXPECT_STREQ(data.cFileName, rows[i].name);
    EXPECT_EQ(data.dwFileAttributes & rows[i].set, rows[i].set);
    EXPECT_EQ(data.dwFileAttributes & rows[i].clear, 0u);
    EXPECT_EQ(data.nFileSizeLow, rows[i].size);
    EXPECT_EQ(data.nFileSizeHigh, 0u);
  }
}

TEST_F(FilesTest, SearchWithoutMatchFails) {
  AddMedium();
  struct Row {
    const char* pattern;
    DWORD error;
  };
  const Row rows[] = {
      /* 0 */ {"Nothing*.xyz", ERROR_FILE_NOT_FOUND},
      /* 1 */ {"Kel.Exe", ERROR_FILE_NOT_FOUND},
      /* 2 */ {"Missing\\*.*", ERROR_PATH_NOT_FOUND},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(std::string("row ") + std::to_string(i) + ": " + rows[i].pattern);
    WIN32_FIND_DATAA data;
    SetLastError(0xdeadbeef);
    ScopedHandle find(FindFirstFileA(world.Path(rows[i].pattern).c_str(), &data),
                      ScopedHandle::Find);
    EXPECT_EQ(find.get(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), rows[i].error);
  }
}

TEST_F(FilesTest, SecondOpenThatConflictsIsASharingViolation) {
  const DWORD R = GENERIC_READ, W = GENERIC_WRITE;
  const DWORD SR = FILE_SHARE_READ, SW = FILE_SHARE_WRITE;
  struct Row {
    DWORD firstAccess, firstShare, secondAccess, secondShare;
    bool opens;
  };
  const Row rows[] = {
      /* 0 */ {R, SR, R, SR, true},
      /* 1 */ {R, SR, W, SR | SW, false},  // the first does not share writing
      /* 2 */ {W, SR | SW, R, SR, false},  // the second does not allow the first's writing
      /* 3 */ {R, 0, R, SR | SW, false},
      /* 4 */ {R | W, SR | SW, R | W, SR | SW, true},
      /* 5 */ {R, SR | SW, W, SR | SW, true},
  };
  world.AddFile("Kel.JCF", "config");
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    const Row& row = rows[i];
    ScopedHandle first(Open("Kel.JCF", row.firstAccess, row.firstShare, OPEN_EXISTING));
    ASSERT_TRUE(first.valid()) << GetLastError();
    SetLastError(0xdeadbeef);
    ScopedHandle second(Open("Kel.JCF", row.secondAccess, row.secondShare, OPEN_EXISTING));
    if (row.opens) {
      EXPECT_TRUE(second.valid());
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS)) << "a successful open clears it";
    } else {
      EXPECT_EQ(second.get(), INVALID_HANDLE_VALUE);
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    }
  }
}

TEST_F(FilesTest, CreateDispositionsOnExistingAndMissingFiles) {
  world.AddFile("Kel.exe", "old engine");
  world.AddFile("Locked.exe", "read-only", FILE_ATTRIBUTE_READONLY);
  struct Row {
    const char* name;
    DWORD disposition;
    bool opens;
    DWORD error;  // the last error afterwards, success or not
  };
  const Row rows[] = {
      /* 0 */ {"Kel.exe", CREATE_ALWAYS, true, ERROR_ALREADY_EXISTS},
      /* 1 */ {"Kel.exe", OPEN_ALWAYS, true, ERROR_ALREADY_EXISTS},
      /* 2 */ {"Kel.exe", CREATE_NEW, false, ERROR_FILE_EXISTS},
      /* 3 */ {"New.exe", CREATE_ALWAYS, true, ERROR_SUCCESS},
      /* 4 */ {"New2.exe", OPEN_ALWAYS, true, ERROR_SUCCESS},
      /* 5 */ {"Locked.exe", CREATE_ALWAYS, conf::WineRunsAsUnixRoot(),
               conf::WineRunsAsUnixRoot() ? DWORD{ERROR_ALREADY_EXISTS} : DWORD{ERROR_ACCESS_DENIED}},
      /* 6 */ {"Missing.exe", OPEN_EXISTING, false, ERROR_FILE_NOT_FOUND},
      /* 7 */ {"Missing\\Kel.exe", CREATE_ALWAYS, false, ERROR_PATH_NOT_FOUND},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(std::string("row ") + std::to_string(i) + ": " + rows[i].name);
    SetLastError(0xdeadbeef);
    ScopedHandle file(Open(rows[i].name, GENERIC_WRITE, 0, rows[i].disposition));
    EXPECT_EQ(GetLastError(), rows[i].error);
    EXPECT_EQ(file.valid(), rows[i].opens);
  }
}

TEST_F(FilesTest, CreateAlwaysEmptiesTheExistingFile) {
  world.AddFile("Kel.exe", "old engine");
  ScopedHandle file(Open("Kel.exe", GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS));
  ASSERT_TRUE(file.valid());
  DWORD high = 0xA5A5A5A5;
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetFileSize(file.get(), &high), 0u);
  EXPECT_EQ(high, 0u);
}

TEST_F(FilesTest, DeleteRefusals) {
  world.AddFile("Locked.jcf", "x", FILE_ATTRIBUTE_READONLY);
  world.AddFile("Held.jcf", "x");
  world.AddFile("Plain.jcf", "x");
  ScopedHandle held(Open("Held.jcf", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         OPEN_EXISTING));
  ASSERT_TRUE(held.valid());
  struct Row {
    const char* name;
    bool deletes;
    DWORD error;
  };
  const Row rows[] = {
      /* 0 */ {"Locked.jcf", false, ERROR_ACCESS_DENIED},
      /* 1 */ {"Held.jcf", false, ERROR_SHARING_VIOLATION},  // held without FILE_SHARE_DELETE
      /* 2 */ {"Missing.jcf", false, ERROR_FILE_NOT_FOUND},
      /* 3 */ {"Missing\\Plain.jcf", false, ERROR_PATH_NOT_FOUND},
      /* 4 */ {"Plain.jcf", true, 0xdeadbeef},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(std::string("row ") + std::to_string(i) + ": " + rows[i].name);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(DeleteFileA(world.Path(rows[i].name).c_str()) != FALSE, rows[i].deletes);
    EXPECT_EQ(GetLastError(), rows[i].error);
    DWORD attributes = GetFileAttributesA(world.Path(rows[i].name).c_str());
    if (rows[i].error != ERROR_FILE_NOT_FOUND && rows[i].error != ERROR_PATH_NOT_FOUND) {
      EXPECT_EQ(attributes == INVALID_FILE_ATTRIBUTES, rows[i].deletes);
    }
  }
}

TEST_F(FilesTest, AttributeCallsOnMissingEntries) {
  struct Row {
    const char* name;
    DWORD error;
  };
  const Row rows[] = {
      /* 0 */ {"Missing.jcf", ERROR_FILE_NOT_FOUND},
      /* 1 */ {"Missing\\Kel.jcf", ERROR_PATH_NOT_FOUND},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(std::string("row ") + std::to_string(i) + ": " + rows[i].name);
    const std::string path = world.Path(rows[i].name);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), rows[i].error);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetLastError(), rows[i].error);
  }
}

TEST_F(FilesTest, ReadAtEndAndWriteWithoutWriteAccess) {
  world.AddFile("Kel.JCF", "abc");
  ScopedHandle file(Open("Kel.JCF", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
  ASSERT_TRUE(file.valid()) << GetLastError();
  char buffer[8];
  std::memset(buffer, 0xA5, sizeof buffer);
  DWORD got = 0xA5A5A5A5;
  ASSERT_TRUE(ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr));
  EXPECT_EQ(got, 3u);
  EXPECT_EQ(std::string(buffer, 3), "abc");
  EXPECT_EQ(static_cast<unsigned char>(buffer[3]), 0xA5u);

  // At the end a read succeeds with nothing read.
  got = 0xA5A5A5A5;
  SetLastError(0xdeadbeef);
  EXPECT_TRUE(ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr));
  EXPECT_EQ(GetLastError(), 0xdeadbeefu);
  EXPECT_EQ(got, 0u);

  DWORD written = 0xA5A5A5A5;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(WriteFile(file.get(), "x", 1, &written, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(written, 0u);
}

TEST_F(FilesTest, MoveOntoItsOwnName) {
  world.AddFile("AutoLoad.Lst", "list");
  struct Row {
    const char* target;
  };
  const Row rows[] = {
      /* 0 */ {"AutoLoad.Lst"},
      /* 1 */ {"AUTOLOAD.LST"},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(std::string("row ") + std::to_string(i) + ": " + rows[i].target);
    SetLastError(0xdeadbeef);
    BOOL moved = MoveFileA(world.Path("AutoLoad.Lst").c_str(), world.Path(rows[i].target).c_str());
    EXPECT_TRUE(moved);
    EXPECT_EQ(GetLastError(), 0xdeadbeefu);
    EXPECT_NE(GetFileAttributesA(world.Path("AutoLoad.Lst").c_str()), INVALID_FILE_ATTRIBUTES);
  }
}

TEST_F(FilesTest, MoveOntoAnotherExistingFileIsRefused) {
  world.AddFile("A.txt", "a");
  world.AddFile("B.txt", "b");
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(MoveFileA(world.Path("A.txt").c_str(), world.Path("B.txt").c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
}

}  // namespace
