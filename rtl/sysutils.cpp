#include "rtl/sysutils.h"

#include <cstring>
#include <vector>

#include "rtl/exceptions.h"

namespace {

// Local DOS date-time of a UTC file time; -1 when either conversion fails.
int32_t DosDateTime(const FILETIME& utc) {
  FILETIME local;
  WORD date = 0;
  WORD time = 0;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToDosDateTime(&local, &date, &time)) {
    return -1;
  }
  return static_cast<int32_t>((static_cast<uint32_t>(date) << 16) | time);
}

std::string FoundName(const WIN32_FIND_DATAA& data) {
  // The name field may be full to the brim without a terminating zero.
  return std::string(data.cFileName, strnlen(data.cFileName, sizeof(data.cFileName)));
}

// Passes over the entries the mask excludes; 0 once rec holds a wanted entry.
int FindMatchingFile(TSearchRec& rec) {
  while ((rec.FindData.dwFileAttributes & rec.ExcludeAttr) != 0) {
    if (!FindNextFileA(rec.FindHandle, &rec.FindData)) return static_cast<int>(GetLastError());
  }
  rec.Time = DosDateTime(rec.FindData.ftLastWriteTime);
  rec.Size = static_cast<int32_t>(rec.FindData.nFileSizeLow);
  rec.Attr = rec.FindData.dwFileAttributes;
  rec.Name = FoundName(rec.FindData);
  return 0;
}

const char* InOutMessage(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND: return "File not found";
    case ERROR_PATH_NOT_FOUND: return "Invalid filename";
    case ERROR_TOO_MANY_OPEN_FILES: return "Too many open files";
    case ERROR_ACCESS_DENIED: return "File access denied";
    default: return nullptr;
  }
}

bool IsBlank(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u != 0 && u <= ' ';
}

// The items of the command line: blanks separate, double quotes group and are dropped.
std::vector<std::string> SplitCommandLine(const char* line) {
  std::vector<std::string> items;
  if (line == nullptr) return items;
  const char* p = line;
  for (;;) {
    while (IsBlank(*p)) ++p;
    if (*p == '\0') break;
    std::string item;
    while (*p != '\0' && !IsBlank(*p)) {
      if (*p == '"') {
        ++p;
        while (*p != '\0' && *p != '"') item += *p++;
        if (*p == '"') ++p;
      } else {
        item += *p++;
      }
    }
    items.push_back(std::move(item));
  }
  return items;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decimal in [-2^31, 2^31 - 1]; hexadecimal is a 32-bit pattern (up to FFFFFFFF), negated
// when signed.
bool ParseInt(const std::string& text, int32_t& value) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  unsigned base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i == text.size()) return false;
  const uint64_t limit = base == 16 ? 0xFFFFFFFFu : (negative ? 0x80000000u : 0x7FFFFFFFu);
  uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const int digit = HexDigit(text[i]);
    if (digit < 0 || static_cast<unsigned>(digit) >= base) return false;
    magnitude = magnitude * base + static_cast<unsigned>(digit);
    if (magnitude > limit) return false;
  }
  const auto pattern = static_cast<uint32_t>(magnitude);
  value = static_cast<int32_t>(negative ? 0u - pattern : pattern);
  return true;
}

}  // namespace

