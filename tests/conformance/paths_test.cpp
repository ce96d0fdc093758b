// The buffer-size protocol of the calls that hand back a path.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "tests/conformance/world.h"

namespace {

class PathsTest : public ::testing::Test {
 protected:
  conf::World world;
};

using PathCall = std::function<DWORD(char* buffer, DWORD size)>;

// Checks one call's protocol: a large buffer gets the path and its length; a buffer one short
// gets nothing and the size needed with the zero; an exact one gets the path again.
void CheckSizeProtocol(const PathCall& call) {
  char full[MAX_PATH + 1];
  std::memset(full, 0xA5, sizeof full);
  SetLastError(0xdeadbeef);
  DWORD length = call(full, sizeof full);
  ASSERT_GT(length, 0u) << GetLastError();
  ASSERT_LT(length, sizeof full);
  EXPECT_EQ(GetLastError(), 0xdeadbeefu);
  EXPECT_EQ(std::strlen(full), length);
  const std::string path(full, length);

  for (DWORD size : {length, DWORD{1}}) {
    SCOPED_TRACE("buffer of " + std::to_string(size));
    char small[MAX_PATH + 1];
    std::memset(small, 0xA5, sizeof small);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(call(small, size), length + 1);
    EXPECT_EQ(GetLastError(), 0xdeadbeefu);
    for (size_t i = 0; i < sizeof small; ++i) {
      ASSERT_EQ(static_cast<unsigned char>(small[i]), 0xA5u) << "byte " << i << " written";
    }
  }

  char exact[MAX_PATH + 1];
  std::memset(exact, 0xA5, sizeof exact);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(call(exact, length + 1), length);
  EXPECT_EQ(GetLastError(), 0xdeadbeefu);
  EXPECT_EQ(std::string(exact), path);
  EXPECT_EQ(static_cast<unsigned char>(exact[length + 1]), 0xA5u);
}

TEST_F(PathsTest, TempPathSizeProtocol) {
  CheckSizeProtocol([](char* buffer, DWORD size) { return GetTempPathA(size, buffer); });
  char path[MAX_PATH];
  DWORD n = GetTempPathA(sizeof path, path);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(path[n - 1], '\\') << "the temp path ends with a backslash";
}

TEST_F(PathsTest, ShortPathSizeProtocol) {
  world.AddFile("Long File Name.txt", "x");
  const std::string longPath = world.Path("Long File Name.txt");
  CheckSizeProtocol([&](char* buffer, DWORD size) {
    return GetShortPathNameA(longPath.c_str(), buffer, size);
  });
}

TEST_F(PathsTest, CurrentDirectorySizeProtocol) {
  std::string folder = world.Root().substr(0, world.Root().size() - 1);
  ASSERT_TRUE(SetCurrentDirectoryA(world.Root().c_str()));
  CheckSizeProtocol([](char* buffer, DWORD size) { return GetCurrentDirectoryA(size, buffer); });
  char current[MAX_PATH];
  DWORD n = GetCurrentDirectoryA(sizeof current, current);
  EXPECT_EQ(std::string(current, n), folder) << "kept without its trailing backslash";
}

TEST_F(PathsTest, ShortPathOfMissingEntryFails) {
  struct Row {
    const char* name;
    DWORD error;
  };
  const Row rows[] = {
      /* 0 */ {"Missing.txt", ERROR_FILE_NOT_FOUND},
      // Wine 8.0 walks the path entry by entry and reports any missing one as a missing file;
      // the emulation reports a missing folder as Windows does for the other path calls
      // (Windows itself is not consistent here across versions).
      /* 1 */ {"Missing\\Kel.exe",
               conf::WindowsOrWine<DWORD>(ERROR_PATH_NOT_FOUND, ERROR_FILE_NOT_FOUND)},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(std::string("row ") + std::to_string(i) + ": " + rows[i].name);
    char buffer[MAX_PATH];
    std::memset(buffer, 0xA5, sizeof buffer);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetShortPathNameA(world.Path(rows[i].name).c_str(), buffer, sizeof buffer), 0u);
    EXPECT_EQ(GetLastError(), rows[i].error);
  }
}

TEST_F(PathsTest, SetCurrentDirectoryOfMissingFolderFails) {
  struct Row {
    const char* name;
    DWORD error;
  };
  const Row rows[] = {
      /* 0 */ {"Missing", ERROR_FILE_NOT_FOUND},
      /* 1 */ {"Missing\\Deeper", ERROR_PATH_NOT_FOUND},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(std::string("row ") + std::to_string(i) + ": " + rows[i].name);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetCurrentDirectoryA(world.Path(rows[i].name).c_str()));
    EXPECT_EQ(GetLastError(), rows[i].error);
  }
}

}  // namespace
