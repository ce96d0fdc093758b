// The setup run: source folder, temporary space, install files, engine choice, launch.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "launcher/setup.h"
#include "rtl/exceptions.h"
#include "tests/launcher/launcher_fixture.h"
#include "emu/szdd.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testsupport::Boxes;
using testsupport::kCompleteMedium;
using testsupport::kCompletePlainMedium;
using testsupport::Medium;

namespace {


class SetupRunTest : public LauncherTest {};

TEST_F(SetupRunTest, PlainEngineStartsFromTheMediumWithTheMediumAsItsFolder) {
  Medium("D:\\", kCompletePlainMedium);
  RunSetup("D:\\Setup.exe", "");

  EXPECT_THAT(Boxes(), IsEmpty());
  ASSERT_EQ(emu::Launches().size(), 1u);
  EXPECT_EQ(emu::Launches()[0].commandLine, "D:\\KEL.EXE \"D:\\\"");
  EXPECT_EQ(emu::Launches()[0].show, UINT{SW_SHOWNORMAL});
  EXPECT_EQ(emu::Launches()[0].currentDir, "D:\\");
  EXPECT_FALSE(emu::Exists("C:\\TEMP\\Kel.exe")) << "no expansion for the plain engine";
  EXPECT_EQ(SourceDir, "D:\\");
}

TEST_F(SetupRunTest, CompressedEngineIsExpandedIntoTheTempFolderAndStartedThere) {
  Medium("D:\\", kCompleteMedium);
  RunSetup("D:\\Setup.exe", "");

  EXPECT_THAT(Boxes(), IsEmpty());
  EXPECT_EQ(emu::FileContent("C:\\TEMP\\Kel.exe").value_or("<none>"), EngineBytes());
  ASSERT_EQ(emu::Launches().size(), 1u);
  EXPECT_EQ(emu::Launches()[0].commandLine, "C:\\TEMP\\KEL.EXE \"D:\\\"");
  EXPECT_EQ(emu::Launches()[0].currentDir, "C:\\TEMP");
}

TEST_F(SetupRunTest, PlainEngineWinsWhenBothFormsAreOnTheMedium) {
  Medium("D:\\", kCompleteMedium);
  Medium("D:\\", {"Kel.Exe"});
  RunSetup("D:\\Setup.exe", "");

  ASSERT_EQ(emu::Launches().size(), 1u);
  EXPECT_EQ(emu::Launches()[0].commandLine, "D:\\KEL.EXE \"D:\\\"");
  EXPECT_FALSE(emu::Exists("C:\\TEMP\\Kel.exe"));
}

TEST_F(SetupRunTest, SubfolderKelWin32BecomesTheSourceFolder) {
  Medium("D:\\kel\\win32\\", kCompleteMedium);
  RunSetup("D:\\Setup.exe", "");

  EXPECT_THAT(Boxes(), IsEmpty());
  ASSERT_EQ(emu::Launches().size(), 1u);
  EXPECT_EQ(emu::Launches()[0].commandLine, "C:\\TEMP\\KEL.EXE \"D:\\kel\\win32\\\"");
  EXPECT_EQ(SourceDir, "D:\\kel\\win32\\");
}

TEST_F(SetupRunTest, SourceFolderIsPassedInItsShortForm) {
  Medium("D:\\Kelmora Setup\\", kCompletePlainMedium);
  RunSetup("D:\\Kelmora Setup\\Setup.exe", "");

  ASSERT_EQ(emu::Launches().size(), 1u);
  EXPECT_EQ(emu::Launches()[0].commandLine, "D:\\KELMOR~1\\KEL.EXE \"D:\\KELMOR~1\\\"");
  EXPECT_EQ(emu::Launches()[0].currentDir, "D:\\KELMOR~1");
}

// The installation-state check answers for a medium without install files, so the run's own
// test only speaks when the medium loses a file between the two checks.
TEST_F(SetupRunTest, InstallFilesGoneAtTheSecondCheckStopWithNoticeOne) {
  Medium("D:\\", kCompleteMedium);
  // One dry pass of the check tells how many searches each check makes.
  ASSERT_TRUE(InstallFilesPresent("D:\\"));
  const int perCheck = emu::CallCount("FindFirstFileA");
  SetUp();  // a fresh machine
  Medium("D:\\", kCompleteMedium);
  // Searches: 1 for kel\win32, then a whole check, then the second check whose second-to-last
  // search is the one for "Lang*.*".
  emu::FailCall("FindFirstFileA", 1 + perCheck + perCheck - 1, ERROR_FILE_NOT_FOUND);

  RunSetup("D:\\Setup.exe", "");

  EXPECT_THAT(Boxes(), ElementsAre(std::string("Check Startup|Program install files missing. (1)") +
                                   kAdvice));
  EXPECT_THAT(emu::Launches(), IsEmpty());
}

TEST_F(SetupRunTest, InstallFilesPresentNeedsEveryFile) {
  struct Row {
    std::vector<std::string> files;
    bool present;
  } rows[] = {
      /* 0 */ {kCompleteMedium, true},
      /* 1 */ {kCompletePlainMedium, true},
      /* 2 */ {{"Install.Msg", "Common.801", "Lang801.txt", "Kel.JCF"}, false},
      /* 3 */ {{"Kel.Ex_", "Common.801", "Lang801.txt", "Kel.JCF"}, false},
      /* 4 */ {{"Kel.Ex_", "Install.Msg", "Lang801.txt", "Kel.JCF"}, false},
      /* 5 */ {{"Kel.Ex_", "Install.Msg", "Common.801", "Kel.JCF"}, false},
      /* 6 */ {{"Kel.Ex_", "Install.Msg", "Common.801", "Lang801.txt"}, false},
      /* 7 */ {{"KEL.EX_", "INSTALL.MSG", "COMMON.801", "LANGUAGE", "KEL.JCF"}, true},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(i);
    SetUp();  // a fresh machine
    Medium("D:\\", rows[i].files);
    EXPECT_EQ(InstallFilesPresent("D:\\"), rows[i].present);
  }
}

TEST_F(SetupRunTest, ALangFolderOrHiddenLangFileSatisfiesThePattern) {
  Medium("D:\\", {"Kel.Ex_", "Install.Msg", "Common.801", "Kel.JCF"});
  emu::AddFolder("D:\\Langs");
  EXPECT_TRUE(InstallFilesPresent("D:\\"));

  SetUp();  // a fresh machine
  Medium("D:\\", {"Kel.Ex_", "Install.Msg", "Common.801", "Kel.JCF"});
  emu::EntrySpec hidden;
  hidden.attributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  emu::AddFile("D:\\Lang801.dat", "x", hidden);
  EXPECT_TRUE(InstallFilesPresent("D:\\"));
}

TEST_F(SetupRunTest, TemporarySpaceDecidesTheWarningAndTheExpansionFolder) {
  const uint64_t kb = 1024;
  struct Row {
    std::string tempPath;
    char tempDrive;
    uint64_t tempDriveFree;
    uint64_t cDriveFree;
    bool warning;
    std::string expanded;  // where Kel.exe is written
    std::string commandStart;
  } rows[] = {
      /* 0 */ {"C:\\TEMP\\", 'C', 4096 * kb, 4096 * kb, false, "C:\\TEMP\\Kel.exe", "C:\\TEMP\\KEL.EXE"},
      /* 1 */ {"C:\\TEMP\\", 'C', 4095 * kb, 4095 * kb, true, "C:\\Kel.exe", "c:\\KEL.EXE"},
      /* 2 */ {"c:\\temp\\", 'C', 4095 * kb, 4095 * kb, true, "C:\\TEMP\\Kel.exe", "c:\\temp\\KEL.EXE"},
      /* 3 */ {"E:\\TMP\\", 'E', 100 * kb, 8192 * kb, false, "C:\\Kel.exe", "c:\\KEL.EXE"},
      /* 4 */ {"E:\\TMP\\", 'E', 100 * kb, 100 * kb, true, "C:\\Kel.exe", "c:\\KEL.EXE"},
      /* 5 */ {"E:\\TMP\\", 'E', 5ull << 30, 0, false, "E:\\TMP\\Kel.exe", "E:\\TMP\\KEL.EXE"},
      /* 6 */ {"C:\\TEMP\\", 'C', 4095 * kb + 1023, 4095 * kb + 1023, true, "C:\\Kel.exe", "c:\\KEL.EXE"},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    const Row& row = rows[i];
    SCOPED_TRACE(i);
    SetUp();  // a fresh machine
    if (row.tempDrive != 'C') {
      emu::DriveSpec spec;
      spec.freeBytes = row.tempDriveFree;
      emu::AddDrive(row.tempDrive, spec);
    }
    emu::SetDriveFreeBytes('C', row.cDriveFree);
    if (row.tempDrive != 'C') emu::SetDriveFreeBytes(row.tempDrive, row.tempDriveFree);
    emu::AddFolder(row.tempPath);
    emu::SetTempPath(row.tempPath);
    Medium("D:\\", kCompleteMedium);

    RunSetup("D:\\Setup.exe", "");

    std::vector<std::string> expectedBoxes;
    if (row.warning) {
      expectedBoxes.push_back("Setup Warning|Warning: 4 Megs of temporary space needed for Setup");
    }
    EXPECT_EQ(Boxes(), expectedBoxes);
    EXPECT_EQ(emu::FileContent(row.expanded).value_or("<none>"), EngineBytes());
    ASSERT_EQ(emu::Launches().size(), 1u);
    EXPECT_EQ(emu::Launches()[0].commandLine, row.commandStart + " \"D:\\\"");
  }
}

TEST_F(SetupRunTest, FreeDiskKBMeasuresInSixtyFourBits) {
  emu::SetDriveFreeBytes('C', 5ull << 30);
  EXPECT_EQ(FreeDiskKB(3), 5 * 1024 * 1024);
  emu::SetCurrentDir("C:\\TEMP");
  EXPECT_EQ(FreeDiskKB(0), 5 * 1024 * 1024) << "drive 0 is the current drive";
  EXPECT_EQ(FreeDiskKB(26), 0) << "no drive Z: counts as nothing free";
  EXPECT_EQ(FreeDiskKB(4), 0) << "a CD-ROM reports no free space";
  emu::SetDriveFreeBytes('C', 1023);
  EXPECT_EQ(FreeDiskKB(3), 0);
}

TEST_F(SetupRunTest, FailedFreeSpaceQueryCountsAsNothingFreeAndWarns) {
  Medium("D:\\", kCompleteMedium);
  emu::FailCall("GetDiskFreeSpaceA", 1, ERROR_NOT_READY);
  emu::FailCall("GetDiskFreeSpaceA", 2, ERROR_NOT_READY);
  RunSetup("D:\\Setup.exe", "");
  EXPECT_THAT(Boxes(),
              ElementsAre("Setup Warning|Warning: 4 Megs of temporary space needed for Setup"));
  EXPECT_EQ(emu::FileContent("C:\\Kel.exe").value_or("<none>"), EngineBytes());
}

TEST_F(SetupRunTest, FailedTempPathReportsAndFallsBackToDriveC) {
  Medium("D:\\", kCompleteMedium);
  emu::FailTempPath(ERROR_ACCESS_DENIED);
  RunSetup("D:\\Setup.exe", "");

  EXPECT_THAT(Boxes(), ElementsAre("Windows Error: GetTempPath|" + SystemText(ERROR_ACCESS_DENIED)));
  EXPECT_EQ(emu::FileContent("C:\\Kel.exe").value_or("<none>"), EngineBytes());
  ASSERT_EQ(emu::Launches().size(), 1u);
  EXPECT_EQ(emu::Launches()[0].commandLine, "c:\\KEL.EXE \"D:\\\"");
}

TEST_F(SetupRunTest, TempFolderLongerThanTheOldBufferIsUsedWhole) {
  std::string longFolder = "C:\\";
  for (int i = 0; i < 30; ++i) longFolder += "folder" + std::to_string(i) + "\\";
  ASSERT_GT(longFolder.size(), 255u);
  emu::SetTempPath(longFolder);
  Medium("D:\\", kCompleteMedium);
  RunSetup("D:\\Setup.exe", "");

  // The folder does not exist, so the expansion names it whole in its notice.
  ASSERT_FALSE(Boxes().empty());
  EXPECT_EQ(Boxes().back(), "CopyFile|Error opening destination file \"" + longFolder + "Kel.exe\"");
  EXPECT_THAT(emu::Launches(), IsEmpty());
}

TEST_F(SetupRunTest, EnginePathWithABlankIsQuoted) {
  emu::AddFolder("C:\\My Temp");
  emu::SetTempPath("C:\\My Temp\\");
  Medium("D:\\", kCompleteMedium);
  // No short form to be had for the temp folder (second short-path query).
  emu::FailCall("GetShortPathNameA", 2, ERROR_ACCESS_DENIED);
  RunSetup("D:\\Setup.exe", "");

  ASSERT_EQ(emu::Launches().size(), 1u);
  EXPECT_EQ(emu::Launches()[0].commandLine, "\"C:\\My Temp\\KEL.EXE\" \"D:\\\"");
  EXPECT_EQ(emu::Launches()[0].result, 33u) << "the engine itself was found";
}

TEST_F(SetupRunTest, EveryLaunchResultHasItsNotice) {
  const std::string plain = "D:\\KEL.EXE";
  struct Row {
    UINT result;
    std::string notice;  // empty: none
  } rows[] = {
      /* 0 */ {0, "0-System was out of memory, executable file was corrupt, or relocations were invalid."},
      /* 1 */ {1, "Failed to run SETUP1.EXE. Error code: 1"},
      /* 2 */ {2, "2-File was not found. " + plain},
      /* 3 */ {3, "3-Path was not found. " + plain},
      /* 4 */ {4, "Failed to run SETUP1.EXE. Error code: 4"},
      /* 5 */ {5, "5-Attempt was made to dynamically link to a task, or there was a sharing or network-protection error."},
      /* 6 */ {6, "6-Library required separate data segments for each task."},
      /* 7 */ {7, "Failed to run SETUP1.EXE. Error code: 7"},
      /* 8 */ {8, "8-There was insufficient memory to start the application."},
      /* 9 */ {9, "Failed to run SETUP1.EXE. Error code: 9"},
      /* 10 */ {10, "10-Windows version was incorrect."},
      /* 11 */ {11, "11-Executable file was invalid. Either it was not a Windows application or there was an error in the .EXE image."},
      /* 12 */ {12, "12-Application was designed for a different operating system."},
      /* 13 */ {13, "13-Application was designed for MS-DOS 4.0."},
      /* 14 */ {14, "14-Type of executable file was unknown."},
      /* 15 */ {15, "15-Attempt was made to load a real-mode application (developed for an earlier version of Windows)."},
      /* 16 */ {16, "16-Attempt was made to load a second instance of an executable file containing multiple data segments that were not marked read-only."},
      /* 17 */ {17, "Failed to run SETUP1.EXE. Error code: 17"},
      /* 18 */ {18, "Failed to run SETUP1.EXE. Error code: 18"},
      /* 19 */ {19, "19-Attempt was made to load a compressed executable file. The file must be decompressed before it can be loaded."},
      /* 20 */ {20, "20-Dynamic-link library (DLL) file was invalid. One of the DLLs required to run this application was corrupt."},
      /* 21 */ {21, "21-Application requires 32-bit extensions."},
      /* 22 */ {22, "Failed to run SETUP1.EXE. Error code: 22"},
      /* 23 */ {31, "Failed to run SETUP1.EXE. Error code: 31"},
      /* 24 */ {32, ""},
      /* 25 */ {33, ""},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    const Row& row = rows[i];
    SCOPED_TRACE(i);
    SetUp();  // a fresh machine
    Medium("D:\\", kCompletePlainMedium);
    emu::ScriptWinExecResult(row.result, row.result < 32 ? ERROR_FILE_NOT_FOUND : 0);

    RunSetup("D:\\Setup.exe", "");

    std::vector<std::string> expected;
    if (row.result < 32) {
      expected.push_back("Windows Error: WinExec|" + SystemText(ERROR_FILE_NOT_FOUND));
    }
    if (!row.notice.empty()) expected.push_back("WinExec|" + row.notice);
    EXPECT_EQ(Boxes(), expected);
  }
}

TEST_F(SetupRunTest, FileNotFoundOnTheExpandedRouteNamesTheTempFolder) {
  Medium("D:\\", kCompleteMedium);
  emu::ScriptWinExecResult(2, ERROR_FILE_NOT_FOUND);
  RunSetup("D:\\Setup.exe", "");
  ASSERT_FALSE(Boxes().empty());
  EXPECT_EQ(Boxes().back(), "WinExec|2-File was not found. C:\\TEMP\\KEL.EXE");
}

TEST_F(SetupRunTest, LaunchFailureWithoutALastErrorShowsOnlyTheResultNotice) {
  Medium("D:\\", kCompletePlainMedium);
  emu::ScriptWinExecResult(11, 0);
  RunSetup("D:\\Setup.exe", "");
  EXPECT_THAT(Boxes(), ElementsAre(::testing::StartsWith("WinExec|11-Executable file was invalid.")));
}

TEST_F(SetupRunTest, ScreenReaderErrorShowsItsNoticeOnlyWhenRegisteredAndTheEngineStillStarts) {
  Medium("D:\\", kCompleteMedium);
  emu::SetRegDword(HKEY_CLASSES_ROOT, ".jcf", "", 7);
  RunSetup("D:\\Setup.exe", "");
  EXPECT_THAT(Boxes(), ElementsAre("Setup Error|Error accessing Jaws Windows' Registry"));
  EXPECT_EQ(emu::Launches().size(), 1u);

  // The same error while the registration cannot be confirmed shows nothing. A dry run tells
  // which key opening is the confirmation (the last one of the run).
  const int opens = emu::CallCount("RegOpenKeyExA");
  SetUp();  // a fresh machine
  Medium("D:\\", kCompleteMedium);
  emu::SetRegDword(HKEY_CLASSES_ROOT, ".jcf", "", 7);
  emu::FailCall("RegOpenKeyExA", opens, ERROR_ACCESS_DENIED);
  RunSetup("D:\\Setup.exe", "");
  EXPECT_THAT(Boxes(), IsEmpty());
  EXPECT_EQ(emu::Launches().size(), 1u);
}

TEST_F(SetupRunTest, FailedChangeOfFolderRaisesAnInputOutputError) {
  Medium("D:\\", kCompletePlainMedium);
  emu::FailCall("SetCurrentDirectoryA", 1, ERROR_ACCESS_DENIED);
  try {
    RunSetup("D:\\Setup.exe", "");
    FAIL() << "no error raised";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Message(), "File access denied");
  }
  EXPECT_THAT(emu::Launches(), IsEmpty());
}

