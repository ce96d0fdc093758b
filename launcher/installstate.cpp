#include "launcher/installstate.h"

#include "launcher/setup.h"
#include "platform/win32.h"
#include "rtl/exceptions.h"
#include "rtl/fileops.h"
#include "rtl/sysutils.h"
#include "rtl/tstringlist.h"
#include "winsys/errors.h"
#include "winsys/files.h"
#include "winsys/paths.h"
#include "winsys/registry.h"

namespace {

// Registered versions strictly between these bounds are too old to take modules.
constexpr int32_t kTooOldAbove = 7000000;
constexpr int32_t kTooOldBelow = 9000000;

constexpr char kModuleListName[] = "AutoLoad.Lst";
constexpr char kModuleListEnd[] = "Setup 2.0";

// The digits of the display name, padded with "00" pairs to at least seven characters:
// 751 gives 7510000, 75 gives 75000000, no digits give 0.
std::string VersionDigits(const std::string& displayName) {
  std::string digits;
  for (char c : displayName) {
    if (c >= '0' && c <= '9') digits += c;
  }
  while (digits.size() < 7) digits += "00";
  return digits;
}

// A number beyond 32 bits cannot be a version of the too-old range, so it does not stop the
// launcher: it counts as outside the window.
bool VersionTooOld(const std::string& displayName) {
  int32_t version = 0;
  try {
    version = StrToInt(VersionDigits(displayName));
  } catch (const EConvertError&) {
    return false;
  }
  return version > kTooOldAbove && version < kTooOldBelow;
}

bool StartsWithNoCase(const std::string& name, const std::string& prefix) {
  return AnsiSameText(name.substr(0, prefix.size()), prefix);
}

bool IsModuleName(const std::string& name) {
  if (!name.empty() && name[0] == '.') return false;
  if (Pos("801", name) == 0 && Pos("101", name) == 0) return false;
  if (AnsiSameText(name, "install.801")) return false;
  if (StartsWithNoCase(name, "common")) return false;
  if (AnsiSameText(name, "betaeng.801")) return false;
  if (StartsWithNoCase(name, "lang")) return false;
  return true;
}

// Every module on the medium, in listing order, each as the source folder and its name.
TStringList ListModules(const std::string& sourceFolder) {
  TStringList modules;
  TSearchRec rec;
  FindGuard guard(rec);
  if (FindFirst(sourceFolder + "*.*", faAnyFile, rec) == 0) {
    do {
      if (IsModuleName(rec.Name)) modules.Add(sourceFolder + rec.Name);
    } while (FindNext(rec) == 0);
  }
  return modules;
}

// Hands the medium's modules to the installed copy and starts it, in every case.
void HandOffModules(const std::string& sourceFolder, const std::string& installDir) {
  std::string dataDir = GetDataDir();
  if (dataDir.empty() || !DirWritable(dataDir)) dataDir = installDir;

  TStringList modules = ListModules(sourceFolder);

  const std::string listFile = dataDir + kModuleListName;
  EraseFile(listFile);  // an old list must not be read again
  if (modules.Count() > 0) {
    modules.Add(kModuleListEnd);
    try {
      SaveListToFile(modules, listFile);
    } catch (...) {
      ShowCheckStartup("Unable to Auto Install modules");
    }
  }

  ChDir(installDir);
  SafeWinExec(ProgramForCommandLine(installDir + "Kel.Exe").c_str(), SW_SHOWNORMAL);
}

}  // namespace

bool CheckInstallState(const std::string& sourceFolder) {
  std::string displayName;
  std::string installDir;
  try {
    displayName = ReadUninstallValue("DisplayName");
    installDir = GetInstallDir();
  } catch (...) {
    ShowNotice("Error accessing KEL Windows' Registry", "Setup Error");
  }

  const bool filesPresent = InstallFilesPresent(sourceFolder);

  if (displayName.empty()) {
    if (filesPresent) return true;
    ShowCheckStartup("Program install files missing (2) <" + displayName + "> <" + installDir);
    return false;
  }

  if (VersionTooOld(displayName)) {
    if (filesPresent) return true;
    ShowCheckStartup("Current Kelmora Program too old to install modules");
    return false;
  }

  if (FileExistsSafe(installDir + "Kel.Exe")) {
    if (filesPresent) return true;
    HandOffModules(sourceFolder, installDir);
    return false;
  }

  if (filesPresent) return true;
  ShowCheckStartup("Program not properly installed");
  return false;
}

bool AutorunUpToDate(const std::string& engineFile, const std::string& firstArgument) {
  if (!AnsiSameText(firstArgument, "autorun")) return false;
  const std::string installDir = GetInstallDir();
  if (installDir.empty()) return false;
  // DOS date-times compared as signed 32-bit numbers; a missing program has -1.
  return FileAge(installDir + "Kel.Exe") >= FileAge(engineFile);
}
