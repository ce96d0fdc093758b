// The emulated user interface, processes, version record and security tokens.
#include "emu/system.h"

#include <cstdlib>
#include <cstring>
#include <deque>
#include <set>
#include <stdexcept>

#include "emu/core.h"
#include "emu/fs.h"

namespace emu {
namespace {

constexpr DWORD kOsVersionInfoExSize = 156;
constexpr DWORD kMaximumAllowed = 0x02000000;
const HANDLE kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));
const HANDLE kCurrentThread = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2));

struct BoxAnswer {
  int result;
  DWORD error;  // used when result is 0
};

struct ExecAnswer {
  UINT result;
  DWORD error;
};

struct SystemState {
  std::vector<MessageBoxCall> boxes;
  std::deque<BoxAnswer> boxAnswers;
  std::vector<WinExecCall> launches;
  std::deque<ExecAnswer> execAnswers;
  std::string modulePath = "C:\\Setup.exe";
  std::string commandLine = "C:\\Setup.exe";
  bool commandLineSet = false;
  VersionSpec version;
  DWORD versionError = 0;
  std::vector<GroupSpec> processGroups;
  std::optional<std::vector<GroupSpec>> threadGroups;
  std::set<void*> sids;
};

SystemState& state() {
  static SystemState s;
  return s;
}

std::vector<GroupSpec> DefaultGroups() {
  const DWORD on = SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_ENABLED;
  return {{"S-1-1-0", on},
          {"S-1-5-32-544", on | SE_GROUP_OWNER},
          {"S-1-5-32-545", on},
          {"S-1-5-11", on}};
}

// SID layout: revision, sub-authority count, 6-byte authority (big-endian), then the
// sub-authorities as 32-bit values.
size_t SidLength(BYTE count) { return 8 + 4u * count; }

std::string SidBytes(const std::string& text) {
  auto bad = [&text]() { return std::invalid_argument("not a SID: " + text); };
  if (text.compare(0, 2, "S-") != 0) throw bad();
  std::vector<unsigned long long> numbers;
  size_t pos = 2;
  while (pos <= text.size()) {
    size_t end = text.find('-', pos);
    if (end == std::string::npos) end = text.size();
    if (end == pos) throw bad();
    unsigned long long n = 0;
    for (size_t i = pos; i < end; ++i) {
      if (text[i] < '0' || text[i] > '9') throw bad();
      n = n * 10 + static_cast<unsigned>(text[i] - '0');
    }
    numbers.push_back(n);
    pos = end + 1;
  }
  if (numbers.size() < 2 || numbers.size() > 10 || numbers[0] != 1) throw bad();
  std::string bytes(SidLength(static_cast<BYTE>(numbers.size() - 2)), '\0');
  bytes[0] = 1;
  bytes[1] = static_cast<char>(numbers.size() - 2);
  for (int i = 0; i < 6; ++i) bytes[2 + i] = static_cast<char>(numbers[1] >> (8 * (5 - i)));
  for (size_t i = 2; i < numbers.size(); ++i) {
    auto sub = static_cast<DWORD>(numbers[i]);
    std::memcpy(&bytes[8 + 4 * (i - 2)], &sub, 4);
  }
  return bytes;
}

class TokenObject : public HandleObject {
 public:
  TokenObject(std::vector<GroupSpec> g, DWORD a) : groups(std::move(g)), access(a) {}
  std::vector<GroupSpec> groups;
  DWORD access;
};

DWORD TokenAccess(DWORD desired) {
  if (desired & (kMaximumAllowed | GENERIC_READ | GENERIC_ALL)) desired |= TOKEN_QUERY;
  return desired;
}

BOOL OpenToken(const std::vector<GroupSpec>& groups, DWORD access, PHANDLE token) {
  *token = NewHandle(std::make_unique<TokenObject>(groups, TokenAccess(access)));
  return TRUE;
}

