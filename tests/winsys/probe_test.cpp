// The unit's start-up step, the version probe and the administrator test, against the
// emulated version record and tokens.
#include "winsys/probe.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "emu/core.h"
#include "emu/registry.h"
#include "emu/system.h"
#include "rtl/app.h"
#include "winsys/errors.h"
#include "winsys/registry.h"

namespace {

const char kAdmins[] = "S-1-5-32-544";
const char kUsers[] = "S-1-5-32-545";
const char kEveryone[] = "S-1-1-0";
const char kLegacyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Kelmora";

class Probe : public ::testing::Test {
 protected:
  void SetUp() override {
    emu::Reset();
    LogLines.reset();
  }
  void TearDown() override {
    // Whatever path was taken, the test gives back its SID and its token.
    EXPECT_EQ(emu::OutstandingSids(), 0u);
    EXPECT_EQ(emu::OpenHandleCount(), 0u);
    EXPECT_EQ(emu::OpenKeyCount(), 0u);
    LogLines.reset();
  }
};

TEST_F(Probe, VersionFlags) {
  struct Row {
    DWORD major, minor, platform;
    bool nt, win2000, winXP;
  };
  const Row rows[] = {
      /* 0 */ {4, 0, VER_PLATFORM_WIN32_NT, true, false, false},
      /* 1 */ {5, 0, VER_PLATFORM_WIN32_NT, true, true, false},
      /* 2 */ {5, 1, VER_PLATFORM_WIN32_NT, true, false, true},
      /* 3 */ {5, 2, VER_PLATFORM_WIN32_NT, true, false, true},
      /* 4 */ {6, 0, VER_PLATFORM_WIN32_NT, true, false, false},
      /* 5 */ {4, 10, VER_PLATFORM_WIN32_WINDOWS, false, false, false},
      /* 6 */ {6, 1, VER_PLATFORM_WIN32_NT, true, false, false},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    const Row& row = rows[i];
    emu::Reset();
    emu::SetVersion(emu::VersionSpec{row.major, row.minor, 1234, row.platform, ""});
    IsWin2000 = !row.win2000;  // stale values must be overwritten
    IsWinXP = !row.winXP;
    EXPECT_EQ(GetOSInfo(), row.nt);
    EXPECT_EQ(OSMajor, static_cast<int32_t>(row.major));
    EXPECT_EQ(OSMinor, static_cast<int32_t>(row.minor));
    EXPECT_EQ(IsWin2000, row.win2000);
    EXPECT_EQ(IsWinXP, row.winXP);
    EXPECT_TRUE(emu::MessageBoxes().empty());
  }
}

TEST_F(Probe, FailedVersionQueryReadsAsZeros) {
  emu::SetVersion(emu::VersionSpec{5, 1, 2600, VER_PLATFORM_WIN32_NT, ""});
  emu::FailVersionQuery(ERROR_INVALID_PARAMETER);
  OSMajor = 9;
  IsWinXP = true;
  EXPECT_FALSE(GetOSInfo());
  EXPECT_EQ(OSMajor, 0);
  EXPECT_EQ(OSMinor, 0);
  EXPECT_FALSE(IsWin2000);
  EXPECT_FALSE(IsWinXP);
  // The wrapper reports what the query left behind.
  ASSERT_EQ(emu::MessageBoxes().size(), 1u);
  EXPECT_EQ(emu::MessageBoxes()[0].caption, "Windows Error: GetVersionEx");
}

TEST_F(Probe, AdministratorsMembership) {
  using Groups = std::vector<emu::GroupSpec>;
  struct Row {
    Groups process;
    bool threadToken;
    Groups thread;
    bool result;
    int equalSidCalls;
  };
  const Row rows[] = {
      /* 0 */ {{{kUsers, SE_GROUP_ENABLED}, {kAdmins, SE_GROUP_ENABLED}}, false, {}, true, 2},
      // Membership counts whatever the attributes say.
      /* 1 */ {{{kAdmins, SE_GROUP_USE_FOR_DENY_ONLY}}, false, {}, true, 1},
      /* 2 */ {{{kAdmins, 0}}, false, {}, true, 1},
      /* 3 */ {{}, false, {}, false, 0},
      /* 4 */ {{{kUsers, SE_GROUP_ENABLED}, {kEveryone, SE_GROUP_ENABLED}}, false, {}, false, 2},
      // Stops at the first match.
      /* 5 */ {{{kAdmins, SE_GROUP_ENABLED}, {kUsers, 0}, {kEveryone, 0}}, false, {}, true, 1},
      // A thread that has a token of its own is judged by that one.
      /* 6 */ {{{kAdmins, SE_GROUP_ENABLED}}, true, {{kUsers, SE_GROUP_ENABLED}}, false, 1},
      /* 7 */ {{{kUsers, SE_GROUP_ENABLED}}, true, {{kAdmins, SE_GROUP_ENABLED}}, true, 1},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    const Row& row = rows[i];
    emu::Reset();
    emu::SetProcessTokenGroups(row.process);
    if (row.threadToken) emu::SetThreadTokenGroups(row.thread);
    EXPECT_EQ(IsAdminUser(), row.result);
    EXPECT_EQ(emu::CallCount("OpenThreadToken"), 1);
    EXPECT_EQ(emu::CallCount("OpenProcessToken"), row.threadToken ? 0 : 1);
    EXPECT_EQ(emu::CallCount("EqualSid"), row.equalSidCalls);
    EXPECT_EQ(emu::CallCount("GetTokenInformation"), 2);
    EXPECT_EQ(emu::OutstandingSids(), 0u);
    EXPECT_EQ(emu::OpenHandleCount(), 0u);
    EXPECT_TRUE(emu::MessageBoxes().empty());
  }
}

TEST_F(Probe, NoTokenMeansNoAdministrator) {
  struct Row {
    bool threadToken;
    const char* api;
    DWORD error;
    int processOpens;
  };
  const Row rows[] = {
      // Only ERROR_NO_TOKEN sends the test on to the process token.
      /* 0 */ {true, "OpenThreadToken", ERROR_ACCESS_DENIED, 0},
      /* 1 */ {false, "OpenThreadToken", ERROR_BAD_IMPERSONATION_LEVEL, 0},
      /* 2 */ {false, "OpenProcessToken", ERROR_ACCESS_DENIED, 1},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    emu::Reset();
    emu::SetProcessTokenGroups({{kAdmins, SE_GROUP_ENABLED}});
    if (rows[i].threadToken) {
      emu::SetThreadTokenGroups(std::vector<emu::GroupSpec>{{kAdmins, SE_GROUP_ENABLED}});
    }
    emu::FailCall(rows[i].api, 1, rows[i].error);
    EXPECT_FALSE(IsAdminUser());
    EXPECT_EQ(emu::CallCount("OpenProcessToken"), rows[i].processOpens);
    EXPECT_EQ(emu::CallCount("AllocateAndInitializeSid"), 0);
    EXPECT_EQ(emu::CallCount("GetTokenInformation"), 0);
    EXPECT_EQ(emu::OpenHandleCount(), 0u);
    EXPECT_TRUE(emu::MessageBoxes().empty());
  }
}

TEST_F(Probe, FailuresRaiseAfterCleanUp) {
  struct Row {
    const char* api;
    int nth;
    DWORD error;
    const char* message;
  };
  const Row rows[] = {
      /* 0 */ {"AllocateAndInitializeSid", 1, ERROR_NOT_ENOUGH_MEMORY, "Winsys: Administrator-1"},
      // The size query must fail with ERROR_INSUFFICIENT_BUFFER, nothing else.
      /* 1 */ {"GetTokenInformation", 1, ERROR_ACCESS_DENIED, "Winsys: Administrator-2"},
      /* 2 */ {"GetTokenInformation", 1, ERROR_INVALID_PARAMETER, "Winsys: Administrator-2"},
      /* 3 */ {"GetTokenInformation", 2, ERROR_ACCESS_DENIED, "Winsys: Administrator-3"},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    emu::Reset();
    emu::SetProcessTokenGroups({{kAdmins, SE_GROUP_ENABLED}});
    emu::FailCall(rows[i].api, rows[i].nth, rows[i].error);
    try {
      IsAdminUser();
      ADD_FAILURE() << "no error raised";
    } catch (const SystemError& e) {
      EXPECT_STREQ(e.ClassName(), "SystemError");
      EXPECT_EQ(e.Message(), rows[i].message);
    }
    // Buffer, token and SID are all given back while the error passes.
    EXPECT_EQ(emu::OutstandingSids(), 0u);
    EXPECT_EQ(emu::OpenHandleCount(), 0u);
    EXPECT_EQ(emu::CallCount("CloseHandle"), 1);
    EXPECT_EQ(emu::CallCount("FreeSid"), i == 0 ? 0 : 1);
    EXPECT_TRUE(emu::MessageBoxes().empty());
  }
}

// The whole start-up step, run by the process frame as the launcher runs it.
struct StartupSeen {
  bool entryRan = false;
  bool listThere = false;
  size_t listLines = 0;
  bool nt = false;
  bool admin = false;
};

int RunStartup(StartupSeen& seen) {
  return RunApplication(WinsysInitialize, [&seen] {
    seen.entryRan = true;
    seen.listThere = LogLines != nullptr;
    seen.listLines = seen.listThere ? LogLines->Count() : 0;
    seen.nt = IsNT;
    seen.admin = IsAdmin;
  });
}

void LoadLegacyKey() {
  emu::LoadRegistry(
      "REGEDIT4\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Kelmora\\Options]\r\n"
      "\"Level\"=dword:00000003\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Kelmora]\r\n\r\n");
}

TEST_F(Probe, StartupOnTheNtFamily) {
  struct Row {
    std::vector<emu::GroupSpec> groups;
    bool denyDelete;
    bool admin;
  };
  const Row rows[] = {
      /* 0 */ {{{kAdmins, SE_GROUP_ENABLED}}, false, true},
      /* 1 */ {{{kUsers, SE_GROUP_ENABLED}}, false, false},
      // A user who may not delete the legacy key goes on silently.
      /* 2 */ {{{kUsers, SE_GROUP_ENABLED}}, true, false},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    emu::Reset();
    emu::SetVersion(emu::VersionSpec{5, 1, 2600, VER_PLATFORM_WIN32_NT, "Service Pack 2"});
    emu::SetProcessTokenGroups(rows[i].groups);
    LoadLegacyKey();
    if (rows[i].denyDelete) emu::DenyDelete(HKEY_LOCAL_MACHINE, kLegacyPath);
    StartupSeen seen;
    EXPECT_EQ(RunStartup(seen), 0);
    EXPECT_TRUE(seen.entryRan);
    EXPECT_TRUE(seen.nt);
    EXPECT_EQ(seen.admin, rows[i].admin);
    EXPECT_TRUE(seen.listThere);
    EXPECT_EQ(seen.listLines, 0u);
    EXPECT_EQ(LogLines, nullptr) << "the end step releases the list";
    EXPECT_EQ(emu::RegKeyExists(HKEY_LOCAL_MACHINE, kLegacyPath), rows[i].denyDelete);
    EXPECT_TRUE(emu::RegKeyExists(HKEY_CURRENT_USER, kLegacyPath)) << "only the local machine";
    EXPECT_TRUE(emu::MessageBoxes().empty());
  }
}

TEST_F(Probe, StartupWithoutTheNtFamilyMakesNoTokenCall) {
  struct Row {
    bool failQuery;
  };
  const Row rows[] = {
      /* 0 */ {false},  // Windows 98
      /* 1 */ {true},   // a failed query reads as the 9x family
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    emu::Reset();
    emu::SetVersion(emu::VersionSpec{4, 10, 2222, VER_PLATFORM_WIN32_WINDOWS, " A "});
    if (rows[i].failQuery) {
      emu::SetVersion(emu::VersionSpec{5, 1, 2600, VER_PLATFORM_WIN32_NT, ""});
      emu::FailVersionQuery(ERROR_INVALID_PARAMETER);
    }
    emu::SetProcessTokenGroups({{kUsers, SE_GROUP_ENABLED}});
    LoadLegacyKey();
    StartupSeen seen;
    EXPECT_EQ(RunStartup(seen), 0);
    EXPECT_TRUE(seen.entryRan);
    EXPECT_FALSE(seen.nt);
    EXPECT_TRUE(seen.admin);
    EXPECT_EQ(emu::CallCount("OpenThreadToken"), 0);
    EXPECT_EQ(emu::CallCount("OpenProcessToken"), 0);
    EXPECT_FALSE(emu::RegKeyExists(HKEY_LOCAL_MACHINE, kLegacyPath));
    EXPECT_EQ(emu::MessageBoxes().size(), rows[i].failQuery ? 1u : 0u);
  }
}

TEST_F(Probe, StartupEndsWithTheAdministratorError) {
  emu::SetVersion(emu::VersionSpec{5, 0, 2195, VER_PLATFORM_WIN32_NT, ""});
  emu::SetProcessTokenGroups({{kAdmins, SE_GROUP_ENABLED}});
  emu::FailCall("GetTokenInformation", 2, ERROR_ACCESS_DENIED);
  LoadLegacyKey();
  // A list left from before shows that the end step was registered ahead of the probes.
  LogLines = std::make_unique<TStringList>();
  StartupSeen seen;
  EXPECT_EQ(RunStartup(seen), 1);
  EXPECT_FALSE(seen.entryRan);
  EXPECT_EQ(LogLines, nullptr);
  EXPECT_TRUE(emu::RegKeyExists(HKEY_LOCAL_MACHINE, kLegacyPath));
  ASSERT_EQ(emu::MessageBoxes().size(), 1u);
  const auto& box = emu::MessageBoxes()[0];
  EXPECT_EQ(box.caption, "Application Error");
  EXPECT_NE(box.text.find("Exception SystemError in module "), std::string::npos) << box.text;
  EXPECT_NE(box.text.find("\nWinsys: Administrator-3."), std::string::npos) << box.text;
}

TEST_F(Probe, EndStepWithoutAList) {
  LogLines.reset();
  WinsysFinalize();
  EXPECT_EQ(LogLines, nullptr);
  LogLines = std::make_unique<TStringList>();
  LogLines->Add("line");
  WinsysFinalize();
  EXPECT_EQ(LogLines, nullptr);
}

}  // namespace
