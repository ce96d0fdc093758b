// The JAWS configuration install against the emulated registry and file system. Its log
// lines are read back from LogLines, with the start-up log switched on for the test.
#include "screenreader/screenreader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "emu/core.h"
#include "emu/fs.h"
#include "emu/registry.h"
#include "emu/system.h"
#include "rtl/exceptions.h"
#include "winsys/errors.h"

namespace {

using Lines = std::vector<std::string>;

const char kSource[] = "C:\\Media\\";
const char kSourceFile[] = "C:\\Media\\Kel.JCF";
const char kSettings[] = "C:\\JAWS\\Settings\\";
const char kFileType[] = "JAWS.Configuration";
const char kCommandKey[] = "JAWS.Configuration\\shell\\open\\command";
const char kCommand[] = "C:\\JAWS\\jconfig.exe \"%1\"";

const std::string kTypeLine = "  JAWS: Config File Type = \"JAWS.Configuration\"";
const std::string kCommandLine = "  JAWS: Command Path = \"C:\\JAWS\\jconfig.exe \"%1\"\"";
const std::string kSettingsLine = "  JAWS: Settings Path = C:\\JAWS\\Settings\\";

std::string Dir(const std::string& name) { return "  JAWS: Settings Directory " + name; }
std::string Target(const std::string& folder) {
  return std::string(kSettings) + folder + "\\Kel.Jcf";
}
std::string Installing(const std::string& folder) {
  return "  JAWS: Installing in " + Target(folder);
}
std::string Already(const std::string& folder) {
  return "  JAWS: Already Installed in " + Target(folder);
}
std::string CopyFailed(const std::string& folder) {
  return "  JAWS: Copy failed to " + Target(folder);
}

emu::EntrySpec Dated(const FILETIME& time, DWORD attributes = FILE_ATTRIBUTE_ARCHIVE) {
  emu::EntrySpec spec;
  spec.attributes = attributes;
  spec.lastWrite = time;
  return spec;
}

class ScreenReader : public ::testing::Test {
 protected:
  const FILETIME sourceTime = emu::LocalTime(2024, 3, 14, 9, 30, 0);
  const FILETIME olderTime = emu::LocalTime(2024, 3, 14, 9, 29, 58);
  const FILETIME newerTime = emu::LocalTime(2025, 1, 1, 0, 0, 0);

  void SetUp() override {
    emu::Reset();
    LogDir = "C:\\Log\\";  // no Startup.Log there: the lines only reach LogLines
    LogLines = std::make_unique<TStringList>();
  }
  void TearDown() override {
    // Keys, the listing and every file are given back on every path.
    EXPECT_EQ(emu::OpenKeyCount(), 0u);
    EXPECT_EQ(emu::OpenHandleCount(), 0u);
    EXPECT_TRUE(emu::MessageBoxes().empty()) << "the stage shows no notice of its own";
    LogDir.clear();
    LogLines.reset();
  }

