// TRegistry against the emulated registry: opening with full access, the text-value rules,
// the recursive delete, and that every key it opens is closed again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rtl/exceptions.h"
#include "rtl/tregistry.h"
#include "tests/rtl/raised.h"
#include "tests/support/machine.h"

namespace {

using namespace std::string_literals;

constexpr char kKey[] = "Software\\Kel";

class TRegistryTest : public testsupport::MachineTest {};

struct OpenCase {
  const char* path;
  bool deny;
  bool opened;
};

TEST_F(TRegistryTest, OpenKeyAsksForFullAccessBelowTheRoot) {
  const OpenCase cases[] = {
      /* 0 */ {"\\Software\\Kel", false, true},
      /* 1 */ {"Software\\Kel", false, true},
      /* 2 */ {"\\SOFTWARE\\kel", false, true},
      /* 3 */ {"\\Software\\Missing", false, false},
      /* 4 */ {"\\Software\\Kel", true, false},  // readable, but not with full access
  };
  int row = 0;
  for (const OpenCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << row++ << " path " << c.path);
    emu::Reset();
    emu::SetRegString(HKEY_LOCAL_MACHINE, kKey, "", "x");
    if (c.deny) emu::DenyFullAccess(HKEY_LOCAL_MACHINE, kKey);
    {
      TRegistry reg;
      EXPECT_EQ(reg.RootKey(), HKEY_CURRENT_USER);
      reg.SetRootKey(HKEY_LOCAL_MACHINE);
      EXPECT_EQ(reg.OpenKey(c.path, false), c.opened);
      EXPECT_EQ(reg.CurrentKey() != nullptr, c.opened);
      EXPECT_EQ(emu::OpenKeyCount(), c.opened ? 1u : 0u);
      EXPECT_FALSE(emu::RegKeyExists(HKEY_LOCAL_MACHINE, "Software\\Missing"));  // never created
    }
    EXPECT_EQ(emu::OpenKeyCount(), 0u) << "the destructor closes the key";
  }
}

TEST_F(TRegistryTest, OpeningAnotherKeyOrRootClosesTheFirst) {
  emu::CreateRegKey(HKEY_CURRENT_USER, "A");
  emu::CreateRegKey(HKEY_CURRENT_USER, "B");
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("\\A", false));
  ASSERT_TRUE(reg.OpenKey("\\B", false));
  EXPECT_EQ(emu::OpenKeyCount(), 1u);
  EXPECT_FALSE(reg.OpenKey("\\C", false));
  EXPECT_NE(reg.CurrentKey(), nullptr) << "a failed open keeps the key that was open";
  reg.SetRootKey(HKEY_CLASSES_ROOT);
  EXPECT_EQ(reg.CurrentKey(), nullptr);
  EXPECT_EQ(emu::OpenKeyCount(), 0u);
  reg.CloseKey();  // nothing open: harmless
  EXPECT_EQ(emu::OpenKeyCount(), 0u);
}

// The text read, or what was raised.
std::string ReadOutcome(TRegistry& reg, const std::string& name) {
  std::string text;
  const std::string raised = Raised([&] { text = reg.ReadString(name); });
  return raised == "nothing raised" ? "text: " + text : raised;
}

struct ReadCase {
  DWORD type;
  std::string data;
  std::string outcome;
};

TEST_F(TRegistryTest, ReadStringFollowsTheTypeAndLengthRules) {
  const std::string big(70000, 'k');
  const std::string kBadType = "ERegistryException: Invalid data type for 'Val'";
  const ReadCase cases[] = {
      /* 0 */ {REG_SZ, "C:\\Kel\0"s, "text: C:\\Kel"},
      /* 1 */ {REG_EXPAND_SZ, "%TEMP%\\x\0"s, "text: %TEMP%\\x"},  // not expanded
      /* 2 */ {REG_SZ, "no zero", "text: no zero"},
      /* 3 */ {REG_SZ, "ab\0cd\0"s, "text: ab"},
      /* 4 */ {REG_SZ, "", "text: "},
      /* 5 */ {REG_SZ, "\0"s, "text: "},
      /* 6 */ {REG_BINARY, "", "text: "},  // length 0 beats the type
      /* 7 */ {REG_DWORD, "\x01\x02\x03\x04", kBadType},
      /* 8 */ {REG_BINARY, "x", kBadType},
      /* 9 */ {REG_MULTI_SZ, "a\0b\0\0"s, kBadType},
      /* 10 */ {REG_NONE, "x", kBadType},
      /* 11 */ {REG_SZ, big, "text: " + big},
      /* 12 */ {REG_SZ, big + '\0', "text: " + big},
  };
  int row = 0;
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << row++);
    emu::Reset();
    emu::SetRegValue(HKEY_CURRENT_USER, kKey, "Val", c.type, c.data);
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kKey, false));
    EXPECT_EQ(ReadOutcome(reg, "Val"), c.outcome);
  }
}

