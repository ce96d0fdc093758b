// Conformance of the emulated advapi32 registry functions: results and what they leave alone.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "emu/core.h"
#include "emu/registry.h"
#include "platform/win32.h"

namespace {

constexpr LSTATUS kBadPathname = 161;

class RegistryApiTest : public ::testing::Test {
 protected:
  void SetUp() override { emu::Reset(); }
  void TearDown() override { EXPECT_EQ(emu::OpenKeyCount(), 0u) << "a key handle leaked"; }

  HKEY Open(HKEY root, const char* path, REGSAM sam = KEY_ALL_ACCESS) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(root, path, 0, sam, &key), ERROR_SUCCESS) << path;
    return key;
  }
};

TEST_F(RegistryApiTest, OpenFindsKeysWithoutRegardToCaseAndRejectsBadPaths) {
  emu::CreateRegKey(HKEY_CURRENT_USER, "Software\\Kelmora\\Sub");
  struct Row {
    HKEY root;
    const char* path;
    LSTATUS expected;
  };
  const Row rows[] = {
      /* 0 */ {HKEY_CURRENT_USER, "Software\\Kelmora", ERROR_SUCCESS},
      /* 1 */ {HKEY_CURRENT_USER, "SOFTWARE\\kELMORA\\sub", ERROR_SUCCESS},
      /* 2 */ {HKEY_CURRENT_USER, "Software\\Kelmora\\", ERROR_SUCCESS},
      /* 3 */ {HKEY_CURRENT_USER, "", ERROR_SUCCESS},
      /* 4 */ {HKEY_CURRENT_USER, "Software\\Missing", ERROR_FILE_NOT_FOUND},
      /* 5 */ {HKEY_LOCAL_MACHINE, "Software\\Kelmora", ERROR_FILE_NOT_FOUND},
      /* 6 */ {HKEY_CURRENT_USER, "\\Software\\Kelmora", kBadPathname},
      /* 7 */ {HKEY_CURRENT_USER, "Software\\\\Kelmora", kBadPathname},
      /* 8 */ {reinterpret_cast<HKEY>(0x1234), "Software", ERROR_INVALID_HANDLE},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(i);
    HKEY key = reinterpret_cast<HKEY>(0x5A5A);
    SetLastError(0xdeadbeef);
    LSTATUS status = RegOpenKeyExA(rows[i].root, rows[i].path, 0, KEY_READ, &key);
    EXPECT_EQ(status, rows[i].expected);
    EXPECT_EQ(GetLastError(), 0xdeadbeefu) << "registry calls leave the last error alone";
    if (status == ERROR_SUCCESS) {
      EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    } else {
      EXPECT_EQ(key, nullptr);
    }
  }
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, nullptr),
            ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryApiTest, KeyThatRefusesFullAccessStillOpensForReading) {
  emu::SetRegString(HKEY_LOCAL_MACHINE, "Software\\Locked", "Name", "x");
  emu::DenyFullAccess(HKEY_LOCAL_MACHINE, "Software\\Locked");
  struct Row {
    REGSAM sam;
    LSTATUS expected;
  };
  const Row rows[] = {
      /* 0 */ {KEY_ALL_ACCESS, ERROR_ACCESS_DENIED},
      /* 1 */ {KEY_READ | KEY_SET_VALUE, ERROR_ACCESS_DENIED},
      /* 2 */ {DELETE, ERROR_ACCESS_DENIED},
      /* 3 */ {KEY_READ, ERROR_SUCCESS},
      /* 4 */ {KEY_QUERY_VALUE, ERROR_SUCCESS},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(i);
    HKEY key = nullptr;
    LSTATUS status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\locked", 0, rows[i].sam, &key);
    EXPECT_EQ(status, rows[i].expected);
    if (status == ERROR_SUCCESS) RegCloseKey(key);
  }
  // Its parent is not affected.
  RegCloseKey(Open(HKEY_LOCAL_MACHINE, "Software"));
}

