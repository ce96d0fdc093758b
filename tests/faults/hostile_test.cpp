// Hostile machines for the whole launcher: huge and mistyped registry values, odd uninstall
// commands, paths beyond MAX_PATH, Windows-1252 names, huge folders. Each run must end with
// the outcome the program promises, not merely without a crash.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "emu/core.h"
#include "emu/fs.h"
#include "emu/registry.h"
#include "emu/system.h"
#include "launcher/setup.h"
#include "tests/launcher/launcher_fixture.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testsupport::Boxes;
using testsupport::kCompleteMedium;
using testsupport::Medium;

namespace {

const char kKelRegistryError[] = "Setup Error|Error accessing KEL Windows' Registry";
const char kJawsRegistryError[] = "Setup Error|Error accessing Jaws Windows' Registry";
const char kEngineLaunch[] = "C:\\TEMP\\KEL.EXE \"D:\\\"";

std::string Repeat(const std::string& part, size_t times) {
  std::string text;
  for (size_t i = 0; i < times; ++i) text += part;
  return text;
}

std::vector<std::string> Commands() {
  std::vector<std::string> lines;
  for (const emu::WinExecCall& call : emu::Launches()) lines.push_back(call.commandLine);
  return lines;
}

class HostileTest : public LauncherTest {
 protected:
  // Whatever the machine, the process releases all it took.
  void TearDown() override {
    EXPECT_EQ(emu::OpenHandleCount(), 0u);
    EXPECT_EQ(emu::OpenKeyCount(), 0u);
    EXPECT_EQ(emu::OutstandingSids(), 0u);
  }

  // An installed copy C:\KELMORA\ with its data folder C:\KELDATA\, older than any medium,
  // so that an autorun start never takes the shortcut.
  static void Installed(const std::string& displayName) {
    emu::SetRegString(HKEY_CURRENT_USER, kUninstall, "DisplayName", displayName);
    emu::SetRegString(HKEY_CURRENT_USER, kUninstall, "UninstallString",
                      "C:\\KELMORA\\KelDel.Exe /u x C:\\KELDATA\\");
    emu::EntrySpec old;
    old.lastWrite = emu::LocalTime(2001, 1, 1, 0, 0, 0);
    emu::AddFile("C:\\KELMORA\\Kel.Exe", "installed", old);
    emu::AddFolder("C:\\KELDATA");
  }