  void RegisterJaws(const std::string& command = kCommand) {
    emu::SetRegString(HKEY_CLASSES_ROOT, ".jcf", "", kFileType);
    emu::SetRegString(HKEY_CLASSES_ROOT, kCommandKey, "", command);
  }
  void AddSource() {
    emu::AddFile(kSourceFile, "configuration 2", Dated(sourceTime));
  }
  // Runs the stage with a fresh log and hands back its lines.
  Lines Run() {
    LogLines->Clear();
    InstallScreenReaderConfig(kSource);
    return LogLines->Lines();
  }
};

// Where the stage stops, and what it has said by then. Nothing is copied in any row.
TEST_F(ScreenReader, RegistrationDecidesHowFarTheStageGoes) {
  enum Setup { kNoJcf, kJcfDenied, kEmptyType, kNoTypeValue, kNoCommandKey, kCommandDenied,
               kEmptyCommand, kCommandWithout, kNoSettingsFolder, kQuotedCommand };
  struct Row {
    Setup setup;
    Lines log;
  };
  const Row rows[] = {
      /* 0 */ {kNoJcf, {"  JAWS: Not Installed"}},
      /* 1 */ {kJcfDenied, {"  JAWS: Not Installed"}},
      /* 2 */ {kEmptyType, {"  JAWS: Config File Type = \"\""}},
      /* 3 */ {kNoTypeValue, {"  JAWS: Config File Type = \"\""}},
      /* 4 */ {kNoCommandKey, {kTypeLine}},
      /* 5 */ {kCommandDenied, {kTypeLine}},
      /* 6 */ {kEmptyCommand, {kTypeLine, "  JAWS: Command Path = \"\""}},
      /* 7 */ {kCommandWithout, {kTypeLine, "  JAWS: Command Path = \"C:\\JAWS\\jconfig.ex\""}},
      /* 8 */ {kNoSettingsFolder,
               {kTypeLine, "  JAWS: Command Path = \"C:\\Other\\JConfig.EXE\"",
                "  JAWS: Settings Path = C:\\Other\\Settings\\"}},
      // The quote stays in front of the folder, so the listing finds nothing.
      /* 9 */ {kQuotedCommand,
               {kTypeLine, "  JAWS: Command Path = \"\"C:\\JAWS\\jconfig.exe\" \"%1\"\"",
                "  JAWS: Settings Path = \"C:\\JAWS\\Settings\\"}},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    emu::Reset();
    AddSource();
    emu::AddFolder(std::string(kSettings) + "A");
    switch (rows[i].setup) {
      case kNoJcf: break;
      case kJcfDenied:
        RegisterJaws();
        emu::DenyFullAccess(HKEY_CLASSES_ROOT, ".jcf");
        break;
      case kEmptyType:
        RegisterJaws();
        emu::SetRegString(HKEY_CLASSES_ROOT, ".jcf", "", "");
        break;
      case kNoTypeValue:
        emu::CreateRegKey(HKEY_CLASSES_ROOT, ".jcf");
        emu::SetRegString(HKEY_CLASSES_ROOT, kCommandKey, "", kCommand);
        break;
      case kNoCommandKey: emu::SetRegString(HKEY_CLASSES_ROOT, ".jcf", "", kFileType); break;
      case kCommandDenied:
        RegisterJaws();
        emu::DenyFullAccess(HKEY_CLASSES_ROOT, kCommandKey);
        break;
      case kEmptyCommand: RegisterJaws(""); break;
      case kCommandWithout: RegisterJaws("C:\\JAWS\\jconfig.ex"); break;
      case kNoSettingsFolder: RegisterJaws("C:\\Other\\JConfig.EXE"); break;
      case kQuotedCommand: RegisterJaws("\"C:\\JAWS\\jconfig.exe\" \"%1\""); break;
    }
    EXPECT_EQ(Run(), rows[i].log);
    EXPECT_FALSE(emu::Exists(Target("A")));
    EXPECT_EQ(emu::OpenKeyCount(), 0u);
    EXPECT_EQ(emu::OpenHandleCount(), 0u);
  }
}

// Two settings folders, a file and the two dot entries: five directory lines, two copies;
// a second run right after copies nothing.
TEST_F(ScreenReader, CopiesIntoEachSettingsSubfolderOnce) {
  RegisterJaws();
  AddSource();
  emu::AddFolder(std::string(kSettings) + "A");
  emu::AddFolder(std::string(kSettings) + "B");
  emu::AddFile(std::string(kSettings) + "readme.txt", "read me", Dated(olderTime));

  EXPECT_EQ(Run(), (Lines{kTypeLine, kCommandLine, kSettingsLine, Dir("."), Dir(".."), Dir("A"),
                          Installing("A"), Dir("B"), Installing("B"), Dir("readme.txt")}));
  for (const char* folder : {"A", "B"}) {
    SCOPED_TRACE(folder);
    EXPECT_EQ(emu::FileContent(Target(folder)), "configuration 2");
    EXPECT_EQ(emu::DosStamp(Target(folder)), emu::DosStamp(kSourceFile));
  }
  EXPECT_EQ(emu::FileContent(std::string(kSettings) + "readme.txt"), "read me");

  EXPECT_EQ(Run(), (Lines{kTypeLine, kCommandLine, kSettingsLine, Dir("."), Dir(".."), Dir("A"),
                          Already("A"), Dir("B"), Already("B"), Dir("readme.txt")}));
}

// One settings folder holding a subfolder per case; the listing walks them all in one run,
// so a failure in one subfolder is also shown not to stop the others.
TEST_F(ScreenReader, EachSubfolderIsJudgedByTheDateOfItsCopy) {
  enum Existing { kNone, kOlder, kSameDate, kNewer, kOlderReadOnly, kFolder, kHeldOpen };
  enum Outcome { kInstalled, kKept, kFailed, kPassedOver };
  struct Row {
    const char* folder;
    DWORD folderAttributes;
    Existing target;
    Outcome outcome;
  };
  const Row rows[] = {
      /* 0 */ {"Plain", 0, kNone, kInstalled},
      /* 1 */ {"Hidden", FILE_ATTRIBUTE_HIDDEN, kNone, kInstalled},
      /* 2 */ {"ReadOnly", FILE_ATTRIBUTE_READONLY, kNone, kInstalled},
      /* 3 */ {"System", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN, kOlder, kInstalled},
      /* 4 */ {"Older", 0, kOlder, kInstalled},
      /* 5 */ {"OlderRO", 0, kOlderReadOnly, kInstalled},
      // The date alone decides: a different content with the same date stays.
      /* 6 */ {"Same", 0, kSameDate, kKept},
      /* 7 */ {"Newer", 0, kNewer, kKept},
      // A folder where the file should go: the copy fails, the walk goes on.
      /* 8 */ {"Blocked", 0, kFolder, kFailed},
      /* 9 */ {"Held", 0, kHeldOpen, kFailed},
      /* 10 */ {".jaws", 0, kNone, kPassedOver},
      /* 11 */ {"Zed", 0, kNone, kInstalled},
  };
  RegisterJaws();
  AddSource();
  HANDLE held = nullptr;
  for (const Row& row : rows) {
    const std::string folder = std::string(kSettings) + row.folder;
    emu::AddFolder(folder, Dated(olderTime, FILE_ATTRIBUTE_DIRECTORY | row.folderAttributes));
    switch (row.target) {
      case kNone: break;
      case kOlder: emu::AddFile(Target(row.folder), "configuration 1", Dated(olderTime)); break;
      case kSameDate: emu::AddFile(Target(row.folder), "edited", Dated(sourceTime)); break;
      case kNewer: emu::AddFile(Target(row.folder), "configuration 3", Dated(newerTime)); break;
      case kOlderReadOnly:
        emu::AddFile(Target(row.folder), "configuration 1",
                     Dated(olderTime, FILE_ATTRIBUTE_READONLY));
        break;
      case kFolder: emu::AddFolder(Target(row.folder)); break;
      case kHeldOpen:
        emu::AddFile(Target(row.folder), "configuration 1", Dated(olderTime));
        held = emu::HoldOpen(Target(row.folder), GENERIC_READ, 0);
        ASSERT_NE(held, nullptr);
        break;
    }
  }
  const Lines log = Run();
  CloseHandle(held);
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    const Row& row = rows[i];
    auto at = std::find(log.begin(), log.end(), Dir(row.folder));
    ASSERT_NE(at, log.end()) << "no directory line";
    const std::string next = at + 1 == log.end() ? "" : *(at + 1);
    switch (row.outcome) {
      case kInstalled:
        EXPECT_EQ(next, Installing(row.folder));
        EXPECT_EQ(emu::FileContent(Target(row.folder)), "configuration 2");
        EXPECT_EQ(emu::DosStamp(Target(row.folder)), emu::DosStamp(kSourceFile));
        break;
      case kKept:
        EXPECT_EQ(next, Already(row.folder));
        EXPECT_NE(emu::FileContent(Target(row.folder)), "configuration 2");
        break;
      case kFailed:
        EXPECT_EQ(next, CopyFailed(row.folder));
        break;
      case kPassedOver:
        EXPECT_EQ(next.rfind("  JAWS: Settings Directory ", 0), 0u) << next;
        EXPECT_FALSE(emu::Exists(Target(row.folder)));
        break;
    }
  }
  // Three fixed lines, the two dot entries, and a line or two per subfolder.
  EXPECT_EQ(log.size(), 3u + 2u + std::size(rows) * 2 - 1);
}

