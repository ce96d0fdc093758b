// The version record and the token test's calls: groups laid out as Windows lays them out,
// SIDs that compare by content, and no SID or token left behind.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "emu/core.h"
#include "emu/system.h"

namespace {

class SystemTokenTest : public ::testing::Test {
 protected:
  void SetUp() override { emu::Reset(); }
  void TearDown() override { EXPECT_EQ(emu::OutstandingSids(), 0u); }

  static PSID AdminsSid() {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID sid = nullptr;
    EXPECT_TRUE(AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                         DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &sid));
    return sid;
  }
};

TEST_F(SystemTokenTest, VersionQueryChecksTheRecordSize) {
  struct Row {
    DWORD size;
    BOOL result;
    DWORD error;
  };
  const Row rows[] = {
      /* 0 */ {148, TRUE, 0xdeadbeef},
      /* 1 */ {156, TRUE, 0xdeadbeef},
      /* 2 */ {0, FALSE, ERROR_INSUFFICIENT_BUFFER},
      /* 3 */ {147, FALSE, ERROR_INSUFFICIENT_BUFFER},
      /* 4 */ {152, FALSE, ERROR_INSUFFICIENT_BUFFER},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(i);
    unsigned char record[160];
    std::memset(record, 0xA5, sizeof record);
    auto* info = reinterpret_cast<OSVERSIONINFOA*>(record);
    info->dwOSVersionInfoSize = rows[i].size;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetVersionExA(info), rows[i].result);
    EXPECT_EQ(GetLastError(), rows[i].error);
    if (rows[i].result) {
      EXPECT_EQ(info->dwMajorVersion, 5u);
      EXPECT_EQ(info->dwMinorVersion, 1u);
      EXPECT_EQ(info->dwBuildNumber, 2600u);
      EXPECT_EQ(info->dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
      EXPECT_STREQ(info->szCSDVersion, "Service Pack 3");
      if (rows[i].size == 156) {
        EXPECT_EQ(record[148], 3) << "service pack major";
      }
      EXPECT_EQ(record[rows[i].size], 0xA5) << "wrote past the record";
    } else {
      EXPECT_EQ(record[4], 0xA5) << "a refused record is left alone";
    }
  }
}

TEST_F(SystemTokenTest, VersionCanBeSetOrFail) {
  emu::SetVersion({4, 10, 2222, VER_PLATFORM_WIN32_WINDOWS, " A "});
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  ASSERT_TRUE(GetVersionExA(&info));
  EXPECT_EQ(info.dwMinorVersion, 10u);
  EXPECT_EQ(info.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_WINDOWS));
  EXPECT_STREQ(info.szCSDVersion, " A ");
  emu::FailVersionQuery(ERROR_INVALID_FUNCTION);
  SetLastError(0);
  EXPECT_FALSE(GetVersionExA(&info));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
}

TEST_F(SystemTokenTest, ThreadTokenIsAbsentByDefault) {
  HANDLE token = reinterpret_cast<HANDLE>(0x5A5A);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_TOKEN));
  EXPECT_EQ(emu::OpenHandleCount(), 0u);
}

TEST_F(SystemTokenTest, TokenGroupsAreLaidOutInTheCallersBuffer) {
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));

  DWORD needed = 0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetTokenInformation(token, TokenGroups, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  // Count (padded to a pointer), four entries, then SIDs of 12, 16, 16 and 12 bytes.
  const size_t header = offsetof(TOKEN_GROUPS, Groups);
  EXPECT_EQ(needed, header + 4 * sizeof(SID_AND_ATTRIBUTES) + 12 + 16 + 16 + 12);

  DWORD shortBy1 = 0;
  std::vector<unsigned char> small(needed - 1, 0xA5);
  EXPECT_FALSE(GetTokenInformation(token, TokenGroups, small.data(), needed - 1, &shortBy1));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(shortBy1, needed);

  std::vector<unsigned char> buffer(needed + 8, 0xA5);
  DWORD returned = 0;
  SetLastError(0xdeadbeef);
  ASSERT_TRUE(GetTokenInformation(token, TokenGroups, buffer.data(), needed, &returned));
  EXPECT_EQ(GetLastError(), 0xdeadbeefu);
  EXPECT_EQ(returned, needed);
  EXPECT_EQ(buffer[needed], 0xA5);
  auto* groups = reinterpret_cast<TOKEN_GROUPS*>(buffer.data());
  ASSERT_EQ(groups->GroupCount, 4u);
  const char* expected[] = {"S-1-1-0", "S-1-5-32-544", "S-1-5-32-545", "S-1-5-11"};
  unsigned char* previousEnd = buffer.data() + header + 4 * sizeof(SID_AND_ATTRIBUTES);
  for (DWORD i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    auto* sid = static_cast<unsigned char*>(groups->Groups[i].Sid);
    EXPECT_EQ(sid, previousEnd) << "SIDs follow the array, inside the buffer";
    EXPECT_EQ(emu::SidToString(sid), expected[i]);
    EXPECT_TRUE(groups->Groups[i].Attributes & SE_GROUP_ENABLED);
    previousEnd = sid + 8 + 4 * sid[1];
  }

  PSID admins = AdminsSid();
  EXPECT_TRUE(EqualSid(admins, groups->Groups[1].Sid));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(EqualSid(admins, groups->Groups[2].Sid));
  EXPECT_EQ(GetLastError(), 0u) << "EqualSid clears the last error";
  EXPECT_EQ(FreeSid(admins), nullptr);
  EXPECT_TRUE(emu::ReleaseHandle(token));
}

