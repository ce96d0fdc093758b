// Opening keys, reading values and enumerating and deleting keys in a scratch key.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

#include "tests/conformance/world.h"

namespace {

using conf::ScopedKey;

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    world.SetRegValue("", "DisplayName", REG_SZ, std::string("Kelmora 2.0\0", 12));
    world.SetRegValue("", "NoZero", REG_SZ, "abc");
    world.SetRegValue("", "Count", REG_DWORD, std::string("\x07\0\0\0", 4));
    world.AddRegKey("Alpha");
    world.AddRegKey("Beta\\Deep");
    world.SetRegValue("Alpha", "", REG_SZ, std::string("txtfile\0", 8));
  }

  LSTATUS OpenScratch(ScopedKey& key, REGSAM access = KEY_READ) {
    return RegOpenKeyExA(HKEY_CURRENT_USER, world.RegKey().c_str(), 0, access, key.out());
  }

  conf::World world;
};

TEST_F(RegistryTest, OpenOfMissingKeyIsFileNotFound) {
  const char* rows[] = {/* 0 */ "Missing", /* 1 */ "Missing\\Deeper", /* 2 */ "Alpha\\Missing"};
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(std::string("row ") + std::to_string(i) + ": " + rows[i]);
    ScopedKey key;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, world.RegPath(rows[i]).c_str(), 0, KEY_READ,
                            key.out()),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetLastError(), 0xdeadbeefu) << "registry calls return their error";
  }
}

TEST_F(RegistryTest, OpenIsCaseInsensitive) {
  std::string upper = world.RegPath("ALPHA");
  ScopedKey key;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, upper.c_str(), 0, KEY_READ, key.out()),
            ERROR_SUCCESS);
}

TEST_F(RegistryTest, QueryValueSizeProtocol) {
  ScopedKey key;
  ASSERT_EQ(OpenScratch(key), ERROR_SUCCESS);
  struct Row {
    const char* name;
    DWORD bufferSize;  // 0: no buffer at all
    LSTATUS status;
    std::optional<DWORD> type;  // nullopt: not pinned
    DWORD size;                 // what the size comes back as
  };
  const Row rows[] = {
      /* 0 */ {"DisplayName", 0, ERROR_SUCCESS, REG_SZ, 12},
      /* 1 */ {"DisplayName", 5, ERROR_MORE_DATA, REG_SZ, 12},
      /* 2 */ {"DisplayName", 12, ERROR_SUCCESS, REG_SZ, 12},
      /* 3 */ {"DisplayName", 64, ERROR_SUCCESS, REG_SZ, 12},
      /* 4 */ {"Count", 0, ERROR_SUCCESS, REG_DWORD, 4},
      /* 5 */ {"Count", 2, ERROR_MORE_DATA, REG_DWORD, 4},
      // A missing value leaves the size alone; the type is not pinned: Wine 8.0 sets it to 0,
      // the emulation leaves it untouched.
      /* 6 */ {"Missing", 64, ERROR_FILE_NOT_FOUND, std::nullopt, 64},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(std::string("row ") + std::to_string(i) + ": " + rows[i].name);
    const Row& row = rows[i];
    BYTE buffer[64];
    std::memset(buffer, 0xA5, sizeof buffer);
    DWORD type = 0xA5A5A5A5;
    DWORD size = row.bufferSize;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(RegQueryValueExA(key.get(), row.name, nullptr, &type,
                               row.bufferSize ? buffer : nullptr, &size),
              row.status);
    EXPECT_EQ(GetLastError(), 0xdeadbeefu);
    if (row.type) {
      EXPECT_EQ(type, *row.type);
    }
    EXPECT_EQ(size, row.size);
    if (row.status == ERROR_SUCCESS && row.bufferSize != 0 && row.type == REG_SZ) {
      EXPECT_STREQ(reinterpret_cast<char*>(buffer), "Kelmora 2.0");
    }
  }
}

// The launcher reads file-type registrations, which live in default values.
TEST_F(RegistryTest, DefaultValueByEmptyOrNoName) {
  struct Row {
    const char* key;
    const char* name;
    LSTATUS status;
  };
  const Row rows[] = {
      /* 0 */ {"Alpha", "", ERROR_SUCCESS},
      /* 1 */ {"Alpha", nullptr, ERROR_SUCCESS},
      /* 2 */ {"Beta", "", ERROR_FILE_NOT_FOUND},  // a key has no default value until set
      /* 3 */ {"Beta", nullptr, ERROR_FILE_NOT_FOUND},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    ScopedKey key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, world.RegPath(rows[i].key).c_str(), 0, KEY_READ,
                            key.out()),
              ERROR_SUCCESS);
    char buffer[32];
    std::memset(buffer, 0xA5, sizeof buffer);
    DWORD type = 0xA5A5A5A5, size = sizeof buffer;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(RegQueryValueExA(key.get(), rows[i].name, nullptr, &type,
                               reinterpret_cast<BYTE*>(buffer), &size),
              rows[i].status);
    EXPECT_EQ(GetLastError(), 0xdeadbeefu);
    if (rows[i].status == ERROR_SUCCESS) {
      EXPECT_EQ(type, REG_SZ);
      EXPECT_EQ(size, 8u);
      EXPECT_STREQ(buffer, "txtfile");
    }
  }
}