TEST_F(RegistryApiTest, QueryValueFollowsTheSizeProtocol) {
  std::string big(70000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  emu::SetRegValue(HKEY_CURRENT_USER, "K", "Big", REG_BINARY, big);
  emu::SetRegValue(HKEY_CURRENT_USER, "K", "NoZero", REG_SZ, std::string_view("abc", 3));
  emu::SetRegString(HKEY_CURRENT_USER, "K", "", "default");
  emu::SetRegDword(HKEY_CURRENT_USER, "K", "Dw", 0x11223344);
  emu::SetRegValue(HKEY_CURRENT_USER, "K", "Empty", REG_EXPAND_SZ, "");
  emu::SetRegValue(HKEY_CURRENT_USER, "K", "Odd", 0x1234, std::string_view("\x01\x02", 2));
  HKEY key = Open(HKEY_CURRENT_USER, "K", KEY_READ);

  struct Row {
    const char* name;
    DWORD type;
    std::string data;
  };
  const Row rows[] = {
      /* 0 */ {"Big", REG_BINARY, big},
      /* 1 */ {"nozero", REG_SZ, std::string("abc", 3)},
      /* 2 */ {"", REG_SZ, std::string("default", 8)},
      /* 3 */ {nullptr, REG_SZ, std::string("default", 8)},
      /* 4 */ {"DW", REG_DWORD, std::string("\x44\x33\x22\x11", 4)},
      /* 5 */ {"Empty", REG_EXPAND_SZ, ""},
      /* 6 */ {"Odd", 0x1234, std::string("\x01\x02", 2)},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(i);
    const Row& r = rows[i];
    const auto size = static_cast<DWORD>(r.data.size());
    // Size query.
    DWORD type = 0xA5A5A5A5, cb = 0xA5A5A5A5;
    EXPECT_EQ(RegQueryValueExA(key, r.name, nullptr, &type, nullptr, &cb), ERROR_SUCCESS);
    EXPECT_EQ(type, r.type);
    EXPECT_EQ(cb, size);
    // Short buffer: the needed size comes back.
    if (size > 0) {
      std::vector<BYTE> small(size - 1 + 1, 0xA5);
      cb = size - 1;
      EXPECT_EQ(RegQueryValueExA(key, r.name, nullptr, &type, small.data(), &cb), ERROR_MORE_DATA);
      EXPECT_EQ(cb, size);
    }
    // Exact buffer, with a sentinel byte behind it.
    std::vector<BYTE> buffer(size + 1, 0xA5);
    cb = size;
    EXPECT_EQ(RegQueryValueExA(key, r.name, nullptr, &type, buffer.data(), &cb), ERROR_SUCCESS);
    EXPECT_EQ(cb, size);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.data()), size), r.data);
    EXPECT_EQ(buffer[size], 0xA5) << "wrote past the data";
  }

  DWORD type = 0xA5A5A5A5, cb = 10;
  BYTE data[10];
  EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, &type, data, &cb), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegQueryValueExA(key, "Dw", nullptr, &type, data, nullptr), ERROR_INVALID_PARAMETER);
  DWORD reserved = 0;
  EXPECT_EQ(RegQueryValueExA(key, "Dw", &reserved, &type, nullptr, &cb), ERROR_INVALID_PARAMETER);
  RegCloseKey(key);
}

