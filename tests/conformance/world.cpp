#include "tests/conformance/world.h"

#include <stdexcept>

#ifndef _WIN32
#include "emu/core.h"
#include "emu/fs.h"
#include "emu/registry.h"
#include "emu/system.h"
#endif

namespace conf {

namespace {

// Days from 1601-01-01 to the given date (proleptic Gregorian).
int64_t DaysSince1601(int year, int month, int day) {
  int64_t y = year - (month <= 2 ? 1 : 0);
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t mp = (month + 9) % 12;
  int64_t doy = (153 * mp + 2) / 5 + day - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const int64_t daysFrom1601To1970 = 134774;
  return era * 146097 + doe - 719468 + daysFrom1601To1970;  // 719468: 0000-03-01 to 1970
}

constexpr const char* kRegParent = "Software\\KelmoraConformance";

}  // namespace

FILETIME UtcFileTime(int year, int month, int day, int hour, int minute, int second,
                     int millisecond) {
  int64_t seconds = DaysSince1601(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
  uint64_t ticks = static_cast<uint64_t>(seconds) * 10000000u +
                   static_cast<uint64_t>(millisecond) * 10000u;
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

uint64_t Ticks(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

const char* SideName(Side side) {
  switch (side) {
    case Side::Emulation: return "emulation";
    case Side::Wine: return "Wine";
    case Side::Windows: return "Windows";
  }
  return "?";
}

std::string World::RegPath(std::string_view relative) const {
  return relative.empty() ? regKey_ : regKey_ + "\\" + std::string(relative);
}

void ScopedHandle::Close() {
  if (!valid()) return;
  if (kind_ == Find) {
    FindClose(handle_);
  } else {
    CloseHandle(handle_);
  }
  handle_ = INVALID_HANDLE_VALUE;
}

#ifndef _WIN32

Side CurrentSide() { return Side::Emulation; }
bool WineRunsAsUnixRoot() { return false; }
bool AnsiIsWindows1252() { return true; }

World::World() : root_("C:\\TEMP\\conf\\"), regKey_(std::string(kRegParent) + "\\Scratch") {
  emu::Reset();
  emu::AddFolder("C:\\TEMP\\conf");
  // Every real token has groups; a plain user's has at least these.
  emu::SetProcessTokenGroups({{"S-1-1-0", SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT |
                                              SE_GROUP_ENABLED},
                              {"S-1-5-32-545", SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT |
                                                   SE_GROUP_ENABLED}});
  emu::CreateRegKey(HKEY_CURRENT_USER, regKey_);
}

// The next test resets the world; nothing to undo here.
World::~World() = default;

void World::AddFolder(const std::string& relative, DWORD attributes) {
  emu::AddFolder(Path(relative), {.attributes = attributes});
}

void World::AddFile(const std::string& relative, std::string_view content, DWORD attributes,
                    std::optional<FILETIME> lastWrite) {
  emu::AddFile(Path(relative), content, {.attributes = attributes, .lastWrite = lastWrite});
}

void World::AddRegKey(const std::string& relative) {
  emu::CreateRegKey(HKEY_CURRENT_USER, RegPath(relative));
}

void World::SetRegValue(const std::string& relative, const std::string& name, DWORD type,
                        std::string_view data) {
  emu::SetRegValue(HKEY_CURRENT_USER, RegPath(relative), name, type, data);
}

#else

namespace {

std::string UniqueName() {
  static unsigned counter = 0;
  return "kelconf-" + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(GetTickCount()) + "-" + std::to_string(++counter);
}

// Removes a folder and everything in it, read-only entries too.
void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      std::string path = folder + name;
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path + "\\");
      } else {
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(find, &data));
    FindClose(find);
  }
  SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryA(folder.c_str());
}

// RegDeleteTree is not on every system the launcher knows; the walk is short anyway.
void RemoveKeyTree(HKEY parent, const std::string& path) {
  HKEY key;
  if (RegOpenKeyExA(parent, path.c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
    char name[256];
    DWORD size = sizeof name;
    while (RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS) {
      RemoveKeyTree(key, name);
      size = sizeof name;
    }
    RegCloseKey(key);
  }
  RegDeleteKeyA(parent, path.c_str());
}

void Require(bool ok, const std::string& what) {
  if (!ok) throw std::runtime_error(what + " failed, error " + std::to_string(GetLastError()));
}

}  // namespace

Side CurrentSide() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  bool wine = ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
  return wine ? Side::Wine : Side::Windows;
}