  // JAWS registered in E:\JAWS\ with the settings subfolders given.
  static void Jaws(const std::vector<std::string>& subfolders) {
    emu::AddDrive('E');
    emu::SetRegString(HKEY_CLASSES_ROOT, ".jcf", "", "JAWS.Configuration");
    emu::SetRegString(HKEY_CLASSES_ROOT, "JAWS.Configuration\\shell\\open\\command", "",
                      "E:\\JAWS\\jconfig.exe \"%1\"");
    emu::AddFile("E:\\JAWS\\jconfig.exe", "MZ");
    for (const std::string& name : subfolders) emu::AddFolder("E:\\JAWS\\Settings\\" + name);
  }
};

// ---- registry values: huge, and of every type ----------------------------------------------

TEST_F(HostileTest, HugeRegistryTextsInEveryValueRead) {
  const std::string huge = Repeat("Kelmora build ", 5000);  // 70,000 bytes, no digit
  ASSERT_GE(huge.size(), 65536u);
  struct Row {
    const char* what;
    bool medium;
    std::vector<std::string> boxes;
  };
  const std::string notInstalled = "Check Startup|Program not properly installed" + std::string(kAdvice);
  const Row rows[] = {
      // No digits: version 0, outside the window; the medium decides.
      /* 0 */ {"DisplayName", true, {}},
      /* 1 */ {"DisplayName", false, {}},  // hand-off to the installed copy
      // The folder before KelDel.Exe is 70,000 bytes: no such program there.
      /* 2 */ {"UninstallString", false, {notInstalled}},
      /* 3 */ {"UninstallString", true, {}},
      // A key name of 70,000 bytes cannot be opened: JAWS counts as absent.
      /* 4 */ {"file type", true, {}},
      // A settings folder far beyond MAX_PATH cannot be listed: nothing copied.
      /* 5 */ {"open command", true, {}},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    const Row& row = rows[i];
    SCOPED_TRACE(testing::Message() << "row " << i << " " << row.what);
    emu::Reset();
    LauncherTest::SetUp();
    Installed("Kelmora 7.5");
    Jaws({"A"});
    const std::string what = row.what;
    if (what == "DisplayName") {
      emu::SetRegString(HKEY_CURRENT_USER, kUninstall, "DisplayName", huge);
    } else if (what == "UninstallString") {
      emu::SetRegString(HKEY_CURRENT_USER, kUninstall, "UninstallString",
                        "C:\\" + huge + "\\KelDel.Exe /u x C:\\KELDATA\\");
    } else if (what == "file type") {
      emu::SetRegString(HKEY_CLASSES_ROOT, ".jcf", "", huge);
    } else {
      emu::SetRegString(HKEY_CLASSES_ROOT, "JAWS.Configuration\\shell\\open\\command", "",
                        "E:\\" + huge + "\\jconfig.exe \"%1\"");
    }
    if (row.medium) Medium("D:\\", kCompleteMedium);
    Medium("D:\\", {"Texts801.dat"});

    EXPECT_EQ(RunLauncherProcess(), 0);

    EXPECT_EQ(Boxes(), row.boxes);
    if (row.medium) {
      EXPECT_THAT(Commands(), ElementsAre(kEngineLaunch));
    } else if (row.boxes.empty()) {
      EXPECT_THAT(Commands(), ElementsAre("C:\\KELMORA\\Kel.Exe"));
      EXPECT_EQ(emu::FileContent("C:\\KELDATA\\AutoLoad.Lst"), "D:\\Texts801.dat\r\nSetup 2.0\r\n");
    } else {
      EXPECT_THAT(Commands(), IsEmpty());
    }
    // The JAWS file lands in the settings folder only where the registration is sound.
    const bool jawsSound = what == "DisplayName" || what == "UninstallString";
    EXPECT_EQ(emu::Exists("E:\\JAWS\\Settings\\A\\Kel.Jcf"), jawsSound && row.medium);
  }
}

// Every value the launcher reads, stored with every type. Text types give their text; a
// value without data counts as absent; any other type with data raises the registry error,
// which each reader handles its own way.
TEST_F(HostileTest, RegistryValuesOfEveryType) {
  struct Type {
    const char* name;
    DWORD type;
    std::string data;
    bool raises;
  };
  const Type types[] = {
      {"REG_NONE", REG_NONE, std::string("\x01\x02", 2), true},
      {"REG_BINARY", REG_BINARY, std::string("K\0e\0l", 5), true},
      {"REG_DWORD", REG_DWORD, std::string("\xEF\x02\x00\x00", 4), true},
      {"REG_MULTI_SZ", REG_MULTI_SZ, std::string("Kelmora 7.5\0x\0\0", 15), true},
      {"REG_QWORD", REG_QWORD, std::string(8, '\x07'), true},
      {"REG_SZ empty", REG_SZ, std::string(), false},
      {"REG_BINARY empty", REG_BINARY, std::string(), false},
  };
  enum Value { kDisplayName, kUninstallString, kFileType, kCommand };
  const char* valueNames[] = {"DisplayName", "UninstallString", "file type", "open command"};

  for (int value = kDisplayName; value <= kCommand; ++value) {
    for (const Type& type : types) {
      for (const bool autorun : {false, true}) {
        SCOPED_TRACE(testing::Message() << valueNames[value] << " as " << type.name
                                        << (autorun ? ", autorun" : ""));
        emu::Reset();
        LauncherTest::SetUp();
        Installed("Kelmora 7.5");
        Jaws({"A"});
        Medium("D:\\", kCompleteMedium);
        if (autorun) SetLauncher("D:\\Setup.exe", "autorun");
        switch (value) {
          case kDisplayName:
            emu::SetRegValue(HKEY_CURRENT_USER, kUninstall, "DisplayName", type.type, type.data);
            break;
          case kUninstallString:
            emu::SetRegValue(HKEY_CURRENT_USER, kUninstall, "UninstallString", type.type,
                             type.data);
            break;
          case kFileType:
            emu::SetRegValue(HKEY_CLASSES_ROOT, ".jcf", "", type.type, type.data);
            break;
          case kCommand:
            emu::SetRegValue(HKEY_CLASSES_ROOT, "JAWS.Configuration\\shell\\open\\command", "",
                             type.type, type.data);
            break;
        }

        const int exitCode = RunLauncherProcess();

        std::vector<std::string> expected;
        int expectedExit = 0;
        bool launched = true;
        const bool jawsBroken = value == kFileType || value == kCommand;
        if (type.raises && (value == kDisplayName || value == kUninstallString)) {
          expected.push_back(kKelRegistryError);
        }
        if (type.raises && value == kUninstallString && autorun) {
          // The autorun shortcut reads the uninstall command outside every catch.
          expectedExit = 1;
          launched = false;
        } else if (type.raises && jawsBroken) {
          expected.push_back(kJawsRegistryError);  // ".jcf" itself is registered
        }
        EXPECT_EQ(exitCode, expectedExit);
        if (expectedExit == 1) {
          ASSERT_EQ(emu::MessageBoxes().size(), expected.size() + 1);
          EXPECT_EQ(emu::MessageBoxes().back().caption, "Application Error");
          EXPECT_THAT(emu::MessageBoxes().back().text,
                      ::testing::HasSubstr("ERegistryException"));
          EXPECT_THAT(emu::MessageBoxes().back().text,
                      ::testing::EndsWith("Invalid data type for 'UninstallString'."));
        } else {
          EXPECT_EQ(Boxes(), expected);
        }
        EXPECT_EQ(Commands().size(), launched ? 1u : 0u);
        EXPECT_EQ(emu::Exists("E:\\JAWS\\Settings\\A\\Kel.Jcf"), launched && !jawsBroken);
      }
    }
  }
}

TEST_F(HostileTest, TextValuesWithoutTerminatingZero) {
  // REG_SZ data stored without its zero is taken whole, never read past.
  emu::SetRegValue(HKEY_CURRENT_USER, kUninstall, "DisplayName", REG_SZ, "Kelmora 7.5.1");
  emu::SetRegValue(HKEY_CURRENT_USER, kUninstall, "UninstallString", REG_EXPAND_SZ,
                   "C:\\KELMORA\\KelDel.Exe /u x C:\\KELDATA\\");
  emu::AddFile("C:\\KELMORA\\Kel.Exe", "installed");
  Jaws({"A"});
  emu::SetRegValue(HKEY_CLASSES_ROOT, ".jcf", "", REG_SZ, "JAWS.Configuration");
  emu::SetRegValue(HKEY_CLASSES_ROOT, "JAWS.Configuration\\shell\\open\\command", "", REG_SZ,
                   "E:\\JAWS\\jconfig.exe");
  Medium("D:\\", {"Texts801.dat"});

  EXPECT_EQ(RunLauncherProcess(), 0);

  // 7.5.1 is read whole: 7510000, too old to take modules.
  EXPECT_THAT(Boxes(), ElementsAre("Check Startup|Current Kelmora Program too old to install modules" +
                                   std::string(kAdvice)));

  emu::Reset();
  LauncherTest::SetUp();
  Jaws({"A"});
  emu::SetRegValue(HKEY_CLASSES_ROOT, ".jcf", "", REG_SZ, "JAWS.Configuration");
  emu::SetRegValue(HKEY_CLASSES_ROOT, "JAWS.Configuration\\shell\\open\\command", "", REG_SZ,
                   "E:\\JAWS\\jconfig.exe");
  Medium("D:\\", kCompleteMedium);
  EXPECT_EQ(RunLauncherProcess(), 0);
  EXPECT_THAT(Boxes(), IsEmpty());
  EXPECT_EQ(emu::FileContent("E:\\JAWS\\Settings\\A\\Kel.Jcf"), "Kel.JCF");
}

// ---- display names and uninstall commands -----------------------------------------------

TEST_F(HostileTest, DisplayNamesWithManyDigits) {
  struct Row {
    std::string displayName;
    bool handOff;  // else: too old to take modules
  };
  const Row rows[] = {
      // Beyond 32 bits: the launcher counts it as outside the too-old window.
      /* 0 */ {"Kelmora " + Repeat("9", 1000), true},
      /* 1 */ {"Kelmora " + Repeat("1", 70000), true},
      // Leading zeros convert: 0...07510000 is 7510000, inside the window.
      /* 2 */ {"Kelmora " + Repeat("0", 5000) + "7510000", false},
      /* 3 */ {Repeat("v7.", 3000), true},  // 3000 sevens
      /* 4 */ {"2147483647", true},
      /* 5 */ {"-7500000", false},  // the minus sign is no digit: 7500000
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i);
    emu::Reset();
    LauncherTest::SetUp();
    Installed(rows[i].displayName);
    Medium("D:\\", {"Texts801.dat"});

    EXPECT_EQ(RunLauncherProcess(), 0);

    if (rows[i].handOff) {
      EXPECT_THAT(Boxes(), IsEmpty());
      EXPECT_THAT(Commands(), ElementsAre("C:\\KELMORA\\Kel.Exe"));
    } else {
      EXPECT_THAT(Boxes(), ElementsAre("Check Startup|Current Kelmora Program too old to install modules" +
                                       std::string(kAdvice)));
      EXPECT_THAT(Commands(), IsEmpty());
    }
  }
}

