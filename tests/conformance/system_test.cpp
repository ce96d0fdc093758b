// Version query, thread and process tokens and SIDs: the protocol, not the machine's values.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/conformance/world.h"

namespace {

// A fresh world: the emulated version and tokens are those of a plain user's machine.
class SystemTest : public ::testing::Test {
 protected:
  conf::World world;
};
using VersionTest = SystemTest;
using TokenTest = SystemTest;
using SidTest = SystemTest;

TEST_F(VersionTest, WrongSizeFieldIsRefused) {
  const DWORD sizes[] = {/* 0 */ 0, /* 1 */ sizeof(OSVERSIONINFOA) - 1,
                         /* 2 */ sizeof(OSVERSIONINFOA) + 1};
  for (DWORD size : sizes) {
    SCOPED_TRACE(size);
    OSVERSIONINFOA info;
    std::memset(&info, 0xA5, sizeof info);
    info.dwOSVersionInfoSize = size;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetVersionExA(&info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(info.dwMajorVersion, 0xA5A5A5A5u) << "nothing filled in";
  }
}

TEST_F(VersionTest, RightSizeFieldIsFilledIn) {
  OSVERSIONINFOA info;
  std::memset(&info, 0xA5, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
  SetLastError(0xdeadbeef);
  EXPECT_TRUE(GetVersionExA(&info));
  EXPECT_EQ(GetLastError(), 0xdeadbeefu);
  EXPECT_EQ(info.dwOSVersionInfoSize, sizeof info);
  EXPECT_NE(info.dwMajorVersion, 0xA5A5A5A5u);
  EXPECT_LT(std::strlen(info.szCSDVersion), sizeof info.szCSDVersion);
}

TEST_F(TokenTest, ThreadWithoutItsOwnTokenHasNone) {
  const BOOL openAsSelf[] = {/* 0 */ FALSE, /* 1 */ TRUE};
  for (BOOL self : openAsSelf) {
    SCOPED_TRACE(self);
    HANDLE token = nullptr;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, self, &token));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_TOKEN));
  }
}

TEST_F(TokenTest, GroupsSizeQueryThenRead) {
  HANDLE token = nullptr;
  SetLastError(0xdeadbeef);
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) << GetLastError();
  conf::ScopedHandle guard(token);

  DWORD needed = 0xA5A5A5A5;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetTokenInformation(token, TokenGroups, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  ASSERT_NE(needed, 0xA5A5A5A5u);
  ASSERT_GE(needed, sizeof(DWORD));

  std::vector<BYTE> shortBuffer(needed - 1, 0xA5);
  DWORD length = 0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetTokenInformation(token, TokenGroups, shortBuffer.data(), needed - 1, &length));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(length, needed);

  std::vector<BYTE> buffer(needed, 0xA5);
  length = 0;
  SetLastError(0xdeadbeef);
  EXPECT_TRUE(GetTokenInformation(token, TokenGroups, buffer.data(), needed, &length));
  EXPECT_EQ(GetLastError(), 0xdeadbeefu);
  EXPECT_EQ(length, needed);
  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
  ASSERT_GT(groups->GroupCount, 0u);
  ASSERT_LE(sizeof(DWORD) + groups->GroupCount * sizeof(SID_AND_ATTRIBUTES), needed);
  for (DWORD i = 0; i < groups->GroupCount; ++i) {
    SCOPED_TRACE("group " + std::to_string(i));
    // Every SID points into the same buffer.
    const BYTE* sid = static_cast<const BYTE*>(groups->Groups[i].Sid);
    EXPECT_GE(sid, buffer.data());
    EXPECT_LT(sid, buffer.data() + needed);
  }
}

TEST_F(SidTest, AllocateCompareAndFree) {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  SID_IDENTIFIER_AUTHORITY worldAuthority = SECURITY_WORLD_SID_AUTHORITY;
  PSID admins1 = nullptr, admins2 = nullptr, users = nullptr, everyone = nullptr;
  SetLastError(0xdeadbeef);
  ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                       DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &admins1));
  EXPECT_EQ(GetLastError(), 0xdeadbeefu);
  ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                       DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &admins2));
  ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                       DOMAIN_ALIAS_RID_USERS, 0, 0, 0, 0, 0, 0, &users));
  ASSERT_TRUE(AllocateAndInitializeSid(&worldAuthority, 1, 0, 0, 0, 0, 0, 0, 0, 0, &everyone));
  EXPECT_NE(admins1, admins2) << "each call gives its own SID";

  struct Row {
    PSID left, right;
    bool equal;
  };
  const Row rows[] = {
      /* 0 */ {admins1, admins2, true},
      /* 1 */ {admins1, users, false},
      /* 2 */ {admins1, everyone, false},
      /* 3 */ {everyone, everyone, true},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    EXPECT_EQ(EqualSid(rows[i].left, rows[i].right) != FALSE, rows[i].equal);
  }

  for (PSID sid : {admins1, admins2, users, everyone}) {
    EXPECT_EQ(FreeSid(sid), nullptr);
  }
}

TEST_F(SidTest, TooManySubAuthoritiesIsRefused) {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID sid = reinterpret_cast<PSID>(static_cast<uintptr_t>(0xA5A5A5A5));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(AllocateAndInitializeSid(&nt, 9, 1, 2, 3, 4, 5, 6, 7, 8, &sid));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_SID));
}

}  // namespace
