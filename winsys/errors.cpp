#include "winsys/errors.h"

#include <cstring>

#include "rtl/sysutils.h"
#include "winsys/paths.h"

std::string LogDir;
std::unique_ptr<TStringList> LogLines;
UINT SavedErrorMode = 0;

namespace {

// FORMAT_MESSAGE_FROM_SYSTEM with the width mask: the system's text on one line, no inserts.
const DWORD kMessageFlags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_MAX_WIDTH_MASK;
const size_t kLogEntryLimit = 255;
const UINT kWinExecSuccess = 32;

static_assert(sizeof(OSVERSIONINFOA) == 148, "the version record is 148 bytes");

}  // namespace

void ClearLastError() { SetLastError(0); }

void ReportLastError(const std::string& apiName) {
  const DWORD error = GetLastError();
  if (error == 0) return;
  char buffer[255];
  buffer[0] = '\0';
  FormatMessageA(kMessageFlags, nullptr, error, 0, buffer, sizeof buffer, nullptr);
  const std::string message(buffer, strnlen(buffer, sizeof buffer));
  if (message.empty()) return;
  ShowWindowsError(apiName, message);
}

void ShowWindowsError(const std::string& apiName, const std::string& message) {
  // Straight to MessageBoxA: a box that cannot be shown must not report itself again.
  const std::string caption = "Windows Error: " + apiName;
  MessageBoxA(nullptr, message.c_str(), caption.c_str(), MB_OK);
  WriteStartupLog("Windows Error (" + apiName + ") " + message);
}

void WriteStartupLog(const std::string& line) {
  if (LogDir.empty()) return;
  if (LogLines) LogLines->Add(line);
  HandleGuard log(FileOpen(LogDir + "Startup.Log", GENERIC_WRITE, 0));
  if (!log.Valid()) return;
  FileSeek(log.Get(), 0, FILE_END);
  std::string entry = line + "\r\n";
  if (entry.size() > kLogEntryLimit) entry.resize(kLogEntryLimit);
  FileWrite(log.Get(), entry.data(), static_cast<int32_t>(entry.size()));
}

BOOL SafeGetVersionEx(OSVERSIONINFOA& info) {
  ClearLastError();
  std::memset(&info, 0, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
  const BOOL result = GetVersionExA(&info);
  if (result == 0) ReportLastError("GetVersionEx");
  return result;
}

int SafeMessageBox(HWND owner, const char* text, const char* caption, UINT style) {
  ClearLastError();
  const int result = MessageBoxA(owner, text, caption, style);
  if (result == 0) ReportLastError("MessageBox");
  return result;
}

void SetCriticalErrorMode(bool on) {
  ClearLastError();
  if (on) {
    SavedErrorMode = SetErrorMode(SEM_FAILCRITICALERRORS);
  } else {
    SetErrorMode(SavedErrorMode);
  }
  // SetErrorMode has no failure result: whatever last error it leaves is reported.
  ReportLastError("SetErrorMode");
}

UINT SafeWinExec(const char* commandLine, UINT show) {
  ClearLastError();
  const UINT result = WinExec(commandLine, show);
  if (result < kWinExecSuccess) ReportLastError("WinExec");
  return result;
}

std::string GetTempDir() {
  ClearLastError();
  const std::string path =
      QueryPathText([](LPSTR buffer, DWORD size) { return GetTempPathA(size, buffer); });
  if (path.empty()) ReportLastError("GetTempPath");
  return AddBackslash(path);
}
