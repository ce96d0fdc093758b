#include "platform/win32.h"

#include <cstring>

namespace {

using OpenFn = INT(WINAPI*)(LPSTR, LPOFSTRUCT, WORD);
using CopyFn = LONG(WINAPI*)(INT, INT);
using CloseFn = VOID(WINAPI*)(INT);

struct Lz32 {
  OpenFn open = nullptr;
  CopyFn copy = nullptr;
  CloseFn close = nullptr;
};

// GetProcAddress gives a generic pointer; casting through void(*)() is the documented way
// to keep -Wcast-function-type quiet.
template <typename Fn>
Fn Entry(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// Loaded by full path from the system folder, never by bare name. A failed load is tried
// again on the next call, so every failing call leaves the load's own last error.
const Lz32* SystemLz32() {
  static Lz32 lz;
  if (lz.open != nullptr) return &lz;
  char path[MAX_PATH + 16];
  UINT length = GetSystemDirectoryA(path, MAX_PATH);
  if (length == 0) return nullptr;
  if (length >= MAX_PATH) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return nullptr;
  }
  std::strcpy(path + length, "\\lz32.dll");
  HMODULE module = LoadLibraryA(path);
  if (module == nullptr) return nullptr;
  Lz32 found{Entry<OpenFn>(module, "LZOpenFileA"), Entry<CopyFn>(module, "LZCopy"),
             Entry<CloseFn>(module, "LZClose")};
  if (found.open == nullptr || found.copy == nullptr || found.close == nullptr) {
    FreeLibrary(module);
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  lz = found;
  return &lz;
}

}  // namespace

INT WINAPI KelLZOpenFileA(LPSTR fileName, LPOFSTRUCT openBuf, WORD style) {
  const Lz32* lz = SystemLz32();
  return lz != nullptr ? lz->open(fileName, openBuf, style) : -1;
}

LONG WINAPI KelLZCopy(INT source, INT dest) {
  const Lz32* lz = SystemLz32();
  return lz != nullptr ? lz->copy(source, dest) : LZERROR_BADINHANDLE;
}

VOID WINAPI KelLZClose(INT handle) {
  if (const Lz32* lz = SystemLz32()) lz->close(handle);
}