TEST_F(SystemTokenTest, ThreadTokenGroupsAndAccessRights) {
  emu::SetThreadTokenGroups(std::vector<emu::GroupSpec>{{"S-1-5-32-544", SE_GROUP_USE_FOR_DENY_ONLY}});
  HANDLE withoutQuery = nullptr, token = nullptr;
  ASSERT_TRUE(OpenThreadToken(GetCurrentThread(), 0x0001 /* TOKEN_ASSIGN_PRIMARY */, TRUE,
                              &withoutQuery));
  DWORD needed = 0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetTokenInformation(withoutQuery, TokenGroups, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

  ASSERT_TRUE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token));
  std::vector<unsigned char> buffer(256);
  ASSERT_TRUE(GetTokenInformation(token, TokenGroups, buffer.data(), 256, &needed));
  auto* groups = reinterpret_cast<TOKEN_GROUPS*>(buffer.data());
  ASSERT_EQ(groups->GroupCount, 1u);
  EXPECT_EQ(groups->Groups[0].Attributes, static_cast<DWORD>(SE_GROUP_USE_FOR_DENY_ONLY));

  EXPECT_FALSE(GetTokenInformation(reinterpret_cast<HANDLE>(0x77), TokenGroups, buffer.data(), 256,
                                   &needed));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  emu::ReleaseHandle(token);
  emu::ReleaseHandle(withoutQuery);
}

TEST_F(SystemTokenTest, EmptyGroupListHasOnlyTheHeader) {
  emu::SetProcessTokenGroups({});
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  DWORD needed = 0;
  EXPECT_FALSE(GetTokenInformation(token, TokenGroups, nullptr, 0, &needed));
  EXPECT_EQ(needed, offsetof(TOKEN_GROUPS, Groups));
  emu::ReleaseHandle(token);
}

TEST_F(SystemTokenTest, SidsCompareByContent) {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  struct Row {
    SID_IDENTIFIER_AUTHORITY* authority;
    BYTE count;
    DWORD sub0, sub1;
    bool equalsAdmins;
    const char* text;
  };
  Row rows[] = {
      /* 0 */ {&nt, 2, 32, 544, true, "S-1-5-32-544"},
      /* 1 */ {&nt, 2, 32, 545, false, "S-1-5-32-545"},
      /* 2 */ {&world, 2, 32, 544, false, "S-1-1-32-544"},
      /* 3 */ {&nt, 1, 32, 544, false, "S-1-5-32"},  // a prefix is not equal
      /* 4 */ {&nt, 3, 32, 544, false, "S-1-5-32-544-0"},
  };
  PSID admins = AdminsSid();
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(i);
    PSID sid = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(rows[i].authority, rows[i].count, rows[i].sub0,
                                         rows[i].sub1, 0, 0, 0, 0, 0, 0, &sid));
    EXPECT_EQ(emu::SidToString(sid), rows[i].text);
    EXPECT_EQ(static_cast<bool>(EqualSid(admins, sid)), rows[i].equalsAdmins);
    EXPECT_EQ(emu::OutstandingSids(), 2u);
    EXPECT_EQ(FreeSid(sid), nullptr);
  }
  PSID none = reinterpret_cast<PSID>(0x5A5A);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(AllocateAndInitializeSid(&nt, 9, 0, 0, 0, 0, 0, 0, 0, 0, &none));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_SID));
  FreeSid(admins);
}

TEST_F(SystemTokenTest, EveryTokenCallCanBeMadeToFail) {
  const char* apis[] = {"OpenThreadToken", "OpenProcessToken", "AllocateAndInitializeSid",
                        "GetTokenInformation"};
  for (const char* api : apis) {
    SCOPED_TRACE(api);
    emu::Reset();
    emu::SetThreadTokenGroups(std::vector<emu::GroupSpec>{});
    emu::FailCall(api, 1, ERROR_NOT_ENOUGH_QUOTA);
    HANDLE thread = nullptr, process = nullptr;
    PSID sid = nullptr;
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    BOOL okThread = OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &thread);
    BOOL okProcess = OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &process);
    BOOL okSid = AllocateAndInitializeSid(&nt, 1, 32, 0, 0, 0, 0, 0, 0, 0, &sid);
    DWORD needed = 0;
    std::vector<unsigned char> buffer(256);
    BOOL okInfo = GetTokenInformation(process ? process : thread, TokenGroups, buffer.data(), 256,
                                      &needed);
    EXPECT_EQ(okThread + okProcess + okSid + okInfo, 3) << "exactly the chosen call fails";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_QUOTA));
    if (sid) FreeSid(sid);
  }
}

}  // namespace
