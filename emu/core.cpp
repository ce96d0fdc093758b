#include "emu/core.h"

#include <vector>

namespace emu {
namespace {

thread_local DWORD t_lastError = 0;

struct Fault {
  int remaining;  // calls still to pass before the failing one
  DWORD error;
};

struct CoreState {
  std::map<uintptr_t, std::unique_ptr<HandleObject>> handles;
  uintptr_t nextHandle = 0x1000;
  std::map<std::string, int> calls;
  std::map<std::string, std::vector<Fault>> faults;
  bool faultFired = false;
};

CoreState& core() {
  static CoreState state;
  return state;
}

}  // namespace

HANDLE NewHandle(std::unique_ptr<HandleObject> object) {
  CoreState& c = core();
  uintptr_t value = c.nextHandle;
  c.nextHandle += 4;  // like Windows: multiples of four, never 0 or -1
  c.handles[value] = std::move(object);
  return reinterpret_cast<HANDLE>(value);
}

HandleObject* LookupHandle(HANDLE handle) {
  auto& handles = core().handles;
  auto it = handles.find(reinterpret_cast<uintptr_t>(handle));
  return it == handles.end() ? nullptr : it->second.get();
}

bool ReleaseHandle(HANDLE handle) {
  auto& handles = core().handles;
  auto it = handles.find(reinterpret_cast<uintptr_t>(handle));
  if (it == handles.end()) return false;
  // Destroy after erasing, so a destructor that looks at the table sees it gone.
  std::unique_ptr<HandleObject> object = std::move(it->second);
  handles.erase(it);
  return true;
}

size_t OpenHandleCount() { return core().handles.size(); }

bool Enter(const char* api) {
  CoreState& c = core();
  ++c.calls[api];
  auto it = c.faults.find(api);
  if (it == c.faults.end()) return false;
  bool fire = false;
  DWORD error = 0;
  for (Fault& f : it->second) {
    if (f.remaining < 0) continue;
    if (f.remaining == 0) {
      fire = true;
      error = f.error;
    }
    --f.remaining;
  }
  if (!fire) return false;
  c.faultFired = true;
  t_lastError = error;
  return true;
}

void FailCall(const std::string& api, int nth, DWORD error) {
  if (nth < 1) return;
  core().faults[api].push_back(Fault{nth - 1, error});
}

void ClearFaults() {
  core().faults.clear();
  core().faultFired = false;
}

const std::map<std::string, int>& CallCounts() { return core().calls; }

int CallCount(const std::string& api) {
  auto it = core().calls.find(api);
  return it == core().calls.end() ? 0 : it->second;
}

bool FaultFired() { return core().faultFired; }

void Reset() {
  CoreState& c = core();
  c.handles.clear();
  c.nextHandle = 0x1000;
  c.calls.clear();
  ClearFaults();
  t_lastError = 0;
  ResetFileSystem();
  ResetRegistry();
  ResetSystem();
}

}  // namespace emu

DWORD WINAPI GetLastError(void) { return emu::t_lastError; }

void WINAPI SetLastError(DWORD dwErrCode) { emu::t_lastError = dwErrCode; }
