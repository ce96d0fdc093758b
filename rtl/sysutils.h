// File, text and conversion functions of the runtime library. Failures fold into results
// (-1, false, INVALID_HANDLE_VALUE) except where a function says it raises.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win32.h"

// ---- attributes of find masks ----
constexpr DWORD faReadOnly = 0x01;
constexpr DWORD faHidden = 0x02;
constexpr DWORD faSysFile = 0x04;
constexpr DWORD faVolumeID = 0x08;
constexpr DWORD faDirectory = 0x10;
constexpr DWORD faArchive = 0x20;
constexpr DWORD faAnyFile = 0x3F;

// ---- file age and existence ----
// DOS date-time (local time) of the file's directory entry, found with FindFirstFileA;
// -1 when there is no such entry, it is a folder, or its time does not convert.
int32_t FileAge(const std::string& fileName);
// FileAge(fileName) != -1.
bool FileExists(const std::string& fileName);

// ---- handles ----
// CreateFileA(name, access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr).
HANDLE FileOpen(const std::string& fileName, DWORD access, DWORD share);
// CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
//             FILE_ATTRIBUTE_NORMAL, nullptr).
HANDLE FileCreate(const std::string& fileName);
// Bytes read or written; -1 when the call fails.
int32_t FileRead(HANDLE handle, void* buffer, int32_t count);
int32_t FileWrite(HANDLE handle, const void* buffer, int32_t count);
// New position, or -1.
int32_t FileSeek(HANDLE handle, int32_t offset, DWORD origin);
void FileClose(HANDLE handle);

// Closes a handle at the end of a scope; knows both invalid values.
class HandleGuard {
 public:
  explicit HandleGuard(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~HandleGuard() { Close(); }
  HandleGuard(const HandleGuard&) = delete;
  HandleGuard& operator=(const HandleGuard&) = delete;
  HANDLE Get() const { return handle_; }
  bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  void Close();

 private:
  HANDLE handle_;
};

// ---- folder listing ----
struct TSearchRec {
  int32_t Time = 0;  // DOS date-time, local
  int32_t Size = 0;
  DWORD Attr = 0;
  std::string Name;
  DWORD ExcludeAttr = 0;
  HANDLE FindHandle = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAA FindData{};
};
// Entries whose hidden, system, volume-label or directory attribute is not in attr are
// passed over. 0 when an entry was found, else the system error code.
int FindFirst(const std::string& path, DWORD attr, TSearchRec& rec);
int FindNext(TSearchRec& rec);
void FindClose(TSearchRec& rec);

// Folder listing that closes itself at the end of a scope.
class FindGuard {
 public:
  explicit FindGuard(TSearchRec& rec) : rec_(rec) {}
  ~FindGuard() { FindClose(rec_); }
  FindGuard(const FindGuard&) = delete;
  FindGuard& operator=(const FindGuard&) = delete;

 private:
  TSearchRec& rec_;
};

// ---- current folder ----
// SetCurrentDirectoryA; on failure raises EInOutError with the message of the system error
// code: 2 "File not found", 3 "Invalid filename", 4 "Too many open files", 5 "File access
// denied", any other "I/O error %d".
void ChDir(const std::string& dir);

// ---- names ----
// Everything up to and including the last backslash or colon ("" when there is none).
std::string ExtractFilePath(const std::string& fileName);
// What follows the last backslash or colon.
std::string ExtractFileName(const std::string& fileName);

// ---- text ----
// CharLowerBuffA over a copy of the whole text: positions are kept.
std::string AnsiLowerCase(const std::string& text);
// CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, ...) - 2: <0, 0, >0.
int AnsiCompareText(const std::string& a, const std::string& b);
bool AnsiSameText(const std::string& a, const std::string& b);
// 1-based position of the first occurrence of sub in text, 0 when none or either is empty.
int Pos(const std::string& sub, const std::string& text);

// ---- conversion ----
// Decimal (optionally signed, leading blanks allowed) or hexadecimal with $ or 0x. Raises
// EConvertError "'%s' is not a valid integer value" when the text is no number in range.
int32_t StrToInt(const std::string& text);
std::string IntToStr(int64_t value);

// ---- command line ----
// 0: the module's own path (GetModuleFileNameA). n >= 1: the nth argument of
// GetCommandLineA, blanks separating, a stretch in double quotes may hold blanks and loses
// its quotes; "" when there is none.
std::string ParamStr(int index);
int ParamCount();