bool AnsiIsWindows1252() { return GetACP() == 1252; }

bool WineRunsAsUnixRoot() {
  char value[8] = "";
  DWORD n = GetEnvironmentVariableA("KELCONF_UNIX_ROOT", value, sizeof value);
  return CurrentSide() == Side::Wine && n == 1 && value[0] == '1';
}

World::World() : regKey_(std::string(kRegParent) + "\\" + UniqueName()) {
  char temp[MAX_PATH];
  DWORD n = GetTempPathA(sizeof temp, temp);
  Require(n > 0 && n < sizeof temp, "GetTempPathA");
  root_ = std::string(temp, n) + UniqueName() + "\\";
  Require(CreateDirectoryA(root_.c_str(), nullptr), "CreateDirectoryA " + root_);
  char current[MAX_PATH];
  n = GetCurrentDirectoryA(sizeof current, current);
  savedCurrentDir_.assign(current, n < sizeof current ? n : 0);
  HKEY key;
  Require(RegCreateKeyExA(HKEY_CURRENT_USER, regKey_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                          nullptr, &key, nullptr) == ERROR_SUCCESS,
          "RegCreateKeyExA " + regKey_);
  RegCloseKey(key);
}

World::~World() {
  // The scratch folder cannot go while it is the current one.
  if (!savedCurrentDir_.empty()) SetCurrentDirectoryA(savedCurrentDir_.c_str());
  RemoveTree(root_);
  RemoveKeyTree(HKEY_CURRENT_USER, regKey_);
  RegDeleteKeyA(HKEY_CURRENT_USER, kRegParent);  // refused while another run still has a key
}

void World::AddFolder(const std::string& relative, DWORD attributes) {
  std::string path = Path(relative);
  Require(CreateDirectoryA(path.c_str(), nullptr), "CreateDirectoryA " + path);
  if (attributes != 0) {
    Require(SetFileAttributesA(path.c_str(), attributes), "SetFileAttributesA " + path);
  }
}

void World::AddFile(const std::string& relative, std::string_view content, DWORD attributes,
                    std::optional<FILETIME> lastWrite) {
  std::string path = Path(relative);
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  Require(file != INVALID_HANDLE_VALUE, "CreateFileA " + path);
  DWORD written = 0;
  bool ok = content.empty() || (WriteFile(file, content.data(), static_cast<DWORD>(content.size()),
                                          &written, nullptr) &&
                                written == content.size());
  if (ok && lastWrite) ok = SetFileTime(file, nullptr, nullptr, &*lastWrite);
  CloseHandle(file);
  Require(ok, "writing " + path);
  if (attributes != 0) {
    Require(SetFileAttributesA(path.c_str(), attributes), "SetFileAttributesA " + path);
  }
}

void World::AddRegKey(const std::string& relative) {
  HKEY key;
  Require(RegCreateKeyExA(HKEY_CURRENT_USER, RegPath(relative).c_str(), 0, nullptr, 0,
                          KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS,
          "RegCreateKeyExA " + RegPath(relative));
  RegCloseKey(key);
}

void World::SetRegValue(const std::string& relative, const std::string& name, DWORD type,
                        std::string_view data) {
  AddRegKey(relative);
  // RegSetValueExA counts a string's zero when the caller left it out but it follows in memory;
  // a non-zero byte there keeps the value exactly as given.
  std::string bytes(data);
  bytes.push_back('X');
  HKEY key;
  Require(RegOpenKeyExA(HKEY_CURRENT_USER, RegPath(relative).c_str(), 0, KEY_SET_VALUE, &key) ==
              ERROR_SUCCESS,
          "RegOpenKeyExA " + RegPath(relative));
  LSTATUS status = RegSetValueExA(key, name.c_str(), 0, type,
                                  reinterpret_cast<const BYTE*>(bytes.data()),
                                  static_cast<DWORD>(data.size()));
  RegCloseKey(key);
  Require(status == ERROR_SUCCESS, "RegSetValueExA " + name);
}

#endif

}  // namespace conf