TEST_F(RegistryTest, StringWithoutZeroComesBackAsStored) {
  ScopedKey key;
  ASSERT_EQ(OpenScratch(key), ERROR_SUCCESS);
  struct Row {
    DWORD bufferSize;
    LSTATUS status;
    BYTE afterData;  // the byte after the three stored ones
  };
  const Row rows[] = {
      /* 0 */ {0, ERROR_SUCCESS, 0xA5},
      /* 1 */ {2, ERROR_MORE_DATA, 0xA5},
      /* 2 */ {3, ERROR_SUCCESS, 0xA5},
      // With room to spare NT adds the missing zero (Wine 8.0 does the same); the size still
      // counts only the stored bytes.
      /* 3 */ {16, ERROR_SUCCESS, 0x00},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    BYTE buffer[16];
    std::memset(buffer, 0xA5, sizeof buffer);
    DWORD type = 0xA5A5A5A5, size = rows[i].bufferSize;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(RegQueryValueExA(key.get(), "NoZero", nullptr, &type,
                               rows[i].bufferSize ? buffer : nullptr, &size),
              rows[i].status);
    EXPECT_EQ(GetLastError(), 0xdeadbeefu);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 3u);
    if (rows[i].status == ERROR_SUCCESS && rows[i].bufferSize != 0) {
      EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 3), "abc");
      EXPECT_EQ(buffer[3], rows[i].afterData);
    }
  }
}

TEST_F(RegistryTest, EnumerationRunsToNoMoreItems) {
  ScopedKey key;
  ASSERT_EQ(OpenScratch(key), ERROR_SUCCESS);
  struct Row {
    DWORD index;
    DWORD nameSize;
    LSTATUS status;
    const char* name;
  };
  const Row rows[] = {
      /* 0 */ {0, 64, ERROR_SUCCESS, "Alpha"},
      /* 1 */ {1, 64, ERROR_SUCCESS, "Beta"},
      /* 2 */ {2, 64, ERROR_NO_MORE_ITEMS, nullptr},
      /* 3 */ {99, 64, ERROR_NO_MORE_ITEMS, nullptr},
      /* 4 */ {0, 3, ERROR_MORE_DATA, nullptr},  // "Alpha" needs 6 with its zero
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    char name[64];
    std::memset(name, 0xA5, sizeof name);
    DWORD size = rows[i].nameSize;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(RegEnumKeyExA(key.get(), rows[i].index, name, &size, nullptr, nullptr, nullptr,
                            nullptr),
              rows[i].status);
    EXPECT_EQ(GetLastError(), 0xdeadbeefu);
    if (rows[i].name != nullptr) {
      EXPECT_STREQ(name, rows[i].name);
      EXPECT_EQ(size, std::strlen(rows[i].name)) << "the length without the zero";
    }
  }
}

TEST_F(RegistryTest, InfoCountsSubkeysAndValues) {
  ScopedKey key;
  ASSERT_EQ(OpenScratch(key), ERROR_SUCCESS);
  DWORD subKeys = 0xA5A5A5A5, maxSubKeyLength = 0xA5A5A5A5, values = 0xA5A5A5A5,
        maxValueNameLength = 0xA5A5A5A5;
  SetLastError(0xdeadbeef);
  EXPECT_EQ(RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subKeys, &maxSubKeyLength,
                             nullptr, &values, &maxValueNameLength, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(GetLastError(), 0xdeadbeefu);
  EXPECT_EQ(subKeys, 2u);             // Alpha, Beta: not Beta's own subkey
  EXPECT_EQ(maxSubKeyLength, 5u);     // "Alpha", without the zero
  EXPECT_EQ(values, 3u);              // DisplayName, NoZero, Count
  EXPECT_EQ(maxValueNameLength, 11u); // "DisplayName"
}

TEST_F(RegistryTest, DeleteOfKeyWithSubkeysIsRefused) {
  ScopedKey key;
  ASSERT_EQ(OpenScratch(key, KEY_ALL_ACCESS), ERROR_SUCCESS);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(RegDeleteKeyA(key.get(), "Beta"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(GetLastError(), 0xdeadbeefu);
  ScopedKey still;
  EXPECT_EQ(RegOpenKeyExA(key.get(), "Beta\\Deep", 0, KEY_READ, still.out()), ERROR_SUCCESS);

  // A leaf goes; a missing key is not found.
  EXPECT_EQ(RegDeleteKeyA(key.get(), "Alpha"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(key.get(), "Alpha"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetLastError(), 0xdeadbeefu);
}

}  // namespace
