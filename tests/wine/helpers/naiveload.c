/* Loads LZ32.DLL by its bare name, as a program that trusts the default DLL search does.
   The tests use it to show that a DLL planted beside a program is taken on this system. */
#include <windows.h>

int main(void) { return LoadLibraryA("LZ32.DLL") != NULL ? 0 : 1; }
