// The launcher's Windows entry point.
#include "launcher/setup.h"
#include "platform/win32.h"

namespace {

template <typename Fn>
Fn Kernel32Entry(const char* name) {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel == nullptr) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(kernel, name)));
}

// A medium can be copied anywhere, DLLs and all: take the launcher's own folder out of the
// DLL search before anything gets loaded. Both calls are missing on older Windows, where
// the program must still start.
void KeepOwnFolderOutOfDllSearch() {
  constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
  if (auto setDefault = Kernel32Entry<BOOL(WINAPI*)(DWORD)>("SetDefaultDllDirectories")) {
    setDefault(kSearchSystem32);
  }
  if (auto setDllDirectory = Kernel32Entry<BOOL(WINAPI*)(LPCSTR)>("SetDllDirectoryA")) {
    setDllDirectory("");
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  KeepOwnFolderOutOfDllSearch();
  return RunLauncherProcess();
}
