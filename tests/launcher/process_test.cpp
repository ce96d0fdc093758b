// The whole process: start-up steps, the entry, the end steps, the standard error box, exit codes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "launcher/setup.h"
#include "tests/launcher/launcher_fixture.h"
#include "winsys/probe.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::MatchesRegex;
using testsupport::Boxes;
using testsupport::kCompleteMedium;
using testsupport::Medium;

namespace {

const char kLegacy[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Kelmora";

class ProcessTest : public LauncherTest {
 protected:
  void SetUp() override {
    LauncherTest::SetUp();
    emu::CreateRegKey(HKEY_LOCAL_MACHINE, std::string(kLegacy) + "\\Sub\\Deeper");
  }
};

TEST_F(ProcessTest, NormalRunExitsWithZeroAndRemovesTheLegacyKey) {
  Medium("D:\\", kCompleteMedium);
  EXPECT_EQ(RunLauncherProcess(), 0);
  EXPECT_EQ(emu::Launches().size(), 1u);
  EXPECT_FALSE(emu::RegKeyExists(HKEY_LOCAL_MACHINE, kLegacy));
  EXPECT_EQ(LogLines, nullptr) << "the end step released the log list";
  EXPECT_EQ(emu::OpenKeyCount(), 0u);
  EXPECT_EQ(emu::OpenHandleCount(), 0u);
}

TEST_F(ProcessTest, KelDelLauncherDoesNothingButTheStartUpStep) {
  Medium("D:\\", kCompleteMedium);
  SetLauncher("D:\\KELDEL.EXE", "");
  EXPECT_EQ(RunLauncherProcess(), 0);
  EXPECT_THAT(Boxes(), IsEmpty());
  EXPECT_THAT(emu::Launches(), IsEmpty());
  EXPECT_FALSE(emu::RegKeyExists(HKEY_LOCAL_MACHINE, kLegacy));
}

TEST_F(ProcessTest, UncaughtErrorShowsTheStandardErrorBoxAndExitsWithOne) {
  Medium("D:\\", kCompleteMedium);
  emu::FailCall("SetCurrentDirectoryA", 1, ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(RunLauncherProcess(), 1);
  ASSERT_EQ(emu::MessageBoxes().size(), 1u);
  const emu::MessageBoxCall& box = emu::MessageBoxes()[0];
  EXPECT_EQ(box.caption, "Application Error");
  EXPECT_EQ(box.owner, nullptr);
  EXPECT_EQ(box.style, UINT{MB_OK | MB_ICONSTOP | MB_TASKMODAL});
  EXPECT_THAT(box.text, MatchesRegex("Exception EInOutError in module Setup\\.exe at [0-9A-F]+\\.\n"
                                     "Invalid filename\\."));
  EXPECT_THAT(emu::Launches(), IsEmpty());
  EXPECT_EQ(LogLines, nullptr);
}

TEST_F(ProcessTest, AdministratorTestFailuresEndTheProcessBeforeTheEntry) {
  struct Row {
    const char* api;
    int nth;
    DWORD error;
    const char* message;
  } rows[] = {
      /* 0 */ {"AllocateAndInitializeSid", 1, ERROR_NOT_ENOUGH_MEMORY, "Winsys: Administrator-1."},
      /* 1 */ {"GetTokenInformation", 1, ERROR_ACCESS_DENIED, "Winsys: Administrator-2."},
      /* 2 */ {"GetTokenInformation", 2, ERROR_ACCESS_DENIED, "Winsys: Administrator-3."},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(i);
    SetUp();  // a fresh machine
    Medium("D:\\", kCompleteMedium);
    emu::FailCall(rows[i].api, rows[i].nth, rows[i].error);

    EXPECT_EQ(RunLauncherProcess(), 1);
    ASSERT_EQ(emu::MessageBoxes().size(), 1u);
    EXPECT_EQ(emu::MessageBoxes()[0].caption, "Application Error");
    EXPECT_THAT(emu::MessageBoxes()[0].text,
                MatchesRegex(std::string("Exception SystemError in module Setup\\.exe at [0-9A-F]+\\.\n") +
                             rows[i].message));
    EXPECT_THAT(emu::Launches(), IsEmpty());
    EXPECT_TRUE(emu::RegKeyExists(HKEY_LOCAL_MACHINE, kLegacy)) << "the start-up step stopped before it";
    EXPECT_EQ(emu::OutstandingSids(), 0u);
    EXPECT_EQ(emu::OpenHandleCount(), 0u);
  }
}

TEST_F(ProcessTest, NineXFamilyRunsWithoutTheAdministratorTest) {
  emu::VersionSpec v;
  v.major = 4;
  v.minor = 10;
  v.platform = VER_PLATFORM_WIN32_WINDOWS;
  emu::SetVersion(v);
  emu::FailCall("OpenProcessToken", 1, ERROR_ACCESS_DENIED);  // would matter on NT only
  Medium("D:\\", kCompleteMedium);
  EXPECT_EQ(RunLauncherProcess(), 0);
  EXPECT_FALSE(IsNT);
  EXPECT_TRUE(IsAdmin);
  EXPECT_EQ(emu::CallCount("OpenProcessToken"), 0);
  EXPECT_EQ(emu::Launches().size(), 1u);
}

TEST_F(ProcessTest, UndeletableLegacyKeyIsLeftSilently) {
  emu::DenyDelete(HKEY_LOCAL_MACHINE, std::string(kLegacy) + "\\Sub\\Deeper");
  Medium("D:\\", kCompleteMedium);
  EXPECT_EQ(RunLauncherProcess(), 0);
  EXPECT_THAT(Boxes(), IsEmpty());
  EXPECT_TRUE(emu::RegKeyExists(HKEY_LOCAL_MACHINE, std::string(kLegacy) + "\\Sub\\Deeper"));
  EXPECT_EQ(emu::Launches().size(), 1u);
}

}  // namespace
