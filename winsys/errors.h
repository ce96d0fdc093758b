// Windows-error reports, the wrapped system calls that use them, and the start-up log.
#pragma once

#include <memory>
#include <string>

#include "platform/win32.h"
#include "rtl/tstringlist.h"

extern std::string LogDir;                 // empty: logging off (the launcher never sets it)
extern std::unique_ptr<TStringList> LogLines;  // created by the unit's start-up step
extern UINT SavedErrorMode;

void ClearLastError();
void ReportLastError(const std::string& apiName);
void ShowWindowsError(const std::string& apiName, const std::string& message);
void WriteStartupLog(const std::string& line);

BOOL SafeGetVersionEx(OSVERSIONINFOA& info);
int SafeMessageBox(HWND owner, const char* text, const char* caption, UINT style);
void SetCriticalErrorMode(bool on);
UINT SafeWinExec(const char* commandLine, UINT show);
std::string GetTempDir();
