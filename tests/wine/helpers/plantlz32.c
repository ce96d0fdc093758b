/* A stranger's LZ32.DLL planted beside the launcher: it leaves C:\planted.log when it is
   loaded, and its LZ functions fail, so a launcher that took it would not expand anything. */
#include <windows.h>
#include <stdio.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    FILE* out = fopen("C:\\planted.log", "ab");
    if (out != NULL) {
      fputs("planted LZ32.DLL loaded\n", out);
      fclose(out);
    }
  }
  return TRUE;
}

__declspec(dllexport) INT WINAPI LZOpenFileA(LPSTR name, LPOFSTRUCT buf, WORD style) {
  (void)name;
  (void)buf;
  (void)style;
  return -1;
}

__declspec(dllexport) LONG WINAPI LZCopy(INT source, INT dest) {
  (void)source;
  (void)dest;
  return -1;
}

__declspec(dllexport) VOID WINAPI LZClose(INT handle) { (void)handle; }