TEST_F(HostileTest, OddUninstallCommands) {
  const std::string notInstalled = "Check Startup|Program not properly installed" + std::string(kAdvice);
  struct Row {
    const char* command;
    std::vector<std::string> boxes;
    const char* listFile;  // where AutoLoad.Lst is written; nullptr: nowhere
    const char* started;   // nullptr: nothing
  };
  const Row rows[] = {
      // No uninstaller name: no install folder, so no installed program.
      /* 0 */ {"C:\\KELMORA\\Uninst.exe /u x C:\\KELDATA\\", {notInstalled}, nullptr, nullptr},
      /* 1 */ {"", {notInstalled}, nullptr, nullptr},
      // The name first: an empty install folder.
      /* 2 */ {"KelDel.Exe /u x C:\\KELDATA\\", {notInstalled}, nullptr, nullptr},
      // A quoted folder keeps its quote: "C:\KELMORA\Kel.Exe names nothing.
      /* 3 */ {"\"C:\\KELMORA\\KelDel.Exe\" /u x C:\\KELDATA\\", {notInstalled}, nullptr, nullptr},
      // An unbalanced quote swallows the rest as the data folder, which does not exist:
      // the list goes to the install folder.
      /* 4 */ {"C:\\KELMORA\\KelDel.Exe /u x \"C:\\KEL DATA\\ y", {}, "C:\\KELMORA\\AutoLoad.Lst",
               "C:\\KELMORA\\Kel.Exe"},
      /* 5 */ {"C:\\KELMORA\\KelDel.Exe /u \"x C:\\KELDATA\\", {}, "C:\\KELMORA\\AutoLoad.Lst",
               "C:\\KELMORA\\Kel.Exe"},
      // Lower-case name, data folder given: a normal hand-off.
      /* 6 */ {"C:\\KELMORA\\keldel.exe /u x C:\\KELDATA\\", {}, "C:\\KELDATA\\AutoLoad.Lst",
               "C:\\KELMORA\\Kel.Exe"},
      // A lone quote.
      /* 7 */ {"\"", {notInstalled}, nullptr, nullptr},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i);
    emu::Reset();
    LauncherTest::SetUp();
    Installed("Kelmora 7.5");
    emu::SetRegString(HKEY_CURRENT_USER, kUninstall, "UninstallString", rows[i].command);
    Medium("D:\\", {"Texts801.dat"});

    EXPECT_EQ(RunLauncherProcess(), 0);

    EXPECT_EQ(Boxes(), rows[i].boxes);
    if (rows[i].listFile) {
      EXPECT_EQ(emu::FileContent(rows[i].listFile), "D:\\Texts801.dat\r\nSetup 2.0\r\n");
    }
    EXPECT_EQ(emu::Exists("C:\\KELDATA\\AutoLoad.Lst"),
              rows[i].listFile && std::string(rows[i].listFile) == "C:\\KELDATA\\AutoLoad.Lst");
    if (rows[i].started) {
      EXPECT_THAT(Commands(), ElementsAre(rows[i].started));
    } else {
      EXPECT_THAT(Commands(), IsEmpty());
    }
  }
}

