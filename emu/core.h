// Process-wide state shared by every emulated API: last error, handles, call counting and
// fault injection, and the reset that starts a fresh world.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "emu/win32_emu.h"

namespace emu {

// Anything a HANDLE can stand for (open file, find search, token). Closing the handle
// destroys the object, which releases whatever it holds (share locks, for instance).
class HandleObject {
 public:
  virtual ~HandleObject() = default;
};

HANDLE NewHandle(std::unique_ptr<HandleObject> object);
// The object behind a handle, or nullptr for an unknown or closed handle.
HandleObject* LookupHandle(HANDLE handle);
template <class T>
T* LookupHandleAs(HANDLE handle) {
  return dynamic_cast<T*>(LookupHandle(handle));
}
// Removes the handle; false when it was not open.
bool ReleaseHandle(HANDLE handle);
size_t OpenHandleCount();

// Every emulated API function starts with Enter("Name"). It counts the call and, when a
// fault is scheduled for this call, sets the last error and returns true: the function
// must then fail the way it fails on Windows, without touching the world.
bool Enter(const char* api);

// Makes the nth call (1-based, counted from now) of api fail with error.
void FailCall(const std::string& api, int nth, DWORD error);
void ClearFaults();
// How often each API was called since the last reset.
const std::map<std::string, int>& CallCounts();
// How often one API was called since the last reset (0 when never).
int CallCount(const std::string& api);
// True once a scheduled fault has fired.
bool FaultFired();

// Resets the whole world: files, drives, registry, user interface, processes, tokens,
// version, last error, faults, handles.
void Reset();

// Each area of the emulation resets its own part; Reset() calls them all.
void ResetFileSystem();  // fs.cpp: drives, tree, current folder, temp path, error mode, clock
void ResetRegistry();    // registry.cpp
void ResetSystem();      // system.cpp: UI, processes, module path, command line, version, tokens

}  // namespace emu
