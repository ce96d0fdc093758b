#include "launcher/setup.h"

#include <cstring>

#include "launcher/installstate.h"
#include "platform/win32.h"
#include "rtl/app.h"
#include "rtl/fileops.h"
#include "rtl/sysutils.h"
#include "screenreader/screenreader.h"
#include "winsys/errors.h"
#include "winsys/paths.h"
#include "winsys/probe.h"

std::string SourceDir;

namespace {

constexpr int32_t kTempSpaceNeededKB = 4096;
constexpr char kFallbackTempFolder[] = "c:\\";
constexpr uint8_t kFallbackTempDrive = 3;
constexpr char kFirstWebSite[] = "www.kelmora.com";
constexpr char kSecondWebSite[] = "www.kelmora.org";
constexpr char kEngineName[] = "KEL.EXE";

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string SourceFolderOf(const std::string& ownPath) {
  std::string folder = AddBackslash(ExtractFilePath(ownPath));
  if (FileExistsSafe(folder + "kel" + "\\" + "win32" + "\\" + "kel.ex_")) {
    folder += "kel\\win32\\";
  }
  return GetShortPath(folder);
}

std::string TempFolder() {
  std::string folder = GetTempDir();
  if (folder.empty()) folder = kFallbackTempFolder;
  return GetShortPath(AddBackslash(folder));
}

// 1-based position of the folder's first letter in the alphabet; 0 (the current drive) when
// the folder does not begin with an ASCII letter, as a network path does not.
uint8_t DriveNumberOf(const std::string& folder) {
  if (folder.empty()) return 0;
  char c = folder[0];
  if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (c < 'a' || c > 'z') return 0;
  return static_cast<uint8_t>(c - 'a' + 1);
}

// May move the temporary folder to c:\ when its own drive is short of space.
void CheckTempSpace(std::string& tempFolder) {
  int32_t freeKB = FreeDiskKB(DriveNumberOf(tempFolder));
  if (freeKB >= kTempSpaceNeededKB) return;
  // Exact comparison: only a lower-case "c" keeps its place.
  if (tempFolder.empty() || tempFolder[0] != 'c') {
    tempFolder = kFallbackTempFolder;
    freeKB = FreeDiskKB(kFallbackTempDrive);
  }
  if (freeKB < kTempSpaceNeededKB) {
    ShowNotice("Warning: 4 Megs of temporary space needed for Setup", "Setup Warning");
  }
}

bool AnyEntryMatches(const std::string& pattern) {
  TSearchRec rec;
  FindGuard guard(rec);
  return FindFirst(pattern, faAnyFile, rec) == 0;
}

std::string LaunchResultNotice(UINT result, const std::string& engineFolder) {
  switch (result) {
    case 0:
      return "0-System was out of memory, executable file was corrupt, or relocations were "
             "invalid.";
    case 2:
      return "2-File was not found. " + engineFolder + kEngineName;
    case 3:
      return "3-Path was not found. " + engineFolder + kEngineName;
    case 5:
      return "5-Attempt was made to dynamically link to a task, or there was a sharing or "
             "network-protection error.";
    case 6:
      return "6-Library required separate data segments for each task.";
    case 8:
      return "8-There was insufficient memory to start the application.";
    case 10:
      return "10-Windows version was incorrect.";
    case 11:
      return "11-Executable file was invalid. Either it was not a Windows application or there "
             "was an error in the .EXE image.";
    case 12:
      return "12-Application was designed for a different operating system.";
    case 13:
      return "13-Application was designed for MS-DOS 4.0.";
    case 14:
      return "14-Type of executable file was unknown.";
    case 15:
      return "15-Attempt was made to load a real-mode application (developed for an earlier "
             "version of Windows).";
    case 16:
      return "16-Attempt was made to load a second instance of an executable file containing "
             "multiple data segments that were not marked read-only.";
    case 19:
      return "19-Attempt was made to load a compressed executable file. The file must be "
             "decompressed before it can be loaded.";
    case 20:
      return "20-Dynamic-link library (DLL) file was invalid. One of the DLLs required to run "
             "this application was corrupt.";
    case 21:
      return "21-Application requires 32-bit extensions.";
    default:
      break;
  }
  if (result >= 32) return "";
  return "Failed to run SETUP1.EXE. Error code: " + std::to_string(result);
}

// The size a whole expansion has: the length an SZDD header stores, or the size of any other
// file, which LZ32 copies unchanged; -1 when the source cannot be read to tell.
int64_t ExpectedExpansionSize(const std::string& source) {
  static const unsigned char kMagic[] = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33, 'A'};
  HandleGuard file(FileOpen(source, GENERIC_READ, FILE_SHARE_READ));
  if (!file.Valid()) return -1;
  unsigned char header[14] = {};
  const int32_t got = FileRead(file.Get(), header, sizeof header);
  if (got < 0) return -1;
  if (got == static_cast<int32_t>(sizeof header) && std::memcmp(header, kMagic, sizeof kMagic) == 0) {
    return static_cast<int64_t>(header[10]) | (static_cast<int64_t>(header[11]) << 8) |
           (static_cast<int64_t>(header[12]) << 16) | (static_cast<int64_t>(header[13]) << 24);
  }
  const DWORD size = GetFileSize(file.Get(), nullptr);
  return size == INVALID_FILE_SIZE ? -1 : static_cast<int64_t>(size);
}

}  // namespace