// ---- long paths -------------------------------------------------------------------------

// A folder path of about length characters below root, made of 8.3-less names.
std::string LongFolder(const std::string& root, size_t length) {
  std::string path = root;
  int n = 0;
  while (path.size() < length) path += "Folder number " + std::to_string(n++) + "\\";
  return path;
}

TEST_F(HostileTest, LauncherBeyondMaxPath) {
  const std::string folder = LongFolder("D:\\", 300);
  Medium(folder, kCompleteMedium);
  SetLauncher(folder + "Setup.exe", "");

  EXPECT_EQ(RunLauncherProcess(), 0);

  // The ANSI calls refuse the path, so the medium looks empty.
  EXPECT_THAT(Boxes(), ElementsAre("Check Startup|Program install files missing (2) <> <" +
                                   std::string(kAdvice)));
  EXPECT_THAT(Commands(), IsEmpty());
}

TEST_F(HostileTest, TempFolderBeyondMaxPath) {
  const std::string temp = LongFolder("C:\\", 300);
  emu::AddFolder(temp.substr(0, temp.size() - 1));
  emu::SetTempPath(temp);
  Medium("D:\\", kCompleteMedium);

  EXPECT_EQ(RunLauncherProcess(), 0);

  // LZ32 takes names of up to 127 characters: the destination cannot be opened.
  EXPECT_THAT(Boxes(), ElementsAre("CopyFile|Error opening destination file \"" + temp + "Kel.exe\""));
  EXPECT_THAT(Commands(), IsEmpty());
}

