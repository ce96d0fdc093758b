/* Stands in for Kel.Exe: appends its command line and current folder to C:\kelstub.log
   and ends at once. */
#include <windows.h>
#include <stdio.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  char folder[MAX_PATH];
  FILE* out;
  (void)instance;
  (void)previous;
  (void)commandLine;
  (void)show;
  if (GetCurrentDirectoryA(sizeof folder, folder) == 0) folder[0] = 0;
  out = fopen("C:\\kelstub.log", "ab");
  if (out == NULL) return 1;
  fprintf(out, "cmdline: %s\ncwd: %s\n", GetCommandLineA(), folder);
  fclose(out);
  return 0;
}