std::string ProgramForCommandLine(const std::string& path) {
  const bool hasBlank = path.find(' ') != std::string::npos;
  const bool hasQuote = path.find('"') != std::string::npos;
  return hasBlank && !hasQuote ? Quoted(path) : path;
}

void ShowNotice(const std::string& text, const std::string& caption) {
  SafeMessageBox(nullptr, text.c_str(), caption.c_str(), MB_OK);
}

void ShowCheckStartup(const std::string& text) {
  ShowNotice(text + ". Download latest program from " + kFirstWebSite + "/" + kSecondWebSite +
                 " and reinstall.",
             "Check Startup");
}

int32_t FreeDiskKB(uint8_t drive) {
  const int64_t kb = DiskFree(drive) / 1024;  // a failed query (-1) gives 0
  return kb > INT32_MAX ? INT32_MAX : static_cast<int32_t>(kb);
}

bool InstallFilesPresent(const std::string& folder) {
  return (FileExistsSafe(folder + "Kel.Ex_") || FileExistsSafe(folder + "Kel.Exe")) &&
         FileExistsSafe(folder + "Install.Msg") && FileExistsSafe(folder + "Common.801") &&
         AnyEntryMatches(folder + "Lang*.*") && FileExistsSafe(folder + "Kel.JCF");
}

bool ExpandFile(const std::string& source, const std::string& dest) {
  // LZOpenFileA takes a writable name buffer.
  std::string sourceName = source;
  std::string destName = dest;
  OFSTRUCT sourceOf{};
  OFSTRUCT destOf{};

  const INT sourceFile = LZOpenFileA(sourceName.data(), &sourceOf, OF_READ | OF_SHARE_DENY_WRITE);
  if (sourceFile < 0) {
    ShowNotice("Error opening source file " + Quoted(source), "CopyFile");
    return false;
  }
  const INT destFile =
      LZOpenFileA(destName.data(), &destOf, OF_CREATE | OF_SHARE_EXCLUSIVE | OF_WRITE);
  if (destFile < 0) {
    ShowNotice("Error opening destination file " + Quoted(dest), "CopyFile");
    LZClose(sourceFile);
    return false;
  }

  bool copied = false;
  try {
    // LZ32 takes a failed read for the end of the data and reports a cut-short expansion as
    // a success; the engine must not be started from one, so its length is checked too.
    const LONG written = LZCopy(sourceFile, destFile);
    copied = written >= 0 && written == ExpectedExpansionSize(source);
  } catch (...) {
    copied = false;
  }
  if (!copied) {
    ShowNotice("Error copying file " + Quoted(source) + " to " + Quoted(dest), "CopyFile");
  }
  LZClose(destFile);
  LZClose(sourceFile);
  return copied;
}

void RunSetup(const std::string& ownPath, const std::string& firstArgument) {
  const std::string sourceFolder = SourceFolderOf(ownPath);

  if (!CheckInstallState(sourceFolder)) return;

  std::string tempFolder = TempFolder();
  CheckTempSpace(tempFolder);

  if (!InstallFilesPresent(sourceFolder)) {
    ShowCheckStartup("Program install files missing. (1)");
    return;
  }

  // The plain engine wins when both forms are on the medium.
  std::string engineFolder;
  if (FileExistsSafe(sourceFolder + "Kel.Exe")) {
    if (AutorunUpToDate(sourceFolder + "Kel.exe", firstArgument)) return;
    engineFolder = sourceFolder;
  } else {
    if (AutorunUpToDate(sourceFolder + "Kel.ex_", firstArgument)) return;
    if (!ExpandFile(sourceFolder + "Kel.Ex_", tempFolder + "Kel.exe")) return;
    engineFolder = tempFolder;
  }
  const std::string commandLine =
      ProgramForCommandLine(engineFolder + kEngineName) + " " + Quoted(sourceFolder);

  // The engine inherits this folder. A folder D:\ is made current as D:.
  ChDir(engineFolder.substr(0, engineFolder.size() - 1));

  SourceDir = sourceFolder;

  try {
    InstallScreenReaderConfig(SourceDir);
  } catch (...) {
    if (ScreenReaderRegistered()) {
      ShowNotice("Error accessing Jaws Windows' Registry", "Setup Error");
    }
  }

  const UINT result = SafeWinExec(commandLine.c_str(), SW_SHOWNORMAL);
  const std::string notice = LaunchResultNotice(result, engineFolder);
  if (!notice.empty()) ShowNotice(notice, "WinExec");
}

void LauncherEntry() {
  const std::string ownPath = ParamStr(0);
  if (Pos("\\keldel", AnsiLowerCase(ownPath)) != 0) return;
  RunSetup(ownPath, ParamStr(1));
}

int RunLauncherProcess() {
  SourceDir.clear();
  return RunApplication(WinsysInitialize, LauncherEntry);
}