TEST_F(TRegistryTest, ReadStringOfAMissingValueOrWithoutKeyIsEmpty) {
  emu::SetRegDword(HKEY_CURRENT_USER, kKey, "Other", 7);
  TRegistry reg;
  EXPECT_EQ(reg.ReadString("Other"), "") << "no key open";
  ASSERT_TRUE(reg.OpenKey(kKey, false));
  EXPECT_EQ(reg.ReadString("Val"), "");
  EXPECT_EQ(reg.ReadString(""), "") << "no default value";
}

TEST_F(TRegistryTest, ReadStringNamesTheDefaultValueInItsMessage) {
  emu::SetRegDword(HKEY_CLASSES_ROOT, ".jcf", "", 1);
  TRegistry reg;
  reg.SetRootKey(HKEY_CLASSES_ROOT);
  ASSERT_TRUE(reg.OpenKey(".jcf", false));
  EXPECT_EQ(ReadOutcome(reg, ""), "ERegistryException: Invalid data type for ''");
}

struct QueryFault {
  int nth;
  DWORD error;
  std::string outcome;
};

TEST_F(TRegistryTest, ReadStringWhenAQueryFails) {
  const std::string kFailed = "ERegistryException: Failed to get data for 'DisplayName'";
  const QueryFault cases[] = {
      // The size query failing counts as a missing value.
      /* 0 */ {1, ERROR_ACCESS_DENIED, "text: "},
      // The value grew between the size query and the data query.
      /* 1 */ {2, ERROR_MORE_DATA, kFailed},
      /* 2 */ {2, ERROR_CANTREAD, kFailed},
  };
  int row = 0;
  for (const QueryFault& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << row++);
    emu::Reset();
    emu::SetRegString(HKEY_CURRENT_USER, kKey, "DisplayName", "Kelmora 7.51");
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kKey, false));
    emu::FailCall("RegQueryValueExA", c.nth, c.error);
    EXPECT_EQ(ReadOutcome(reg, "DisplayName"), c.outcome);
    EXPECT_TRUE(emu::FaultFired());
  }
}

// A tree under HKEY_LOCAL_MACHINE with a sibling that must survive.
class DeleteKeyTest : public testsupport::MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    for (const char* path : {"S\\Kel\\A\\A1", "S\\Kel\\A\\A2", "S\\Kel\\B", "S\\Kel\\C\\C1\\C11",
                             "S\\KelOther"}) {
      emu::SetRegString(HKEY_LOCAL_MACHINE, path, "v", "x");
    }
  }
  bool Exists(const std::string& path) { return emu::RegKeyExists(HKEY_LOCAL_MACHINE, path); }
  bool Delete(const std::string& path) {
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    return reg.DeleteKey(path);
  }
};

TEST_F(DeleteKeyTest, RemovesTheKeyWithAllItsSubkeys) {
  EXPECT_TRUE(Delete("\\S\\Kel"));
  EXPECT_FALSE(Exists("S\\Kel"));
  EXPECT_TRUE(Exists("S\\KelOther"));
  EXPECT_EQ(emu::OpenKeyCount(), 0u);
}

TEST_F(DeleteKeyTest, MissingKeyChangesNothing) {
  const std::string before = emu::SaveRegistry();
  EXPECT_FALSE(Delete("\\S\\Nothing"));
  EXPECT_FALSE(Delete(""));
  EXPECT_FALSE(Delete("\\"));  // would name the root itself
  EXPECT_EQ(emu::SaveRegistry(), before);
}

struct DeleteFailure {
  void (*arrange)();
  std::vector<std::string> kept;
  std::vector<std::string> gone;
};

TEST_F(DeleteKeyTest, WhatRefusesStaysAndTheRestGoes) {
  const DeleteFailure cases[] = {
      /* 0 */ {[] { emu::DenyDelete(HKEY_LOCAL_MACHINE, "S\\Kel\\C\\C1\\C11"); },
               {"S\\Kel\\C\\C1\\C11"},
               {"S\\Kel\\A", "S\\Kel\\B"}},
      // A key that refuses full access is not listed, so its subkeys are not reached.
      /* 1 */ {[] { emu::DenyFullAccess(HKEY_LOCAL_MACHINE, "S\\Kel\\A"); },
               {"S\\Kel\\A\\A1", "S\\Kel\\A\\A2"},
               {"S\\Kel\\B", "S\\Kel\\C"}},
      /* 2 */ {[] { emu::FailCall("RegQueryInfoKeyA", 1, ERROR_ACCESS_DENIED); },
               {"S\\Kel\\A\\A1", "S\\Kel\\C\\C1\\C11"},
               {}},
      /* 3 */ {[] { emu::FailCall("RegEnumKeyExA", 1, ERROR_ACCESS_DENIED); },
               {"S\\Kel\\A\\A1"},
               {"S\\Kel\\B", "S\\Kel\\C"}},
  };
  int row = 0;
  for (const DeleteFailure& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << row++);
    SetUp();  // a fresh tree per row
    c.arrange();
    EXPECT_FALSE(Delete("S\\Kel"));
    for (const std::string& path : c.kept) EXPECT_TRUE(Exists(path)) << path;
    for (const std::string& path : c.gone) EXPECT_FALSE(Exists(path)) << path;
    EXPECT_EQ(emu::OpenKeyCount(), 0u);
  }
}

}  // namespace