bool HasExtension(const std::string& name) {
  size_t dot = name.rfind('.');
  size_t slash = name.find_last_of("\\/:");
  return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

bool IsFile(const std::string& name) {
  DWORD attributes = GetFileAttributesA(name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// CreateProcess' search: ".exe" first when the name has no extension, then the name itself.
// The program found, or an empty text.
std::string FindProgram(const std::string& name) {
  if (!HasExtension(name) && IsFile(name + ".exe")) return name + ".exe";
  return IsFile(name) ? name : std::string();
}

// Only a file that begins like a Windows program starts; anything else is refused as
// ERROR_BAD_EXE_FORMAT, which WinExec reports as 11. Read through the control interface so
// that the look does not count as a call of the launcher's.
bool LooksLikeProgram(const std::string& path) {
  const std::optional<std::string> content = emu::FileContent(path);
  return content && content->compare(0, 2, "MZ") == 0;
}

// The program part of a command line, found as CreateProcess finds it. Returns 33 when it
// exists and is a program, 11 when it is no program, otherwise the error of the first
// candidate (2: no file, 3: no folder).
UINT LookUpProgram(const std::string& commandLine) {
  std::vector<std::string> candidates;
  if (!commandLine.empty() && commandLine[0] == '"') {
    size_t close = commandLine.find('"', 1);
    candidates.push_back(commandLine.substr(1, close == std::string::npos ? std::string::npos
                                                                           : close - 1));
  } else {
    // An unquoted name with blanks is tried prefix by prefix, up to each blank.
    for (size_t i = 0; i <= commandLine.size(); ++i) {
      if (i == commandLine.size() || commandLine[i] == ' ' || commandLine[i] == '\t') {
        if (i > 0) candidates.push_back(commandLine.substr(0, i));
      }
    }
  }
  if (candidates.empty() || candidates.front().empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return ERROR_FILE_NOT_FOUND;
  }
  const DWORD saved = GetLastError();
  for (const std::string& name : candidates) {
    const std::string program = FindProgram(name);
    if (program.empty()) continue;
    if (!LooksLikeProgram(program)) {
      SetLastError(ERROR_BAD_EXE_FORMAT);
      return 11;
    }
    SetLastError(saved);
    return 33;
  }
  // The failure is judged on the first candidate: its folder missing or only the file.
  std::string first = candidates.front();
  if (!HasExtension(first)) first += ".exe";
  GetFileAttributesA(first.c_str());
  DWORD error = GetLastError();
  if (error != ERROR_PATH_NOT_FOUND) error = ERROR_FILE_NOT_FOUND;
  SetLastError(error);
  return error;
}

std::string CurrentDirectory() {
  char buffer[MAX_PATH + 1] = {};
  DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
  return length > 0 && length < sizeof buffer ? std::string(buffer, length) : std::string();
}

}  // namespace

void ResetSystem() {
  SystemState& s = state();
  for (void* sid : s.sids) std::free(sid);
  s = SystemState{};
  s.processGroups = DefaultGroups();
}

const std::vector<MessageBoxCall>& MessageBoxes() { return state().boxes; }

void ScriptMessageBoxAnswer(int result) { state().boxAnswers.push_back({result, 0}); }

void ScriptMessageBoxFailure(DWORD error) { state().boxAnswers.push_back({0, error}); }

const std::vector<WinExecCall>& Launches() { return state().launches; }

void ScriptWinExecResult(UINT result, DWORD lastError) {
  state().execAnswers.push_back({result, lastError});
}

void SetModulePath(const std::string& path) {
  state().modulePath = path;
  if (!state().commandLineSet) state().commandLine = path;
}

void SetCommandLine(const std::string& commandLine) {
  state().commandLine = commandLine;
  state().commandLineSet = true;
}

void SetVersion(const VersionSpec& v) {
  state().version = v;
  state().versionError = 0;
}

void FailVersionQuery(DWORD error) { state().versionError = error; }

void SetProcessTokenGroups(std::vector<GroupSpec> groups) {
  for (const GroupSpec& g : groups) SidBytes(g.sid);  // a typo in a test shows at once
  state().processGroups = std::move(groups);
}

void SetThreadTokenGroups(std::optional<std::vector<GroupSpec>> groups) {
  if (groups) {
    for (const GroupSpec& g : *groups) SidBytes(g.sid);
  }
  state().threadGroups = std::move(groups);
}

size_t OutstandingSids() { return state().sids.size(); }

std::string SidToString(PSID sid) {
  if (!sid) return "";
  const auto* b = static_cast<const BYTE*>(sid);
  unsigned long long authority = 0;
  for (int i = 0; i < 6; ++i) authority = authority * 256 + b[2 + i];
  std::string text = "S-" + std::to_string(b[0]) + "-" + std::to_string(authority);
  for (BYTE i = 0; i < b[1]; ++i) {
    DWORD sub;
    std::memcpy(&sub, b + 8 + 4 * i, 4);
    text += "-" + std::to_string(sub);
  }
  return text;
}

}  // namespace emu

// ---- user interface ------------------------------------------------------------------------

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  if (emu::Enter("MessageBoxA")) return 0;
  emu::SystemState& s = emu::state();
  emu::MessageBoxCall call{hWnd, lpText ? lpText : "", lpCaption ? lpCaption : "Error", uType,
                           IDOK};
  if (hWnd) {
    // No windows exist in this world, so any owner is an invalid window.
    call.result = 0;
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  } else if (!s.boxAnswers.empty()) {
    emu::BoxAnswer answer = s.boxAnswers.front();
    s.boxAnswers.pop_front();
    call.result = answer.result;
    if (answer.result == 0) SetLastError(answer.error);
  }
  s.boxes.push_back(call);
  return call.result;
}

