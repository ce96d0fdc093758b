// A scenario: one machine and one start of the launcher, read from a JSON file, and its
// application to the emulated Windows.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "emu/win32_emu.h"

namespace scenario {

// A malformed scenario. The message begins with the field, e.g. "drives[1].type: ...".
class ScenarioError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A local wall-clock time, as media authors write it: "2004-05-06 12:00:00".
struct LocalDate {
  int year = 2024, month = 6, day = 1, hour = 12, minute = 0, second = 0;
};
std::string FormatDate(const LocalDate& date);

struct Entry {
  std::string path;  // full Windows path on an emulated drive
  bool folder = false;
  std::string content;
  std::optional<LocalDate> date;  // empty: the scenario's default date
  DWORD attributes = 0;
  bool onMedium = false;
};

struct Drive {
  char letter = 'C';
  UINT type = DRIVE_FIXED;
  uint64_t freeBytes = 40ull << 30;  // plenty
  bool mediumPresent = true;
  bool readOnly = false;
};

struct TokenGroup {
  std::string sid;
  DWORD attributes = 0;
};

struct Fault {
  std::string api;
  int nth = 1;
  DWORD error = 0;
};

struct WinExecAnswer {
  UINT result = 0;
  DWORD lastError = 0;
};

// A scripted message-box answer: a button, or a failure with this last error.
struct BoxAnswer {
  int answer = 1;
  std::optional<DWORD> failure;
};

struct Scenario {
  std::string name;
  std::string description;
  bool wine = false;  // the author says Wine can host this machine

  DWORD major = 5, minor = 1, build = 2600, platform = VER_PLATFORM_WIN32_NT;
  std::optional<DWORD> versionError;
  std::vector<TokenGroup> tokenGroups;
  std::optional<std::vector<TokenGroup>> threadTokenGroups;

  std::map<char, Drive> drives;
  std::string mediumFolder = "D:\\";
  std::vector<Entry> entries;  // medium files first, then the other files and folders
  LocalDate defaultDate{2004, 5, 6, 12, 0, 0};

  std::string registry;  // REGEDIT4 text
  std::vector<std::string> denyFullAccess;  // "HKEY_CLASSES_ROOT\.jcf"
  std::vector<std::string> denyDelete;

  std::string temp = "C:\\TEMP\\";
  bool createTemp = true;
  std::optional<DWORD> tempError;

  std::string launcherPath = "D:\\Setup.exe";
  std::optional<std::string> argument;
  std::optional<std::string> commandLine;  // raw, instead of path and argument

  std::vector<WinExecAnswer> winExec;
  std::vector<BoxAnswer> messageBoxes;
  std::vector<Fault> faults;

  LocalDate clock{2024, 6, 1, 12, 0, 0};
  int localOffsetMinutes = 0;

  // Top-level fields the file gave, and what can only be had in the emulation.
  std::vector<std::string> given;
  std::vector<std::string> emulationOnly;

  // The command line the launcher sees.
  std::string CommandLine() const;
};

// Reads a scenario; relative host paths ("host", "registryFile") are taken from baseDir.
Scenario ParseScenario(const std::string& jsonText, const std::string& baseDir);
Scenario LoadScenarioFile(const std::string& path);
// A scenario made of defaults, a medium folder on this machine and an optional .reg file.
Scenario DefaultScenario(const std::string& mediumHostDir, const std::string& regFile,
                         const std::optional<std::string>& argument);

// Resets the emulation and builds the scenario's machine in it.
void Apply(const Scenario& s);

// "HKEY_CLASSES_ROOT\.jcf" -> root and path; throws ScenarioError naming field.
HKEY ParseKeyName(const std::string& name, const std::string& field, std::string& path);

// SZDD bytes holding plain as literals only: what "szdd:TEXT" content makes.
std::string SzddOf(const std::string& plain);

}  // namespace scenario