TEST_F(SetupRunTest, KelDelAnywhereInTheOwnPathDoesNothing) {
  const char* paths[] = {
      /* 0 */ "D:\\KelDel.Exe",
      /* 1 */ "D:\\KELDELETE\\Setup.exe",
      /* 2 */ "C:\\Program Files\\keldel\\x\\Setup.exe",
  };
  for (size_t i = 0; i < std::size(paths); ++i) {
    SCOPED_TRACE(i);
    SetUp();  // a fresh machine
    Medium("D:\\", {"Install.Msg"});  // would show a notice if the run started
    SetLauncher(paths[i], "");
    LauncherEntry();
    EXPECT_THAT(Boxes(), IsEmpty());
    EXPECT_THAT(emu::Launches(), IsEmpty());
  }
}

TEST_F(SetupRunTest, ExpandFileCopiesAPlainFileUnchanged) {
  emu::AddFile("D:\\Kel.Ex_", "not compressed at all");
  EXPECT_TRUE(ExpandFile("D:\\Kel.Ex_", "C:\\TEMP\\Kel.exe"));
  EXPECT_EQ(emu::FileContent("C:\\TEMP\\Kel.exe").value_or("<none>"), "not compressed at all");
  EXPECT_THAT(Boxes(), IsEmpty());
}