// ---- processes -----------------------------------------------------------------------------

UINT WINAPI WinExec(LPCSTR lpCmdLine, UINT uCmdShow) {
  if (emu::Enter("WinExec")) return 0;
  emu::SystemState& s = emu::state();
  const DWORD before = GetLastError();
  emu::WinExecCall call{lpCmdLine ? lpCmdLine : "", uCmdShow, emu::CurrentDirectory(), 0};
  SetLastError(before);
  if (!s.execAnswers.empty()) {
    emu::ExecAnswer answer = s.execAnswers.front();
    s.execAnswers.pop_front();
    call.result = answer.result;
    SetLastError(answer.error);
  } else {
    call.result = emu::LookUpProgram(call.commandLine);
  }
  s.launches.push_back(call);
  return call.result;
}

DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
  if (emu::Enter("GetModuleFileNameA")) return 0;
  if (hModule) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  const std::string& path = emu::state().modulePath;
  if (nSize == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (path.size() >= nSize) {
    // Vista and later: cut to nSize - 1 characters and terminated. XP left it unterminated
    // with the last error at 0.
    std::memcpy(lpFilename, path.data(), nSize - 1);
    lpFilename[nSize - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
  }
  std::memcpy(lpFilename, path.c_str(), path.size() + 1);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(path.size());
}

LPSTR WINAPI GetCommandLineA(void) {
  emu::Enter("GetCommandLineA");  // cannot fail
  return emu::state().commandLine.data();
}

HANDLE WINAPI GetCurrentThread(void) {
  emu::Enter("GetCurrentThread");  // cannot fail
  return emu::kCurrentThread;
}

HANDLE WINAPI GetCurrentProcess(void) {
  emu::Enter("GetCurrentProcess");  // cannot fail
  return emu::kCurrentProcess;
}

// ---- version -------------------------------------------------------------------------------

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation) {
  if (emu::Enter("GetVersionExA")) return FALSE;
  if (!lpVersionInformation) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  const DWORD size = lpVersionInformation->dwOSVersionInfoSize;
  if (size != sizeof(OSVERSIONINFOA) && size != emu::kOsVersionInfoExSize) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  const emu::SystemState& s = emu::state();
  if (s.versionError) {
    SetLastError(s.versionError);
    return FALSE;
  }
  const emu::VersionSpec& v = s.version;
  lpVersionInformation->dwMajorVersion = v.major;
  lpVersionInformation->dwMinorVersion = v.minor;
  lpVersionInformation->dwBuildNumber = v.build;
  lpVersionInformation->dwPlatformId = v.platform;
  std::memset(lpVersionInformation->szCSDVersion, 0, sizeof lpVersionInformation->szCSDVersion);
  std::strncpy(lpVersionInformation->szCSDVersion, v.csd.c_str(),
               sizeof lpVersionInformation->szCSDVersion - 1);
  if (size == emu::kOsVersionInfoExSize) {
    // The EX tail: service pack numbers, suite mask, product type (workstation), reserved.
    WORD servicePack = 0;
    const char* digits = std::strpbrk(v.csd.c_str(), "0123456789");
    if (digits && v.csd.compare(0, 13, "Service Pack ") == 0) {
      servicePack = static_cast<WORD>(std::atoi(digits));
    }
    BYTE tail[8] = {static_cast<BYTE>(servicePack), static_cast<BYTE>(servicePack >> 8),
                    0, 0, 0, 0, 1, 0};
    std::memcpy(reinterpret_cast<BYTE*>(lpVersionInformation) + sizeof(OSVERSIONINFOA), tail,
                sizeof tail);
  }
  return TRUE;
}

// ---- tokens and SIDs -----------------------------------------------------------------------

BOOL WINAPI OpenThreadToken(HANDLE ThreadHandle, DWORD DesiredAccess, BOOL /*OpenAsSelf*/,
                            PHANDLE TokenHandle) {
  if (emu::Enter("OpenThreadToken")) return FALSE;
  if (ThreadHandle != emu::kCurrentThread) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!TokenHandle) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  const auto& groups = emu::state().threadGroups;
  if (!groups) {
    SetLastError(ERROR_NO_TOKEN);
    return FALSE;
  }
  return emu::OpenToken(*groups, DesiredAccess, TokenHandle);
}

BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, PHANDLE TokenHandle) {
  if (emu::Enter("OpenProcessToken")) return FALSE;
  if (ProcessHandle != emu::kCurrentProcess) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!TokenHandle) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  return emu::OpenToken(emu::state().processGroups, DesiredAccess, TokenHandle);
}

BOOL WINAPI GetTokenInformation(HANDLE TokenHandle, TOKEN_INFORMATION_CLASS TokenInformationClass,
                                LPVOID TokenInformation, DWORD TokenInformationLength,
                                PDWORD ReturnLength) {
  if (emu::Enter("GetTokenInformation")) return FALSE;
  auto* token = emu::LookupHandleAs<emu::TokenObject>(TokenHandle);
  if (!token) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!(token->access & TOKEN_QUERY)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (TokenInformationClass != TokenGroups) {
    // Only the group list is modelled.
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!ReturnLength) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  // TOKEN_GROUPS: the count, the array (pointer-aligned), then the SIDs it points to.
  std::vector<std::string> sids;
  const size_t header = offsetof(TOKEN_GROUPS, Groups);
  size_t needed = header + token->groups.size() * sizeof(SID_AND_ATTRIBUTES);
  for (const emu::GroupSpec& g : token->groups) {
    sids.push_back(emu::SidBytes(g.sid));
    needed += sids.back().size();
  }
  *ReturnLength = static_cast<DWORD>(needed);
  if (TokenInformationLength < needed || !TokenInformation) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  auto* base = static_cast<BYTE*>(TokenInformation);
  auto* groups = static_cast<TOKEN_GROUPS*>(TokenInformation);
  groups->GroupCount = static_cast<DWORD>(token->groups.size());
  BYTE* sidPos = base + header + token->groups.size() * sizeof(SID_AND_ATTRIBUTES);
  for (size_t i = 0; i < sids.size(); ++i) {
    std::memcpy(sidPos, sids[i].data(), sids[i].size());
    SID_AND_ATTRIBUTES entry{sidPos, token->groups[i].attributes};
    std::memcpy(base + header + i * sizeof(SID_AND_ATTRIBUTES), &entry, sizeof entry);
    sidPos += sids[i].size();
  }
  return TRUE;
}

BOOL WINAPI AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY pIdentifierAuthority,
                                     BYTE nSubAuthorityCount, DWORD nSubAuthority0,
                                     DWORD nSubAuthority1, DWORD nSubAuthority2,
                                     DWORD nSubAuthority3, DWORD nSubAuthority4,
                                     DWORD nSubAuthority5, DWORD nSubAuthority6,
                                     DWORD nSubAuthority7, PSID* pSid) {
  if (emu::Enter("AllocateAndInitializeSid")) return FALSE;
  if (nSubAuthorityCount > 8) {
    SetLastError(ERROR_INVALID_SID);
    return FALSE;
  }
  if (!pIdentifierAuthority || !pSid) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  const DWORD subs[8] = {nSubAuthority0, nSubAuthority1, nSubAuthority2, nSubAuthority3,
                         nSubAuthority4, nSubAuthority5, nSubAuthority6, nSubAuthority7};
  auto* sid = static_cast<BYTE*>(std::calloc(1, emu::SidLength(nSubAuthorityCount)));
  sid[0] = 1;
  sid[1] = nSubAuthorityCount;
  std::memcpy(sid + 2, pIdentifierAuthority->Value, 6);
  std::memcpy(sid + 8, subs, 4u * nSubAuthorityCount);
  emu::state().sids.insert(sid);
  *pSid = sid;
  return TRUE;
}

BOOL WINAPI EqualSid(PSID pSid1, PSID pSid2) {
  if (emu::Enter("EqualSid")) return FALSE;
  const auto* a = static_cast<const BYTE*>(pSid1);
  const auto* b = static_cast<const BYTE*>(pSid2);
  // Windows clears the last error whatever the answer; an invalid SID equals nothing.
  SetLastError(ERROR_SUCCESS);
  auto valid = [](const BYTE* sid) { return sid && sid[0] == 1 && sid[1] <= 15; };
  if (!valid(a) || !valid(b)) return FALSE;
  return a[1] == b[1] && std::memcmp(a, b, emu::SidLength(a[1])) == 0;
}

PVOID WINAPI FreeSid(PSID pSid) {
  if (emu::Enter("FreeSid")) return pSid;
  auto& sids = emu::state().sids;
  auto it = sids.find(pSid);
  if (it == sids.end()) return pSid;  // not ours: handed back, as a failure
  sids.erase(it);
  std::free(pSid);
  return nullptr;
}
