// The product's registry entries against the emulated registry.
#include "winsys/registry.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "emu/core.h"
#include "emu/registry.h"
#include "rtl/exceptions.h"
#include "winsys/errors.h"

namespace {

const char kUninstallPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kelmora";
const char kLegacyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Kelmora";

// A fresh machine, with the start-up log switched on so that its lines can be read back.
class RegistryEntries : public ::testing::Test {
 protected:
  void SetUp() override {
    emu::Reset();
    LogDir = "C:\\Log\\";  // no Startup.Log there: the lines only reach LogLines
    LogLines = std::make_unique<TStringList>();
  }
  void TearDown() override {
    EXPECT_EQ(emu::OpenKeyCount(), 0u) << "a registry key was left open";
    LogDir.clear();
    LogLines.reset();
  }
  static std::vector<std::string> Logged() { return LogLines->Lines(); }
};

// How a value of the uninstall entry is stored under one root.
struct Stored {
  enum Kind { kNoKey, kNoValue, kText, kExpandText, kDword, kEmptyBinary, kDenied } kind;
  std::string text = "";
};

void Store(HKEY root, const std::string& name, const Stored& s) {
  switch (s.kind) {
    case Stored::kNoKey:
      break;
    case Stored::kNoValue:
      emu::SetRegString(root, kUninstallPath, "Other", "x");
      break;
    case Stored::kText:
      emu::SetRegString(root, kUninstallPath, name, s.text);
      break;
    case Stored::kExpandText:
      emu::SetRegValue(root, kUninstallPath, name, REG_EXPAND_SZ,
                       std::string(s.text.c_str(), s.text.size() + 1));
      break;
    case Stored::kDword:
      emu::SetRegDword(root, kUninstallPath, name, 7);
      break;
    case Stored::kEmptyBinary:
      emu::SetRegValue(root, kUninstallPath, name, REG_BINARY, std::string());
      break;
    case Stored::kDenied:
      emu::SetRegString(root, kUninstallPath, name, "hidden");
      emu::DenyFullAccess(root, kUninstallPath);
      break;
  }
}

TEST_F(RegistryEntries, UninstallValueCurrentUserFirst) {
  const std::string kOpenFailed = "Registry Open Failed for Key: DisplayName";
  struct Row {
    Stored user;
    Stored machine;
    std::optional<std::string> result;  // nullopt: raises
    std::vector<std::string> log;
  };
  const Row rows[] = {
      /* 0 */ {{Stored::kNoKey}, {Stored::kText, "Machine"}, "Machine", {kOpenFailed}},
      /* 1 */ {{Stored::kText, "User"}, {Stored::kText, "Machine"}, "User", {}},
      /* 2 */ {{Stored::kText, ""}, {Stored::kText, "Machine"}, "Machine", {}},
      /* 3 */ {{Stored::kNoValue}, {Stored::kText, "Machine"}, "Machine", {}},
      /* 4 */ {{Stored::kEmptyBinary}, {Stored::kText, "Machine"}, "Machine", {}},
      /* 5 */ {{Stored::kNoKey}, {Stored::kNoKey}, "", {kOpenFailed, kOpenFailed}},
      /* 6 */ {{Stored::kDenied}, {Stored::kText, "Machine"}, "Machine", {kOpenFailed}},
      /* 7 */ {{Stored::kNoKey}, {Stored::kDenied}, "", {kOpenFailed, kOpenFailed}},
      /* 8 */ {{Stored::kExpandText, "%WINDIR%\\x"}, {Stored::kNoKey}, "%WINDIR%\\x", {}},
      /* 9 */ {{Stored::kText, std::string("ab\0cd", 5)}, {Stored::kNoKey}, "ab", {}},
      /* 10 */ {{Stored::kDword}, {Stored::kText, "Machine"}, std::nullopt, {}},
      /* 11 */ {{Stored::kNoKey}, {Stored::kDword}, "", {kOpenFailed}},
      /* 12 */ {{Stored::kText, ""}, {Stored::kDword}, "", {}},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    const Row& row = rows[i];
    emu::Reset();
    LogLines->Clear();
    Store(HKEY_CURRENT_USER, "DisplayName", row.user);
    Store(HKEY_LOCAL_MACHINE, "DisplayName", row.machine);
    if (row.result) {
      EXPECT_EQ(ReadUninstallValue("DisplayName"), *row.result);
    } else {
      try {
        ReadUninstallValue("DisplayName");
        ADD_FAILURE() << "no error raised";
      } catch (const ERegistryException& e) {
        EXPECT_EQ(e.Message(), "Invalid data type for 'DisplayName'");
      }
    }
    EXPECT_EQ(Logged(), row.log);
    EXPECT_EQ(emu::OpenKeyCount(), 0u);
  }
}

TEST_F(RegistryEntries, ReadRegValueReadsTheGivenRootAndLogsTheValueName) {
  emu::SetRegString(HKEY_LOCAL_MACHINE, "Software\\Acme", "Path", "C:\\Acme\\");
  EXPECT_EQ(ReadRegValue("Path", "\\Software\\Acme", HKEY_LOCAL_MACHINE), "C:\\Acme\\");
  EXPECT_EQ(ReadRegValue("Path", "\\Software\\Acme", HKEY_CURRENT_USER), "");
  // The value name follows the colon, not the key path.
  EXPECT_EQ(Logged(), std::vector<std::string>{"Registry Open Failed for Key: Path"});
  // Opening asks for full access and never creates the key.
  EXPECT_FALSE(emu::RegKeyExists(HKEY_CURRENT_USER, "Software\\Acme"));
}

TEST_F(RegistryEntries, ReadRegValueWithLogOffRecordsNothing) {
  LogDir.clear();
  EXPECT_EQ(ReadRegValue("Path", "\\Software\\Missing", HKEY_CURRENT_USER), "");
  EXPECT_EQ(LogLines->Count(), 0u);
}

TEST_F(RegistryEntries, InstallAndDataFolderFromTheUninstallCommand) {
  // Derived from a registry text of 64 KiB, to show that no length is assumed.
  const std::string longFolder = "C:\\" + std::string(65536, 'L') + "\\";
  struct Row {
    std::string command;
    std::string installDir;
    std::string dataDir;
  };
  const Row rows[] = {
      /* 0 */ {"C:\\PROG\\KelDel.Exe a b D:\\DATA\\", "C:\\PROG\\", "D:\\DATA\\"},
      /* 1 */ {"C:\\Prog\\keldel.exe a b D:\\DATA\\", "C:\\Prog\\", "D:\\DATA\\"},
      /* 2 */ {"C:\\My Prog\\KELDEL.EXE a b \"D:\\My Data\\\" e", "C:\\My Prog\\", "D:\\My Data\\"},
      // Nothing strips a quote in front of the folder.
      /* 3 */ {"\"C:\\PROG\\KelDel.Exe\" a b D:\\DATA\\", "\"C:\\PROG\\", "D:\\DATA\\"},
      // Without the uninstaller's name the fourth token of the whole command is taken.
      /* 4 */ {"C:\\PROG\\Remove.Exe a b D:\\DATA\\", "", "D:\\DATA\\"},
      /* 5 */ {"KelDel.Exe a b D:\\DATA\\", "", "D:\\DATA\\"},
      /* 6 */ {"C:\\PROG\\KelDel.Exe a b", "C:\\PROG\\", ""},
      /* 7 */ {"C:\\PROG\\KelDel.Exe\r\na\tx\r\nb   D:\\DATA\\", "C:\\PROG\\", "D:\\DATA\\"},
      /* 8 */ {"", "", ""},
      /* 9 */ {longFolder + "KelDel.Exe a b D:\\DATA\\", longFolder, "D:\\DATA\\"},
      /* 10 */ {"C:\\PROG\\KelDel.Exe a b " + longFolder, "C:\\PROG\\", longFolder},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    emu::Reset();
    emu::SetRegString(HKEY_CURRENT_USER, kUninstallPath, "UninstallString", rows[i].command);
    EXPECT_EQ(GetInstallDir(), rows[i].installDir);
    EXPECT_EQ(GetDataDir(), rows[i].dataDir);
  }
}

TEST_F(RegistryEntries, CommandUnderTheLocalMachineOnly) {
  emu::SetRegString(HKEY_LOCAL_MACHINE, kUninstallPath, "UninstallString",
                    "C:\\PROG\\KelDel.Exe a b D:\\DATA\\");
  EXPECT_EQ(GetInstallDir(), "C:\\PROG\\");
  EXPECT_EQ(GetDataDir(), "D:\\DATA\\");
}

TEST_F(RegistryEntries, NumericCommandUnderTheCurrentUserReachesTheCaller) {
  emu::SetRegDword(HKEY_CURRENT_USER, kUninstallPath, "UninstallString", 1);
  EXPECT_THROW(GetInstallDir(), ERegistryException);
  EXPECT_THROW(GetDataDir(), ERegistryException);
}

// A small tree under both roots; each row deletes one key and names what must be left.
TEST_F(RegistryEntries, DeleteRegKey) {
  const char kTree[] =
      "REGEDIT4\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Kelmora]\r\n"
      "\"Version\"=\"1.0\"\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Kelmora\\Modules]\r\n"
      "\"A\"=dword:00000001\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Kelmora\\Modules\\Deep]"
      "\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Kelmora\\Views]\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kelmora]\r\n"
      "\"DisplayName\"=\"Kelmora\"\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Kelmora]\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kelmora]\r\n"
      "\"DisplayName\"=\"Kelmora\"\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kelmora\\Sub]"
      "\r\n\r\n";
  const std::string legacySub = std::string(kLegacyPath) + "\\Modules";
  enum Deny { kNone, kDenyDeleteLegacy, kDenyDeleteSub, kDenyAccessSub };
  struct Row {
    std::string path;
    bool localMachine;
    Deny deny;
    std::vector<std::pair<HKEY, std::string>> gone;
    std::vector<std::pair<HKEY, std::string>> kept;
  };
  const HKEY lm = HKEY_LOCAL_MACHINE;
  const HKEY cu = HKEY_CURRENT_USER;
  const std::string parent = "Software\\Microsoft\\Windows\\CurrentVersion";
  const Row rows[] = {
      /* 0 */ {LegacyKey, true, kNone,
               {{lm, kLegacyPath}, {lm, legacySub}, {lm, legacySub + "\\Deep"}},
               {{lm, parent}, {lm, kUninstallPath}, {cu, kLegacyPath}}},
      /* 1 */ {"", false, kNone,
               {{cu, kUninstallPath}, {cu, std::string(kUninstallPath) + "\\Sub"}},
               {{cu, kLegacyPath}, {lm, kUninstallPath}}},
      /* 2 */ {"", true, kNone, {{lm, kUninstallPath}}, {{cu, kUninstallPath}, {lm, kLegacyPath}}},
      /* 3 */ {"\\Software\\Nothing\\Here", true, kNone, {},
               {{lm, kLegacyPath}, {lm, kUninstallPath}, {cu, kUninstallPath}}},
      // What the system refuses to remove stays; nothing is raised.
      /* 4 */ {LegacyKey, true, kDenyDeleteLegacy, {{lm, legacySub}}, {{lm, kLegacyPath}}},
      /* 5 */ {LegacyKey, true, kDenyDeleteSub,
               {{lm, legacySub + "\\Deep"}, {lm, std::string(kLegacyPath) + "\\Views"}},
               {{lm, legacySub}, {lm, kLegacyPath}}},
      /* 6 */ {LegacyKey, true, kDenyAccessSub, {}, {{lm, legacySub}, {lm, legacySub + "\\Deep"}}},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    const Row& row = rows[i];
    emu::Reset();
    emu::LoadRegistry(kTree);
    if (row.deny == kDenyDeleteLegacy) emu::DenyDelete(lm, kLegacyPath);
    if (row.deny == kDenyDeleteSub) emu::DenyDelete(lm, legacySub);
    if (row.deny == kDenyAccessSub) emu::DenyFullAccess(lm, legacySub);
    EXPECT_NO_THROW(DeleteRegKey(row.path, row.localMachine));
    for (const auto& [root, key] : row.gone) EXPECT_FALSE(emu::RegKeyExists(root, key)) << key;
    for (const auto& [root, key] : row.kept) EXPECT_TRUE(emu::RegKeyExists(root, key)) << key;
    EXPECT_EQ(emu::OpenKeyCount(), 0u);
  }
  EXPECT_TRUE(Logged().empty());
}

}  // namespace