TEST_F(SetupRunTest, ExpandFileFailuresEachShowTheirNotice) {
  EXPECT_FALSE(ExpandFile("D:\\Kel.Ex_", "C:\\TEMP\\Kel.exe"));
  EXPECT_THAT(Boxes(), ElementsAre("CopyFile|Error opening source file \"D:\\Kel.Ex_\""));

  SetUp();  // a fresh machine
  emu::AddFile("D:\\Kel.Ex_", emu::szdd::LiteralStream("engine"));
  // LZ32 retries a name it cannot open under its compressed spelling, so only a folder that
  // does not exist makes the destination fail for sure.
  EXPECT_FALSE(ExpandFile("D:\\Kel.Ex_", "C:\\GONE\\Kel.exe"));
  EXPECT_THAT(Boxes(), ElementsAre("CopyFile|Error opening destination file \"C:\\GONE\\Kel.exe\""));
  EXPECT_EQ(emu::OpenHandleCount(), 0u) << "the source was closed again";

  SetUp();  // a fresh machine
  emu::AddFile("D:\\Kel.Ex_", emu::szdd::LiteralStream("engine"));
  emu::FailCall("WriteFile", 1, ERROR_DISK_FULL);
  EXPECT_FALSE(ExpandFile("D:\\Kel.Ex_", "C:\\TEMP\\Kel.exe"));
  EXPECT_THAT(Boxes(), ElementsAre("CopyFile|Error copying file \"D:\\Kel.Ex_\" to \"C:\\TEMP\\Kel.exe\""));
  EXPECT_EQ(emu::OpenHandleCount(), 0u) << "both files closed";
}