TEST_F(ScreenReader, ValuesThatAreNoTextRaise) {
  struct Row {
    const char* key;
    Lines log;  // what was said before the error
  };
  const Row rows[] = {
      /* 0 */ {".jcf", {}},
      /* 1 */ {kCommandKey, {kTypeLine}},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    emu::Reset();
    AddSource();
    emu::AddFolder(std::string(kSettings) + "A");
    RegisterJaws();
    emu::SetRegDword(HKEY_CLASSES_ROOT, rows[i].key, "", 1);
    LogLines->Clear();
    try {
      InstallScreenReaderConfig(kSource);
      ADD_FAILURE() << "no error raised";
    } catch (const ERegistryException& e) {
      EXPECT_EQ(e.Message(), "Invalid data type for ''");
    }
    EXPECT_EQ(LogLines->Lines(), rows[i].log);
    EXPECT_FALSE(emu::Exists(Target("A")));
    EXPECT_EQ(emu::OpenKeyCount(), 0u);
    // The run asks this next, to decide on its notice.
    EXPECT_TRUE(ScreenReaderRegistered());
  }
}

TEST_F(ScreenReader, RegisteredMeansTheKeyOpensWithFullAccess) {
  struct Row {
    bool present;
    bool denied;
    bool registered;
  };
  const Row rows[] = {
      /* 0 */ {true, false, true},
      /* 1 */ {false, false, false},
      /* 2 */ {true, true, false},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    emu::Reset();
    if (rows[i].present) emu::CreateRegKey(HKEY_CLASSES_ROOT, ".jcf");
    if (rows[i].denied) emu::DenyFullAccess(HKEY_CLASSES_ROOT, ".jcf");
    EXPECT_EQ(ScreenReaderRegistered(), rows[i].registered);
    EXPECT_EQ(emu::OpenKeyCount(), 0u);
    EXPECT_FALSE(emu::RegKeyExists(HKEY_CLASSES_ROOT, ".jcf") && !rows[i].present)
        << "the key is never created";
  }
}

}  // namespace