int32_t FileAge(const std::string& fileName) {
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA(fileName.c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return -1;
  ::FindClose(search);
  if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return -1;
  return DosDateTime(data.ftLastWriteTime);
}

bool FileExists(const std::string& fileName) { return FileAge(fileName) != -1; }

HANDLE FileOpen(const std::string& fileName, DWORD access, DWORD share) {
  return CreateFileA(fileName.c_str(), access, share, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

HANDLE FileCreate(const std::string& fileName) {
  return CreateFileA(fileName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

int32_t FileRead(HANDLE handle, void* buffer, int32_t count) {
  if (count < 0) return -1;
  DWORD done = 0;
  if (!ReadFile(handle, buffer, static_cast<DWORD>(count), &done, nullptr)) return -1;
  return static_cast<int32_t>(done);
}

int32_t FileWrite(HANDLE handle, const void* buffer, int32_t count) {
  if (count < 0) return -1;
  DWORD done = 0;
  if (!WriteFile(handle, buffer, static_cast<DWORD>(count), &done, nullptr)) return -1;
  return static_cast<int32_t>(done);
}

int32_t FileSeek(HANDLE handle, int32_t offset, DWORD origin) {
  // Without a high part, FFFFFFFF is never a valid position: it always means failure.
  const DWORD position = SetFilePointer(handle, offset, nullptr, origin);
  return position == INVALID_SET_FILE_POINTER ? -1 : static_cast<int32_t>(position);
}

void FileClose(HANDLE handle) { CloseHandle(handle); }

void HandleGuard::Close() {
  if (Valid()) CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}

int FindFirst(const std::string& path, DWORD attr, TSearchRec& rec) {
  rec.ExcludeAttr = ~attr & (faHidden | faSysFile | faVolumeID | faDirectory);
  rec.FindHandle = FindFirstFileA(path.c_str(), &rec.FindData);
  if (rec.FindHandle == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());
  const int result = FindMatchingFile(rec);
  if (result != 0) FindClose(rec);
  return result;
}

int FindNext(TSearchRec& rec) {
  if (!FindNextFileA(rec.FindHandle, &rec.FindData)) return static_cast<int>(GetLastError());
  return FindMatchingFile(rec);
}

void FindClose(TSearchRec& rec) {
  if (rec.FindHandle != INVALID_HANDLE_VALUE) {
    ::FindClose(rec.FindHandle);
    rec.FindHandle = INVALID_HANDLE_VALUE;
  }
}

void ChDir(const std::string& dir) {
  if (SetCurrentDirectoryA(dir.c_str())) return;
  const DWORD code = GetLastError();
  const char* message = InOutMessage(code);
  const int number = static_cast<int>(code);
  throw EInOutError(message ? std::string(message) : FormatText("I/O error %d", number), number);
}

std::string ExtractFilePath(const std::string& fileName) {
  const size_t last = fileName.find_last_of("\\:");
  return last == std::string::npos ? std::string() : fileName.substr(0, last + 1);
}

std::string ExtractFileName(const std::string& fileName) {
  const size_t last = fileName.find_last_of("\\:");
  return last == std::string::npos ? fileName : fileName.substr(last + 1);
}

std::string AnsiLowerCase(const std::string& text) {
  std::string lowered = text;
  if (!lowered.empty()) CharLowerBuffA(lowered.data(), static_cast<DWORD>(lowered.size()));
  return lowered;
}

int AnsiCompareText(const std::string& a, const std::string& b) {
  // Explicit lengths: the texts may hold zero bytes.
  return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                        b.data(), static_cast<int>(b.size())) -
         2;
}

bool AnsiSameText(const std::string& a, const std::string& b) { return AnsiCompareText(a, b) == 0; }

int Pos(const std::string& sub, const std::string& text) {
  if (sub.empty() || text.empty()) return 0;
  const size_t at = text.find(sub);
  return at == std::string::npos ? 0 : static_cast<int>(at) + 1;
}

int32_t StrToInt(const std::string& text) {
  int32_t value = 0;
  if (!ParseInt(text, value)) {
    // Joined, not formatted: the text may hold zero bytes.
    throw EConvertError("'" + text + "' is not a valid integer value");
  }
  return value;
}

std::string IntToStr(int64_t value) { return std::to_string(value); }

std::string ParamStr(int index) {
  if (index < 0) return std::string();
  if (index == 0) {
    // Grown until the name fits: a full buffer means the name may have been cut.
    for (DWORD size = MAX_PATH; size <= 0x10000; size *= 2) {
      std::vector<char> buffer(size);
      const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), size);
      if (length == 0) return std::string();
      if (length < size) return std::string(buffer.data(), length);
    }
    return std::string();
  }
  const std::vector<std::string> items = SplitCommandLine(GetCommandLineA());
  return static_cast<size_t>(index) < items.size() ? items[static_cast<size_t>(index)]
                                                   : std::string();
}

int ParamCount() {
  const size_t items = SplitCommandLine(GetCommandLineA()).size();
  return items == 0 ? 0 : static_cast<int>(items - 1);
}
