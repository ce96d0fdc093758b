// Copies Kel.Jcf into every JAWS settings subfolder whose copy is older, or that has none.
// JAWS is found only through the file-type registration of ".jcf".
#include "screenreader/screenreader.h"

#include "platform/win32.h"
#include "rtl/sysutils.h"
#include "rtl/tregistry.h"
#include "textutil/textutil.h"
#include "winsys/errors.h"
#include "winsys/files.h"

void InstallScreenReaderConfig(const std::string& sourceFolder) {
  // On the stack: released on every path, also when a read raises.
  TRegistry registry;
  registry.SetRootKey(HKEY_CLASSES_ROOT);

  if (!registry.OpenKey(".jcf", false)) {
    WriteStartupLog("  JAWS: Not Installed");
    return;
  }
  const std::string fileType = registry.ReadString("");
  registry.CloseKey();
  WriteStartupLog("  JAWS: Config File Type = \"" + fileType + "\"");
  if (fileType.empty()) return;

  // The leading backslash starts the path at HKEY_CLASSES_ROOT itself.
  if (!registry.OpenKey("\\" + fileType + "\\shell\\open\\command", false)) return;
  const std::string command = registry.ReadString("");
  registry.CloseKey();
  WriteStartupLog("  JAWS: Command Path = \"" + command + "\"");
  if (command.empty()) return;

  const int p = PosNoCase("\\jconfig.exe", command);
  if (p == 0) return;
  // Whatever precedes the folder in the command (an opening quote) stays part of it.
  const std::string settingsFolder = command.substr(0, static_cast<size_t>(p)) + "Settings\\";
  WriteStartupLog("  JAWS: Settings Path = " + settingsFolder);

  TSearchRec entry;
  FindGuard listing(entry);  // closed on every path, also while an error passes
  if (FindFirst(settingsFolder + "*.*", faAnyFile, entry) != 0) return;
  do {
    WriteStartupLog("  JAWS: Settings Directory " + entry.Name);
    if ((!entry.Name.empty() && entry.Name[0] == '.') || (entry.Attr & faDirectory) == 0) {
      continue;
    }
    const std::string sourceFile = sourceFolder + "Kel.Jcf";
    const std::string targetFile = settingsFolder + entry.Name + "\\Kel.Jcf";
    // A missing target has age -1, so the source is always newer than nothing.
    if (FileAge(sourceFile) <= FileAge(targetFile)) {
      WriteStartupLog("  JAWS: Already Installed in " + targetFile);
    } else if (CopyFileIfChanged(sourceFile, targetFile)) {
      WriteStartupLog("  JAWS: Installing in " + targetFile);
    } else {
      WriteStartupLog("  JAWS: Copy failed to " + targetFile);
    }
  } while (FindNext(entry) == 0);
}

bool ScreenReaderRegistered() {
  TRegistry registry;
  registry.SetRootKey(HKEY_CLASSES_ROOT);
  const bool registered = registry.OpenKey(".jcf", false);
  if (registered) registry.CloseKey();
  return registered;
}
