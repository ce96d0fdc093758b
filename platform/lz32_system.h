// LZ32 is not a known system DLL: importing it would let a copy planted beside the launcher
// on a copied medium be loaded in its place. These stand-ins load it from the system folder
// on first use and forward to it; platform/win32.h maps the API names onto them.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <lzexpand.h>

// Same results as the real calls; when the system's LZ32 cannot be loaded, KelLZOpenFileA
// returns -1 with the last error of the load, KelLZCopy returns LZERROR_BADINHANDLE and
// KelLZClose does nothing.
INT WINAPI KelLZOpenFileA(LPSTR fileName, LPOFSTRUCT openBuf, WORD style);
LONG WINAPI KelLZCopy(INT source, INT dest);
VOID WINAPI KelLZClose(INT handle);

#define LZOpenFileA KelLZOpenFileA
#define LZCopy KelLZCopy
#define LZClose KelLZClose
#endif
