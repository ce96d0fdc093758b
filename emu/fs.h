// Control of the emulated file system: drives, folders and files, the current folder, the
// temp path, the clock and the local-time offset. Tests and the scenario runner build a
// machine with these; the launcher sees it only through the Win32 calls.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "emu/win32_emu.h"

namespace emu {

struct DriveSpec {
  UINT type = DRIVE_FIXED;
  uint64_t freeBytes = 1ull << 30;
  bool mediumPresent = true;
  bool readOnly = false;
  DWORD bytesPerSector = 512;
  DWORD sectorsPerCluster = 8;
  uint64_t totalBytes = 0;  // 0: as much as is free
};
// Replaces an existing drive of that letter, emptying it.
void AddDrive(char letter, const DriveSpec& spec = {});
void RemoveDrive(char letter);
void SetDriveFreeBytes(char letter, uint64_t bytes);
uint64_t DriveFreeBytes(char letter);  // 0 for a missing drive
void SetMediumPresent(char letter, bool present);

struct EntrySpec {
  DWORD attributes = 0;
  // Default initialisers also keep designated initialisers ({.attributes = ...}) quiet.
  std::optional<FILETIME> lastWrite{};  // UTC; default: the clock
  std::string shortName{};              // empty: generated when the name is not 8.3
};
// Both make missing parent folders; an existing entry of that name is replaced. They do not
// consume free space: only writes through the API do.
void AddFile(const std::string& path, std::string_view content = {}, const EntrySpec& spec = {});
void AddFolder(const std::string& path, const EntrySpec& spec = {});
bool Exists(const std::string& path);
bool IsFolder(const std::string& path);
std::optional<std::string> FileContent(const std::string& path);
DWORD Attributes(const std::string& path);  // INVALID_FILE_ATTRIBUTES when absent
std::optional<FILETIME> LastWrite(const std::string& path);
// The 8.3 name of the entry; empty when its long name is already one (or it is absent).
std::string ShortName(const std::string& path);
// Local wall time -> UTC FILETIME with the current offset.
FILETIME LocalTime(int year, int month, int day, int hour, int minute, int second,
                   int millisecond = 0);
// Local DOS date-time of the entry, -1 when absent or a folder.
int32_t DosStamp(const std::string& path);
// "Another process" holds the file; CloseHandle releases it. NULL when the path is no file
// or the open conflicts with handles already held.
HANDLE HoldOpen(const std::string& path, DWORD access, DWORD share);
void SetCurrentDir(const std::string& path);
std::string CurrentDir();  // without trailing backslash except for a root
// The text GetTempPathA reports, exactly as given (Windows adds the backslash itself; a
// scenario may want a text without one).
void SetTempPath(const std::string& text);
void FailTempPath(DWORD error);
void SetLocalTimeOffsetMinutes(int minutes);  // local = UTC + minutes
int LocalTimeOffsetMinutes();
void SetClock(FILETIME utcNow);
FILETIME Clock();
UINT ErrorMode();
// System boxes for a drive without a medium that would have appeared (error mode lacking
// SEM_FAILCRITICALERRORS).
int CriticalErrorBoxes();

struct FileInfo {
  std::string path;
  bool folder;
  DWORD attributes;
  FILETIME lastWrite;
  std::string content;
};
// Every entry on every drive (not the roots), sorted by path: for snapshots and transcripts.
std::vector<FileInfo> ListAll();

}  // namespace emu
