/* Prints the short (8.3) form of a path, or the path itself when the system gives none.
   Usage: shortpath PATH */
#include <windows.h>
#include <stdio.h>

int main(int argc, char** argv) {
  char shortPath[MAX_PATH];
  DWORD length;
  if (argc != 2) {
    fprintf(stderr, "usage: shortpath PATH\n");
    return 2;
  }
  length = GetShortPathNameA(argv[1], shortPath, sizeof shortPath);
  puts(length > 0 && length < sizeof shortPath ? shortPath : argv[1]);
  return 0;
}
