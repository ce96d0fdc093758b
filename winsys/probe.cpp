// The unit's start-up step and end step: which Windows we run on, whether the user is an
// administrator, the log-line list and the removal of the legacy key.
#include "winsys/probe.h"

#include <cstddef>
#include <cstring>
#include <memory>

#include "platform/win32.h"
#include "rtl/app.h"
#include "winsys/errors.h"
#include "winsys/registry.h"

bool IsNT = false;
bool IsAdmin = false;
bool IsWin2000 = false;
bool IsWinXP = false;
int32_t OSMajor = 0;
int32_t OSMinor = 0;

static_assert(sizeof(OSVERSIONINFOA) == 148, "the version record must be the 148-byte ANSI one");

bool GetOSInfo() {
  IsWin2000 = false;
  IsWinXP = false;
  OSVERSIONINFOA info;
  std::memset(&info, 0, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
  // A failed query leaves zeros, which reads as "not NT"; the wrapper has reported it.
  SafeGetVersionEx(info);
  OSMajor = static_cast<int32_t>(info.dwMajorVersion);
  OSMinor = static_cast<int32_t>(info.dwMinorVersion);
  IsWin2000 = OSMajor == 5 && OSMinor == 0;
  IsWinXP = OSMajor == 5 && OSMinor >= 1;
  return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

namespace {

// What the administrator test holds. Released buffer first, then token, then SID, on the
// normal path and while a SystemError passes.
struct AdminTestHold {
  std::unique_ptr<BYTE[]> buffer;
  DWORD bufferLength = 0;
  HANDLE token = nullptr;
  PSID sid = nullptr;

  AdminTestHold() = default;
  AdminTestHold(const AdminTestHold&) = delete;
  AdminTestHold& operator=(const AdminTestHold&) = delete;
  ~AdminTestHold() {
    buffer.reset();
    if (token != nullptr) CloseHandle(token);
    if (sid != nullptr) FreeSid(sid);
  }
};

// The thread's own token when it has one, else the process token; nullptr when neither opens.
HANDLE OpenQueryToken() {
  HANDLE token = nullptr;
  if (OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) return token;
  if (GetLastError() != ERROR_NO_TOKEN) return nullptr;
  token = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return token;
  return nullptr;
}

}  // namespace

bool IsAdminUser() {
  bool result = false;
  AdminTestHold hold;

  hold.token = OpenQueryToken();
  if (hold.token == nullptr) return result;

  SID_IDENTIFIER_AUTHORITY ntAuthority = {{0, 0, 0, 0, 0, 5}};  // SECURITY_NT_AUTHORITY
  PSID sid = nullptr;
  if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &sid)) {
    throw SystemError("Winsys: Administrator-1");
  }
  hold.sid = sid;

  DWORD needed = 0;
  if (GetTokenInformation(hold.token, TokenGroups, nullptr, 0, &needed) ||
      GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    throw SystemError("Winsys: Administrator-2");
  }

  hold.buffer = std::make_unique<BYTE[]>(needed);  // value-initialised: every byte 0
  hold.bufferLength = needed;
  DWORD returned = 0;
  if (!GetTokenInformation(hold.token, TokenGroups, hold.buffer.get(), hold.bufferLength,
                           &returned)) {
    throw SystemError("Winsys: Administrator-3");
  }

  // Trust the group count only as far as the buffer reaches.
  const size_t header = offsetof(TOKEN_GROUPS, Groups);
  if (hold.bufferLength >= header) {
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(hold.buffer.get());
    const size_t fits = (hold.bufferLength - header) / sizeof(SID_AND_ATTRIBUTES);
    const size_t count = groups->GroupCount < fits ? groups->GroupCount : fits;
    const SID_AND_ATTRIBUTES* entries = groups->Groups;
    // Deny-only and disabled entries count: membership is what we ask about.
    for (size_t i = 0; i < count && !result; ++i) {
      if (EqualSid(hold.sid, entries[i].Sid)) result = true;
    }
  }
  return result;
}

void WinsysInitialize() {
  // Registered first, so the list is released even when a probe below raises.
  AddExitProc(WinsysFinalize);
  IsNT = GetOSInfo();
  IsAdmin = IsNT ? IsAdminUser() : true;
  LogLines = std::make_unique<TStringList>();
  DeleteRegKey(LegacyKey, true);
}

void WinsysFinalize() {
  // Clear the variable before the list goes, so nothing can log into a dying list.
  TStringList* list = LogLines.release();
  delete list;
}
