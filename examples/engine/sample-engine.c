/* The sample medium's setup engine: a real Windows program standing in for Kelmora's own
   engine. It ends at once and changes nothing, so a trial run of the launcher shows the
   engine being started and no more. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  (void)instance;
  (void)previous;
  (void)commandLine;
  (void)show;
  return 0;
}
