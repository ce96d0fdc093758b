// Control interface of the emulated user interface, processes, version and security tokens.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "emu/win32_emu.h"

namespace emu {

// ---- user interface ----
struct MessageBoxCall {
  HWND owner;
  std::string text;
  std::string caption;
  UINT style;
  int result;
};
const std::vector<MessageBoxCall>& MessageBoxes();
// Answers for the coming MessageBoxA calls, in order; unscripted boxes answer IDOK.
void ScriptMessageBoxAnswer(int result);
void ScriptMessageBoxFailure(DWORD error);  // the next MessageBoxA returns 0 with this last error

// ---- processes ----
struct WinExecCall {
  std::string commandLine;
  UINT show;
  std::string currentDir;
  UINT result;
};
const std::vector<WinExecCall>& Launches();
// Answers the next WinExec; queued in order. Unscripted calls look the program up in the files.
void ScriptWinExecResult(UINT result, DWORD lastError);
void SetModulePath(const std::string& path);        // default "C:\Setup.exe"
void SetCommandLine(const std::string& commandLine);  // default: the module path

// ---- version ----
struct VersionSpec {
  DWORD major = 5, minor = 1, build = 2600, platform = VER_PLATFORM_WIN32_NT;
  std::string csd = "Service Pack 3";
};
void SetVersion(const VersionSpec& v);
void FailVersionQuery(DWORD error);

// ---- tokens ----
struct GroupSpec {
  std::string sid;  // "S-1-5-32-544"
  DWORD attributes;
};
void SetProcessTokenGroups(std::vector<GroupSpec> groups);
void SetThreadTokenGroups(std::optional<std::vector<GroupSpec>> groups);  // nullopt: no thread token
// SIDs from AllocateAndInitializeSid not yet released by FreeSid.
size_t OutstandingSids();
// "S-1-5-32-544" for a SID layout; "" for nullptr.
std::string SidToString(PSID sid);

// ---- text, shared by the emulated areas ----
// Windows-1252 lowering of one byte, as CharLowerBuffA does it.
char LowerAnsi(char c);
std::string LowerAnsi(std::string text);

}  // namespace emu