// LZ32 takes a failed read for the end of the data: the copy "succeeds" with a cut-short
// engine. The length shows it, and the engine is not started from such a copy.
TEST_F(SetupRunTest, ExpandFileRefusesACutShortExpansion) {
  const std::string engine(300000, 'E');
  const int rows[] = {
      /* 0 */ 2,  // the first block of the body
      /* 1 */ 3,  // a later block
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i);
    SetUp();  // a fresh machine
    emu::AddFile("D:\\Kel.Ex_", emu::szdd::LiteralStream(engine));
    emu::FailCall("ReadFile", rows[i], ERROR_READ_FAULT);

    EXPECT_FALSE(ExpandFile("D:\\Kel.Ex_", "C:\\TEMP\\Kel.exe"));

    EXPECT_TRUE(emu::FaultFired());
    EXPECT_THAT(Boxes(), ElementsAre("CopyFile|Error copying file \"D:\\Kel.Ex_\" to \"C:\\TEMP\\Kel.exe\""));
    EXPECT_EQ(emu::OpenHandleCount(), 0u);
  }
  // Without a fault the same engine expands whole.
  SetUp();  // a fresh machine
  emu::AddFile("D:\\Kel.Ex_", emu::szdd::LiteralStream(engine));
  EXPECT_TRUE(ExpandFile("D:\\Kel.Ex_", "C:\\TEMP\\Kel.exe"));
  EXPECT_TRUE(emu::FileContent("C:\\TEMP\\Kel.exe") == engine);
}

}  // namespace