TEST_F(HostileTest, InstallFolderBeyondMaxPath) {
  const std::string folder = LongFolder("C:\\", 300);
  Installed("Kelmora 7.5");
  emu::AddFile(folder + "Kel.Exe", "installed");
  emu::SetRegString(HKEY_CURRENT_USER, kUninstall, "UninstallString",
                    folder + "KelDel.Exe /u x C:\\KELDATA\\");
  Medium("D:\\", {"Texts801.dat"});

  EXPECT_EQ(RunLauncherProcess(), 0);

  EXPECT_THAT(Boxes(), ElementsAre("Check Startup|Program not properly installed" + std::string(kAdvice)));
  EXPECT_THAT(Commands(), IsEmpty());
  EXPECT_FALSE(emu::Exists("C:\\KELDATA\\AutoLoad.Lst"));
}

TEST_F(HostileTest, SettingsFolderBeyondMaxPath) {
  Jaws({});
  const std::string jaws = LongFolder("E:\\", 300);
  emu::AddFolder(jaws + "Settings\\A");
  emu::SetRegString(HKEY_CLASSES_ROOT, "JAWS.Configuration\\shell\\open\\command", "",
                    jaws + "jconfig.exe");
  Medium("D:\\", kCompleteMedium);

  EXPECT_EQ(RunLauncherProcess(), 0);

  EXPECT_THAT(Boxes(), IsEmpty());
  EXPECT_THAT(Commands(), ElementsAre(kEngineLaunch));
  EXPECT_FALSE(emu::Exists(jaws + "Settings\\A\\Kel.Jcf"));
}

// ---- Windows-1252 names -----------------------------------------------------------------

TEST_F(HostileTest, MediumFolderAndModulesWithAccentedLetters) {
  const std::string folder = "D:\\Donn\xE9" "es\\";  // Données
  Installed("Kelmora 7.5");
  emu::AddFile(folder + "\xC9l\xE9" "ments801.dat", "m");  // Éléments801.dat
  emu::AddFile(folder + "LANG\xC9" "801.txt", "m");        // a "lang" name in capitals
  SetLauncher(folder + "Setup.exe", "");

  EXPECT_EQ(RunLauncherProcess(), 0);

  EXPECT_THAT(Boxes(), IsEmpty());
  // The source folder in its short form, the module under its long name.
  const std::string shortName = emu::ShortName(folder.substr(0, folder.size() - 1));
  const std::string shortFolder = shortName.empty() ? folder : "D:\\" + shortName + "\\";
  EXPECT_EQ(emu::FileContent("C:\\KELDATA\\AutoLoad.Lst"),
            shortFolder + "\xC9l\xE9ments801.dat\r\nSetup 2.0\r\n");
  EXPECT_THAT(Commands(), ElementsAre("C:\\KELMORA\\Kel.Exe"));
}

