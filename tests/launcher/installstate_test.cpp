// The installation-state check, the module hand-off and the autorun shortcut.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "launcher/installstate.h"
#include "launcher/setup.h"
#include "tests/launcher/launcher_fixture.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testsupport::Boxes;
using testsupport::kCompleteMedium;
using testsupport::Medium;

namespace {


class InstallStateTest : public LauncherTest {
 protected:
  // An installed copy in C:\KELMORA\ with its data folder C:\KELDATA\.
  void Installed(const std::string& displayName, bool withProgram = true) {
    emu::SetRegString(HKEY_CURRENT_USER, kUninstall, "DisplayName", displayName);
    emu::SetRegString(HKEY_CURRENT_USER, kUninstall, "UninstallString",
                      "C:\\KELMORA\\KelDel.Exe /u x C:\\KELDATA\\");
    emu::AddFolder("C:\\KELMORA");
    emu::AddFolder("C:\\KELDATA");
    if (withProgram) emu::AddFile("C:\\KELMORA\\Kel.Exe", "MZ installed");
  }
};

TEST_F(InstallStateTest, DecisionByDisplayNameInstallFilesAndInstalledProgram) {
  struct Row {
    const char* displayName;  // nullptr: no uninstall entry
    bool program;             // the installed Kel.Exe exists
    bool files;               // the medium carries the install files
    bool result;
    const char* notice;       // shown with the download advice; nullptr: none
    bool handOff;             // the installed program is started
  } rows[] = {
      /* 0 */ {nullptr, false, true, true, nullptr, false},
      /* 1 */ {nullptr, false, false, false, "Program install files missing (2) <> <", false},
      /* 2 */ {"Kelmora 7.5.1", true, true, true, nullptr, false},
      /* 3 */ {"Kelmora 7.5.1", true, false, false, "Current Kelmora Program too old to install modules", false},
      /* 4 */ {"Kelmora 7.5", true, false, false, nullptr, true},
      /* 5 */ {"Kelmora", true, false, false, nullptr, true},
      /* 6 */ {"Kelmora 7.5", false, false, false, "Program not properly installed", false},
      /* 7 */ {"Kelmora 7.5", false, true, true, nullptr, false},
      /* 8 */ {"Kelmora 7000000", true, false, false, nullptr, true},
      /* 9 */ {"Kelmora 7000001", true, false, false, "Current Kelmora Program too old to install modules", false},
      /* 10 */ {"Kelmora 8999999", true, false, false, "Current Kelmora Program too old to install modules", false},
      /* 11 */ {"Kelmora 9000000", true, false, false, nullptr, true},
      // Digits beyond 32 bits count as a version outside the too-old window.
      /* 12 */ {"Kelmora 2147483648", true, true, true, nullptr, false},
      /* 13 */ {"Kelmora 99999999999999999999", true, false, false, nullptr, true},
      /* 14 */ {"Kelmora 2147483647", true, false, false, nullptr, true},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    const Row& row = rows[i];
    SCOPED_TRACE(i);
    SetUp();  // a fresh machine
    if (row.displayName) Installed(row.displayName, row.program);
    if (row.files) Medium("D:\\", kCompleteMedium);
    Medium("D:\\", {"Texts801.dat"});

    EXPECT_EQ(CheckInstallState("D:\\"), row.result);

    std::vector<std::string> expected;
    if (row.notice) expected.push_back(std::string("Check Startup|") + row.notice + kAdvice);
    EXPECT_EQ(Boxes(), expected);
    EXPECT_EQ(emu::Launches().size(), row.handOff ? 1u : 0u);
  }
}

TEST_F(InstallStateTest, MissingInstallFilesNoticeNamesTheInstallFolder) {
  // A folder but no display name: the notice shows both, the folder without a closing ">".
  emu::SetRegString(HKEY_CURRENT_USER, kUninstall, "UninstallString", "C:\\KELMORA\\KelDel.Exe");
  EXPECT_FALSE(CheckInstallState("D:\\"));
  EXPECT_THAT(Boxes(), ElementsAre(std::string("Check Startup|Program install files missing (2) <> <C:\\KELMORA\\") + kAdvice));
}

TEST_F(InstallStateTest, RegistryErrorShowsItsNoticeAndTheCheckGoesOn) {
  emu::SetRegDword(HKEY_CURRENT_USER, kUninstall, "DisplayName", 751);
  Medium("D:\\", kCompleteMedium);
  EXPECT_TRUE(CheckInstallState("D:\\"));
  EXPECT_THAT(Boxes(), ElementsAre("Setup Error|Error accessing KEL Windows' Registry"));

  SetUp();  // a fresh machine
  emu::SetRegDword(HKEY_CURRENT_USER, kUninstall, "DisplayName", 751);
  EXPECT_FALSE(CheckInstallState("D:\\"));
  EXPECT_THAT(Boxes(), ElementsAre("Setup Error|Error accessing KEL Windows' Registry",
                                   std::string("Check Startup|Program install files missing (2) <> <") + kAdvice));
}

TEST_F(InstallStateTest, HandOffWritesTheModuleListAndStartsTheInstalledProgram) {
  Installed("Kelmora 7.5");
  for (const char* name : {"Texts801.dat", "Install.801", "COMMON.801", "BetaEng.801",
                           "Lang801.txt", "Notes101.x", ".801", "readme.txt", "x1801"}) {
    emu::AddFile(std::string("D:\\") + name, "m");
  }
  emu::AddFolder("D:\\Mods801");

  EXPECT_FALSE(CheckInstallState("D:\\"));

  EXPECT_THAT(Boxes(), IsEmpty());
  // Listing order is the folder's (sorted on this emulated volume).
  EXPECT_EQ(emu::FileContent("C:\\KELDATA\\AutoLoad.Lst").value_or("<none>"),
            "D:\\Mods801\r\nD:\\Notes101.x\r\nD:\\Texts801.dat\r\nD:\\x1801\r\nSetup 2.0\r\n");
  ASSERT_EQ(emu::Launches().size(), 1u);
  EXPECT_EQ(emu::Launches()[0].commandLine, "C:\\KELMORA\\Kel.Exe");
  EXPECT_EQ(emu::Launches()[0].show, UINT{SW_SHOWNORMAL});
  EXPECT_EQ(emu::Launches()[0].currentDir, "C:\\KELMORA");
}

TEST_F(InstallStateTest, HandOffWithoutModulesRemovesTheOldListAndStillStarts) {
  Installed("Kelmora 7.5");
  emu::AddFile("C:\\KELDATA\\AutoLoad.Lst", "D:\\Old801.dat\r\nSetup 2.0\r\n");
  emu::AddFile("D:\\readme.txt", "r");

  EXPECT_FALSE(CheckInstallState("D:\\"));
  EXPECT_FALSE(emu::Exists("C:\\KELDATA\\AutoLoad.Lst"));
  EXPECT_EQ(emu::Launches().size(), 1u);
  EXPECT_THAT(Boxes(), IsEmpty());
}

TEST_F(InstallStateTest, DataFolderFallsBackToTheInstallFolder) {
  struct Row {
    const char* uninstall;
  } rows[] = {
      /* 0 */ {"C:\\KELMORA\\KelDel.Exe /u x"},            // no fourth token
      /* 1 */ {"C:\\KELMORA\\KelDel.Exe /u x D:\\DATA\\"},  // on the read-only CD
      /* 2 */ {"C:\\KELMORA\\KelDel.Exe /u x C:\\GONE\\"},  // does not exist
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(i);
    SetUp();  // a fresh machine
    Installed("Kelmora 7.5");
    emu::SetRegString(HKEY_CURRENT_USER, kUninstall, "UninstallString", rows[i].uninstall);
    emu::AddFile("D:\\Texts801.dat", "m");
    EXPECT_FALSE(CheckInstallState("D:\\"));
    EXPECT_EQ(emu::FileContent("C:\\KELMORA\\AutoLoad.Lst").value_or("<none>"),
              "D:\\Texts801.dat\r\nSetup 2.0\r\n");
  }
}

TEST_F(InstallStateTest, FailedSaveLeavesNoPartialListAndStillStarts) {
  Installed("Kelmora 7.5");
  // Room for the writability probe, not for the list.
  const std::string longName(100, 'M');
  for (int i = 0; i < 40; ++i) emu::AddFile("D:\\" + longName + std::to_string(i) + "801", "m");
  emu::SetDriveFreeBytes('C', 512);

  EXPECT_FALSE(CheckInstallState("D:\\"));
  EXPECT_THAT(Boxes(), ElementsAre(std::string("Check Startup|Unable to Auto Install modules") + kAdvice));
  EXPECT_FALSE(emu::Exists("C:\\KELDATA\\AutoLoad.Lst"));
  EXPECT_EQ(emu::Launches().size(), 1u);
}

TEST_F(InstallStateTest, InstallFolderWithABlankIsStartedQuoted) {
  emu::SetRegString(HKEY_CURRENT_USER, kUninstall, "DisplayName", "Kelmora 7.5");
  emu::SetRegString(HKEY_CURRENT_USER, kUninstall, "UninstallString",
                    "C:\\Program Files\\Kelmora\\KelDel.Exe /u x");
  emu::AddFile("C:\\Program Files\\Kelmora\\Kel.Exe", "MZ installed");
  emu::AddFile("C:\\Program.exe", "MZ somebody else's program");
  emu::AddFile("D:\\Texts801.dat", "m");

  EXPECT_FALSE(CheckInstallState("D:\\"));
  ASSERT_EQ(emu::Launches().size(), 1u);
  EXPECT_EQ(emu::Launches()[0].commandLine, "\"C:\\Program Files\\Kelmora\\Kel.Exe\"");
  EXPECT_EQ(emu::FileContent("C:\\Program Files\\Kelmora\\AutoLoad.Lst").value_or("<none>"),
            "D:\\Texts801.dat\r\nSetup 2.0\r\n");
}

TEST_F(InstallStateTest, AutorunShortcutComparesTheFileDates) {
  const FILETIME engine = emu::LocalTime(2026, 5, 4, 10, 20, 30);
  const FILETIME twoSecondsOlder = emu::LocalTime(2026, 5, 4, 10, 20, 28);
  const FILETIME newer = emu::LocalTime(2026, 6, 1, 0, 0, 0);
  struct Row {
    const char* argument;
    FILETIME installed;
    bool programExists;
    bool upToDate;
  } rows[] = {
      /* 0 */ {"autorun", engine, true, true},
      /* 1 */ {"AUTORUN", newer, true, true},
      /* 2 */ {"autorun", twoSecondsOlder, true, false},
      /* 3 */ {"autorun", engine, false, false},
      /* 4 */ {"", newer, true, false},
      /* 5 */ {"autorun2", newer, true, false},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    const Row& row = rows[i];
    SCOPED_TRACE(i);
    SetUp();  // a fresh machine
    Installed("Kelmora 7.5", false);
    emu::EntrySpec spec;
    spec.lastWrite = row.installed;
    if (row.programExists) emu::AddFile("C:\\KELMORA\\Kel.Exe", "MZ installed", spec);
    spec.lastWrite = engine;
    emu::AddFile("D:\\Kel.Ex_", "engine", spec);
    EXPECT_EQ(AutorunUpToDate("D:\\Kel.ex_", row.argument), row.upToDate);
  }
}

TEST_F(InstallStateTest, AutorunStartWithAnUpToDateCopyEndsQuietly) {
  const FILETIME stamp = emu::LocalTime(2026, 5, 4, 10, 20, 30);
  Installed("Kelmora 7.5", false);
  emu::EntrySpec spec;
  spec.lastWrite = stamp;
  emu::AddFile("C:\\KELMORA\\Kel.Exe", "MZ installed", spec);
  Medium("D:\\", testsupport::kCompletePlainMedium);
  emu::AddFile("D:\\Kel.Exe", "engine", spec);
  RunSetup("D:\\Setup.exe", "AutoRun");
  EXPECT_THAT(Boxes(), IsEmpty());
  EXPECT_THAT(emu::Launches(), IsEmpty());

  // Started by hand, the same medium runs the setup.
  RunSetup("D:\\Setup.exe", "");
  EXPECT_EQ(emu::Launches().size(), 1u);
}

}  // namespace
