// The one door to the Win32 API: the real one on Windows, our emulation elsewhere.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <lzexpand.h>
#include "platform/lz32_system.h"
#else
#include "emu/win32_emu.h"
#endif