TEST_F(RegistryApiTest, KeyWithoutDefaultValueAnswersFileNotFound) {
  emu::CreateRegKey(HKEY_CLASSES_ROOT, ".jcf");
  HKEY key = Open(HKEY_CLASSES_ROOT, ".jcf");
  DWORD cb = 0;
  EXPECT_EQ(RegQueryValueExA(key, "", nullptr, nullptr, nullptr, &cb), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
}

TEST_F(RegistryApiTest, HandleOpenedWithoutQueryRightCannotRead) {
  emu::SetRegDword(HKEY_CURRENT_USER, "K", "Dw", 1);
  HKEY key = Open(HKEY_CURRENT_USER, "K", KEY_ENUMERATE_SUB_KEYS);
  DWORD cb = 0;
  EXPECT_EQ(RegQueryValueExA(key, "Dw", nullptr, nullptr, nullptr, &cb), ERROR_ACCESS_DENIED);
  RegCloseKey(key);
}

TEST_F(RegistryApiTest, EnumAndInfoListSubkeysInHiveOrder) {
  // The hive sorts upper-cased names: "A_B" comes after "AAB" ('_' is above 'A').
  for (const char* name : {"zeta", "A_B", "aab", "Mid"}) {
    emu::CreateRegKey(HKEY_LOCAL_MACHINE, std::string("Root\\") + name);
  }
  emu::SetRegValue(HKEY_LOCAL_MACHINE, "Root", "LongerName", REG_BINARY, std::string(300, 'x'));
  emu::SetRegString(HKEY_LOCAL_MACHINE, "Root", "", "d");
  HKEY key = Open(HKEY_LOCAL_MACHINE, "Root");

  DWORD subKeys = 0, maxSubKey = 0, values = 0, maxName = 0, maxData = 0;
  EXPECT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr, &values,
                             &maxName, &maxData, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subKeys, 4u);
  EXPECT_EQ(maxSubKey, 4u);
  EXPECT_EQ(values, 2u);
  EXPECT_EQ(maxName, 10u);
  EXPECT_EQ(maxData, 300u);

  std::vector<std::string> names;
  for (DWORD i = 0;; ++i) {
    char name[16];
    DWORD cch = sizeof name;
    LSTATUS status = RegEnumKeyExA(key, i, name, &cch, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(status, ERROR_SUCCESS);
    EXPECT_EQ(cch, std::strlen(name));
    names.push_back(name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"aab", "A_B", "Mid", "zeta"}));

  // A name that does not fit with its zero: ERROR_MORE_DATA, nothing written.
  char name[4];
  std::memset(name, 0xA5, sizeof name);
  DWORD cch = 4;
  EXPECT_EQ(RegEnumKeyExA(key, 3, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  EXPECT_EQ(static_cast<unsigned char>(name[0]), 0xA5);
  RegCloseKey(key);
}

TEST_F(RegistryApiTest, DeleteRemovesLeavesOnly) {
  emu::CreateRegKey(HKEY_LOCAL_MACHINE, "Software\\Kelmora\\Child");
  emu::CreateRegKey(HKEY_LOCAL_MACHINE, "Software\\Guarded");
  emu::DenyDelete(HKEY_LOCAL_MACHINE, "Software\\Guarded");
  emu::CreateRegKey(HKEY_LOCAL_MACHINE, "Software\\Locked");
  emu::DenyFullAccess(HKEY_LOCAL_MACHINE, "Software\\Locked");
  struct Row {
    const char* path;
    LSTATUS expected;
    bool existsAfter;
  };
  const Row rows[] = {
      /* 0 */ {"Software\\Kelmora", ERROR_ACCESS_DENIED, true},  // has a subkey
      /* 1 */ {"Software\\Guarded", ERROR_ACCESS_DENIED, true},
      /* 2 */ {"Software\\Locked", ERROR_ACCESS_DENIED, true},
      /* 3 */ {"Software\\Missing", ERROR_FILE_NOT_FOUND, false},
      /* 4 */ {"Software\\Missing\\Deeper", ERROR_FILE_NOT_FOUND, false},
      /* 5 */ {"SOFTWARE\\KELMORA\\CHILD", ERROR_SUCCESS, false},
      /* 6 */ {"Software\\Kelmora", ERROR_SUCCESS, false},  // a leaf now
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(i);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, rows[i].path), rows[i].expected);
    EXPECT_EQ(GetLastError(), 0xdeadbeefu);
    EXPECT_EQ(emu::RegKeyExists(HKEY_LOCAL_MACHINE, rows[i].path), rows[i].existsAfter);
  }
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, ""), ERROR_ACCESS_DENIED) << "a root stays";
}

TEST_F(RegistryApiTest, HandleToDeletedKeyAnswersKeyDeleted) {
  emu::SetRegDword(HKEY_CURRENT_USER, "Gone", "Dw", 1);
  HKEY key = Open(HKEY_CURRENT_USER, "Gone");
  ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Gone"), ERROR_SUCCESS);
  DWORD cb = 0;
  EXPECT_EQ(RegQueryValueExA(key, "Dw", nullptr, nullptr, nullptr, &cb), ERROR_KEY_DELETED);
  char name[8];
  DWORD cch = sizeof name;
  EXPECT_EQ(RegEnumKeyExA(key, 0, name, &cch, nullptr, nullptr, nullptr, nullptr),
            ERROR_KEY_DELETED);
  EXPECT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr),
            ERROR_KEY_DELETED);
  // A key created again under the same name is a new key; the old handle stays dead.
  emu::SetRegDword(HKEY_CURRENT_USER, "Gone", "Dw", 2);
  EXPECT_EQ(RegQueryValueExA(key, "Dw", nullptr, nullptr, nullptr, &cb), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(RegistryApiTest, CloseCountsHandlesAndRefusesUnknownOnes) {
  emu::CreateRegKey(HKEY_CURRENT_USER, "A");
  HKEY first = Open(HKEY_CURRENT_USER, "A");
  HKEY second = Open(HKEY_CURRENT_USER, "a");
  EXPECT_NE(first, second);
  EXPECT_EQ(emu::OpenKeyCount(), 2u);
  EXPECT_EQ(RegCloseKey(first), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(first), ERROR_INVALID_HANDLE) << "closed twice";
  EXPECT_EQ(emu::OpenKeyCount(), 1u);
  EXPECT_EQ(RegCloseKey(second), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
}

TEST_F(RegistryApiTest, InjectedFaultIsTheReturnedStatus) {
  emu::CreateRegKey(HKEY_CURRENT_USER, "A");
  emu::FailCall("RegOpenKeyExA", 2, ERROR_BADDB);
  HKEY key = Open(HKEY_CURRENT_USER, "A");
  RegCloseKey(key);
  HKEY failed = reinterpret_cast<HKEY>(0x5A5A);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "A", 0, KEY_READ, &failed), ERROR_BADDB);
  EXPECT_EQ(emu::OpenKeyCount(), 0u);
}

}  // namespace