TEST_F(HostileTest, AccentedKelDelFolderIsNoKelDel) {
  // Lower-casing turns \KÉLDEL into \kéldel, which is not \keldel; \KELDEL\ is.
  struct Row {
    const char* folder;
    bool runs;
  };
  const Row rows[] = {
      /* 0 */ {"D:\\K\xC9LDEL\\", true},
      /* 1 */ {"D:\\KELDEL\xC9\\", false},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i);
    emu::Reset();
    LauncherTest::SetUp();
    Medium(rows[i].folder, kCompleteMedium);
    SetLauncher(std::string(rows[i].folder) + "Setup.exe", "");
    EXPECT_EQ(RunLauncherProcess(), 0);
    EXPECT_EQ(Commands().size(), rows[i].runs ? 1u : 0u);
  }
}

// ---- huge folders -----------------------------------------------------------------------

TEST_F(HostileTest, MediumOfAHundredThousandEntriesIsListedOnce) {
  constexpr int kEntries = 100000;
  Installed("Kelmora 7.5");
  std::string expected;
  for (int i = 0; i < kEntries; ++i) {
    // Digits spelled as letters, so that only the modules hold "801" or "101".
    char name[32];
    std::snprintf(name, sizeof name, "F%06d", i);
    std::string file = name;
    for (char& c : file) c = c >= '0' && c <= '9' ? static_cast<char>('a' + (c - '0')) : c;
    file += i % 1000 == 0 ? ".801" : ".dat";
    emu::AddFile("D:\\" + file, "");
    if (i % 1000 == 0) expected += "D:\\" + file + "\r\n";
  }
  expected += "Setup 2.0\r\n";

  EXPECT_EQ(RunLauncherProcess(), 0);

  EXPECT_THAT(Boxes(), IsEmpty());
  EXPECT_EQ(emu::FileContent("C:\\KELDATA\\AutoLoad.Lst"), expected);
  // One listing of the medium, one FindNextFileA per entry (the last one says "no more").
  EXPECT_EQ(emu::CallCount("FindNextFileA"), kEntries);
}

TEST_F(HostileTest, LangTestOnAHundredThousandEntriesLooksOnce) {
  constexpr int kEntries = 100000;
  for (int i = 0; i < kEntries; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Lang%06d.txt", i);
    emu::AddFile(std::string("D:\\") + name, "");
  }
  Medium("D:\\", kCompleteMedium);

  EXPECT_EQ(RunLauncherProcess(), 0);

  EXPECT_THAT(Boxes(), IsEmpty());
  EXPECT_THAT(Commands(), ElementsAre(kEngineLaunch));
  // The pattern test closes its search at the first match; nothing else lists the medium.
  EXPECT_EQ(emu::CallCount("FindNextFileA"), 0);
}

TEST_F(HostileTest, SettingsFolderWithThousandsOfSubfolders) {
  constexpr int kFolders = 3000;
  std::vector<std::string> names;
  for (int i = 0; i < kFolders; ++i) names.push_back("User " + std::to_string(i));
  Jaws(names);
  Medium("D:\\", kCompleteMedium);

  EXPECT_EQ(RunLauncherProcess(), 0);

  EXPECT_THAT(Boxes(), IsEmpty());
  EXPECT_THAT(Commands(), ElementsAre(kEngineLaunch));
  for (const std::string& name : names) {
    const std::string target = "E:\\JAWS\\Settings\\" + name + "\\Kel.Jcf";
    ASSERT_EQ(emu::FileContent(target), "Kel.JCF") << target;
    ASSERT_EQ(emu::DosStamp(target), emu::DosStamp("D:\\Kel.JCF")) << target;
  }
  // "." and ".." and every subfolder, each once.
  EXPECT_EQ(emu::CallCount("FindNextFileA"), kFolders + 2);

  // A second start finds every copy in place and writes nothing.
  const int creates = emu::CallCount("CreateFileA");
  EXPECT_EQ(RunLauncherProcess(), 0);
  const int perRun = emu::CallCount("CreateFileA") - creates;
  EXPECT_LT(perRun, 10) << "the second start opened files in the settings folders";
}

}  // namespace
