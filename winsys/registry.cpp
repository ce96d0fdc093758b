// The product's registry entries: the uninstall entry, read under the current user first,
// and the deletion of a key tree.
#include "winsys/registry.h"

#include "rtl/tregistry.h"
#include "textutil/textutil.h"
#include "winsys/errors.h"

const char* const UninstallKey =
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kelmora";
const char* const LegacyKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Kelmora";

std::string ReadRegValue(const std::string& valueName, const std::string& keyPath, HKEY root) {
  // The registry object lives on the stack, so it is released on every path, also when the
  // read raises.
  TRegistry registry;
  registry.SetRootKey(root);
  std::string result;
  if (registry.OpenKey(keyPath, false)) {
    result = registry.ReadString(valueName);
    registry.CloseKey();
  } else {
    // A key we may not open with full access is as good as missing.
    WriteStartupLog("Registry Open Failed for Key: " + valueName);
  }
  return result;
}

std::string ReadUninstallValue(const std::string& valueName) {
  std::string result = ReadRegValue(valueName, UninstallKey, HKEY_CURRENT_USER);
  try {
    // An empty value under the current user counts as absent.
    if (result.empty()) result = ReadRegValue(valueName, UninstallKey, HKEY_LOCAL_MACHINE);
  } catch (...) {
    // A bad value under the local machine must not stop the run: treat it as absent.
  }
  return result;
}

std::string GetInstallDir() {
  const std::string command = ReadUninstallValue("UninstallString");
  const int p = PosNoCase("KelDel.Exe", command);
  if (p <= 1) return "";
  return command.substr(0, static_cast<size_t>(p) - 1);
}

std::string GetDataDir() {
  std::string command = ReadUninstallValue("UninstallString");
  const std::string folder = GetInstallDir();
  command.erase(0, folder.size());  // erase clamps, so a longer folder cannot overrun
  return GetToken(command, 4);
}

void DeleteRegKey(const std::string& keyPath, bool localMachine) {
  TRegistry registry;
  registry.SetRootKey(localMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER);
  // Whatever the system refuses to remove simply stays; nobody is told.
  registry.DeleteKey(keyPath.empty() ? std::string(UninstallKey) : keyPath);
}
