// The program's entry and its single setup run.
#pragma once

#include <cstdint>
#include <string>

extern std::string SourceDir;

void RunSetup(const std::string& ownPath, const std::string& firstArgument);
bool InstallFilesPresent(const std::string& folder);
bool ExpandFile(const std::string& source, const std::string& dest);
void ShowNotice(const std::string& text, const std::string& caption);
void ShowCheckStartup(const std::string& text);
int32_t FreeDiskKB(uint8_t drive);

// A program path for a command line: quoted when it holds a blank (else Windows may start
// "C:\Program" instead), unchanged otherwise.
std::string ProgramForCommandLine(const std::string& path);

// The program entry: lower-cases the own path and, unless it contains "\keldel", runs the
// setup once with the first argument.
void LauncherEntry();
// The whole process: runtime and unit start-up, the entry, the end steps. The exit code.
int RunLauncherProcess();
