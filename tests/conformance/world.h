// The few things the conformance tests need that are not the API under test: a scratch folder
// and a scratch registry key, made in the emulation's world on Linux and for real on Windows,
// so the same test source checks both.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/win32.h"

namespace conf {

enum class Side { Emulation, Wine, Windows };
Side CurrentSide();
const char* SideName(Side side);

// The value a case expects on this side: Wine's where it knowingly differs from Windows,
// whose behaviour the emulation follows.
template <class T>
T WindowsOrWine(T windows, T wine) {
  return CurrentSide() == Side::Wine ? wine : windows;
}

// Under Wine as the Unix superuser, file permissions do not stop writing, so a read-only file
// opens for writing (run-conformance.sh says so through KELCONF_UNIX_ROOT=1).
bool WineRunsAsUnixRoot();

// The ANSI code page the text cases are written for. The emulation always speaks
// Windows-1252; a real system may not.
bool AnsiIsWindows1252();

// Local-free UTC FILETIME from calendar fields, so tests need no API to build a time.
FILETIME UtcFileTime(int year, int month, int day, int hour, int minute, int second,
                     int millisecond = 0);
uint64_t Ticks(const FILETIME& time);

// A fresh scratch folder and registry key for one test, removed again when it ends.
class World {
 public:
  World();
  ~World();
  World(const World&) = delete;
  World& operator=(const World&) = delete;

  // The scratch folder, with its trailing backslash.
  const std::string& Root() const { return root_; }
  std::string Path(std::string_view relative) const { return root_ + std::string(relative); }
  void AddFolder(const std::string& relative, DWORD attributes = 0);
  void AddFile(const std::string& relative, std::string_view content = {}, DWORD attributes = 0,
               std::optional<FILETIME> lastWrite = std::nullopt);

  // The scratch key under HKEY_CURRENT_USER, without leading or trailing backslash.
  const std::string& RegKey() const { return regKey_; }
  std::string RegPath(std::string_view relative) const;
  void AddRegKey(const std::string& relative);
  // Any type, the bytes exactly as given (a REG_SZ without its zero stays without one).
  void SetRegValue(const std::string& relative, const std::string& name, DWORD type,
                   std::string_view data);

 private:
  std::string root_;
  std::string regKey_;
#ifdef _WIN32
  std::string savedCurrentDir_;  // the emulated one goes with the next reset
#endif
};

// Closes a file or find handle on every way out of a test, so the scratch folder can go.
class ScopedHandle {
 public:
  enum Kind { File, Find };
  explicit ScopedHandle(HANDLE handle = INVALID_HANDLE_VALUE, Kind kind = File)
      : handle_(handle), kind_(kind) {}
  ~ScopedHandle() { Close(); }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  void Close();

 private:
  HANDLE handle_;
  Kind kind_;
};

class ScopedKey {
 public:
  ScopedKey() = default;
  ~ScopedKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;
  HKEY* out() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace conf
