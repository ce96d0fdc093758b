// The emulated registry: a tree of keys per predefined root, compared without regard to case,
// with typed values of raw bytes, and the advapi32 functions the launcher calls.
#include "emu/registry.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <vector>

#include "emu/core.h"

namespace emu {
namespace {

constexpr LSTATUS kBadPathname = 161;  // ERROR_BAD_PATHNAME
constexpr REGSAM kWow64Flags = 0x0100 | 0x0200;
constexpr REGSAM kMaximumAllowed = 0x02000000;
constexpr FILETIME kKeyWriteTime = {0xD53E8000, 0x01CA8A75};  // 2010-01-01 00:00 UTC

// The hive keeps names in upper case order, so enumeration follows that order.
char UpperAnsi(char c) {
  auto u = static_cast<unsigned char>(c);
  if (u >= 'a' && u <= 'z') return static_cast<char>(u - 0x20);
  if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return static_cast<char>(u - 0x20);
  switch (u) {
    case 0x9A: return static_cast<char>(0x8A);
    case 0x9C: return static_cast<char>(0x8C);
    case 0x9E: return static_cast<char>(0x8E);
    case 0xFF: return static_cast<char>(0x9F);
    default: return c;
  }
}

std::string Fold(const std::string& name) {
  std::string out = name;
  for (char& c : out) c = UpperAnsi(c);
  return out;
}

struct Key {
  std::string name;
  std::map<std::string, std::shared_ptr<Key>> subkeys;  // by folded name
  std::map<std::string, RegValue> values;               // by folded name
  bool denyFull = false;
  bool denyDelete = false;
  bool deleted = false;
  bool isRoot = false;
  std::weak_ptr<Key> parent;
};
using KeyPtr = std::shared_ptr<Key>;

struct RegistryState {
  std::map<ULONG_PTR, KeyPtr> roots;
};

RegistryState& state() {
  static RegistryState s;
  return s;
}

size_t g_openKeys = 0;

class KeyHandle : public HandleObject {
 public:
  KeyHandle(KeyPtr k, REGSAM a) : key(std::move(k)), access(a) { ++g_openKeys; }
  ~KeyHandle() override { --g_openKeys; }
  KeyPtr key;
  REGSAM access;
};

const HKEY kRoots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS};

KeyPtr RootKey(HKEY root) {
  auto& roots = state().roots;
  auto it = roots.find(reinterpret_cast<ULONG_PTR>(root));
  return it == roots.end() ? nullptr : it->second;
}

// The key behind a predefined root or an open handle, with the access it was opened for.
KeyPtr Resolve(HKEY hKey, REGSAM* access) {
  if (KeyPtr root = RootKey(hKey)) {
    *access = KEY_ALL_ACCESS;
    return root;
  }
  if (auto* handle = LookupHandleAs<KeyHandle>(reinterpret_cast<HANDLE>(hKey))) {
    *access = handle->access;
    return handle->key;
  }
  return nullptr;
}

// Splits a path given to the API. A leading or doubled backslash is a bad path name on NT;
// one trailing backslash is accepted.
bool SplitApiPath(const char* path, std::vector<std::string>* parts) {
  std::string p = path ? path : "";
  if (!p.empty() && p.back() == '\\') p.pop_back();
  if (p.empty()) return true;
  size_t start = 0;
  for (;;) {
    size_t end = p.find('\\', start);
    std::string part = p.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (part.empty()) return false;
    parts->push_back(part);
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

// The control interface is lenient: empty parts are skipped.
std::vector<std::string> SplitControlPath(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

KeyPtr Walk(KeyPtr key, const std::vector<std::string>& parts) {
  for (const std::string& part : parts) {
    auto it = key->subkeys.find(Fold(part));
    if (it == key->subkeys.end()) return nullptr;
    key = it->second;
  }
  return key;
}

KeyPtr FindKey(HKEY root, const std::string& path) {
  KeyPtr key = RootKey(root);
  return key ? Walk(key, SplitControlPath(path)) : nullptr;
}

KeyPtr CreateKey(HKEY root, const std::string& path) {
  KeyPtr key = RootKey(root);
  if (!key) throw std::invalid_argument("not a predefined registry root");
  for (const std::string& part : SplitControlPath(path)) {
    KeyPtr& child = key->subkeys[Fold(part)];
    if (!child) {
      child = std::make_shared<Key>();
      child->name = part;
      child->parent = key;
    }
    key = child;
  }
  return key;
}

void MarkDeleted(Key& key) {
  key.deleted = true;
  for (auto& [name, child] : key.subkeys) MarkDeleted(*child);
}

// Windows grants KEY_READ for MAXIMUM_ALLOWED on a key that refuses more.
bool AccessRefused(const Key& key, REGSAM sam) {
  if (!key.denyFull) return false;
  REGSAM asked = sam & ~(kWow64Flags | kMaximumAllowed);
  return (asked & ~KEY_READ) != 0;
}

REGSAM GrantedAccess(const Key& key, REGSAM sam) {
  REGSAM granted = sam & ~kWow64Flags;
  if (granted & kMaximumAllowed) granted = key.denyFull ? KEY_READ : KEY_ALL_ACCESS;
  if (granted & GENERIC_READ) granted |= KEY_READ;
  if (granted & GENERIC_ALL) granted |= KEY_ALL_ACCESS;
  return granted;
}

}  // namespace

void ResetRegistry() {
  // Handles were dropped by the core reset; keys still referenced by nothing go away here.
  auto& roots = state().roots;
  roots.clear();
  for (HKEY root : kRoots) {
    auto key = std::make_shared<Key>();
    key->name = RootName(root);
    key->isRoot = true;
    roots[reinterpret_cast<ULONG_PTR>(root)] = key;
  }
}

std::string RootName(HKEY root) {
  if (root == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
  if (root == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
  if (root == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE";
  if (root == HKEY_USERS) return "HKEY_USERS";
  return "";
}

void CreateRegKey(HKEY root, const std::string& path) { CreateKey(root, path); }

void SetRegValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
                 std::string_view data) {
  KeyPtr key = CreateKey(root, path);
  key->values[Fold(name)] = RegValue{name, type, std::string(data)};
}

void SetRegString(HKEY root, const std::string& path, const std::string& name,
                  const std::string& text) {
  SetRegValue(root, path, name, REG_SZ, std::string_view(text.c_str(), text.size() + 1));
}

void SetRegDword(HKEY root, const std::string& path, const std::string& name, DWORD value) {
  char bytes[4] = {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF),
                   static_cast<char>((value >> 16) & 0xFF), static_cast<char>(value >> 24)};
  SetRegValue(root, path, name, REG_DWORD, std::string_view(bytes, 4));
}

bool RegKeyExists(HKEY root, const std::string& path) { return FindKey(root, path) != nullptr; }

void DenyFullAccess(HKEY root, const std::string& path) { CreateKey(root, path)->denyFull = true; }

void DenyDelete(HKEY root, const std::string& path) { CreateKey(root, path)->denyDelete = true; }

size_t OpenKeyCount() { return g_openKeys; }

std::vector<std::string> RegSubKeyNames(HKEY root, const std::string& path) {
  std::vector<std::string> names;
  if (KeyPtr key = FindKey(root, path)) {
    for (auto& [folded, child] : key->subkeys) names.push_back(child->name);
  }
  return names;
}

std::vector<RegValue> RegValues(HKEY root, const std::string& path) {
  std::vector<RegValue> values;
  if (KeyPtr key = FindKey(root, path)) {
    for (auto& [folded, value] : key->values) values.push_back(value);
  }
  return values;
}

bool DeleteRegTree(HKEY root, const std::string& path) {
  std::vector<std::string> parts = SplitControlPath(path);
  if (parts.empty()) return false;  // a root stays
  std::string last = parts.back();
  parts.pop_back();
  KeyPtr parent = FindKey(root, "");
  if (parent) parent = Walk(parent, parts);
  if (!parent) return false;
  auto it = parent->subkeys.find(Fold(last));
  if (it == parent->subkeys.end()) return false;
  MarkDeleted(*it->second);
  parent->subkeys.erase(it);
  return true;
}

bool DeleteRegValue(HKEY root, const std::string& path, const std::string& name) {
  KeyPtr key = FindKey(root, path);
  return key && key->values.erase(Fold(name)) > 0;
}

}  // namespace emu

using emu::KeyPtr;

LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD /*ulOptions*/, REGSAM samDesired,
                             PHKEY phkResult) {
  if (emu::Enter("RegOpenKeyExA")) return static_cast<LSTATUS>(GetLastError());
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  REGSAM parentAccess = 0;
  KeyPtr key = emu::Resolve(hKey, &parentAccess);
  if (!key) return ERROR_INVALID_HANDLE;
  if (key->deleted) return ERROR_KEY_DELETED;
  std::vector<std::string> parts;
  if (!emu::SplitApiPath(lpSubKey, &parts)) return emu::kBadPathname;
  key = emu::Walk(key, parts);
  if (!key) return ERROR_FILE_NOT_FOUND;
  if (emu::AccessRefused(*key, samDesired)) return ERROR_ACCESS_DENIED;
  HANDLE handle = emu::NewHandle(
      std::make_unique<emu::KeyHandle>(key, emu::GrantedAccess(*key, samDesired)));
  *phkResult = reinterpret_cast<HKEY>(handle);
  return ERROR_SUCCESS;
}

LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                LPBYTE lpData, LPDWORD lpcbData) {
  if (emu::Enter("RegQueryValueExA")) return static_cast<LSTATUS>(GetLastError());
  if ((lpData && !lpcbData) || lpReserved) return ERROR_INVALID_PARAMETER;
  REGSAM access = 0;
  KeyPtr key = emu::Resolve(hKey, &access);
  if (!key) return ERROR_INVALID_HANDLE;
  if (key->deleted) return ERROR_KEY_DELETED;
  if (!(access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  auto it = key->values.find(emu::Fold(lpValueName ? lpValueName : ""));
  if (it == key->values.end()) return ERROR_FILE_NOT_FOUND;
  const emu::RegValue& value = it->second;
  const auto size = static_cast<DWORD>(value.data.size());
  if (lpType) *lpType = value.type;
  LSTATUS status = ERROR_SUCCESS;
  if (lpData) {
    if (*lpcbData < size) {
      status = ERROR_MORE_DATA;
    } else if (size > 0) {
      std::memcpy(lpData, value.data.data(), size);
      // A text stored without its zero gets one when the buffer has room, as NT does; the
      // size reported still counts the stored bytes only.
      const bool text = value.type == REG_SZ || value.type == REG_EXPAND_SZ ||
                        value.type == REG_MULTI_SZ;
      if (text && *lpcbData > size && value.data.back() != '\0') lpData[size] = 0;
    }
  }
  if (lpcbData) *lpcbData = size;
  return status;
}

LSTATUS WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                             LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                             PFILETIME lpftLastWriteTime) {
  if (emu::Enter("RegEnumKeyExA")) return static_cast<LSTATUS>(GetLastError());
  if (!lpName || !lpcchName || lpReserved) return ERROR_INVALID_PARAMETER;
  REGSAM access = 0;
  KeyPtr key = emu::Resolve(hKey, &access);
  if (!key) return ERROR_INVALID_HANDLE;
  if (key->deleted) return ERROR_KEY_DELETED;
  if (!(access & KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
  if (dwIndex >= key->subkeys.size()) return ERROR_NO_MORE_ITEMS;
  auto it = key->subkeys.begin();
  std::advance(it, dwIndex);
  const std::string& name = it->second->name;
  if (name.size() >= *lpcchName) return ERROR_MORE_DATA;
  std::memcpy(lpName, name.c_str(), name.size() + 1);
  *lpcchName = static_cast<DWORD>(name.size());
  if (lpClass && lpcchClass) {
    if (*lpcchClass == 0) return ERROR_MORE_DATA;
    lpClass[0] = '\0';
    *lpcchClass = 0;
  }
  if (lpftLastWriteTime) *lpftLastWriteTime = emu::kKeyWriteTime;
  return ERROR_SUCCESS;
}

LSTATUS WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                                LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen,
                                LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                                LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                                LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime) {
  if (emu::Enter("RegQueryInfoKeyA")) return static_cast<LSTATUS>(GetLastError());
  if (lpReserved || (lpClass && !lpcchClass)) return ERROR_INVALID_PARAMETER;
  REGSAM access = 0;
  KeyPtr key = emu::Resolve(hKey, &access);
  if (!key) return ERROR_INVALID_HANDLE;
  if (key->deleted) return ERROR_KEY_DELETED;
  if (!(access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  DWORD maxSubKey = 0, maxName = 0, maxData = 0;
  for (auto& [folded, child] : key->subkeys) {
    maxSubKey = std::max(maxSubKey, static_cast<DWORD>(child->name.size()));
  }
  for (auto& [folded, value] : key->values) {
    maxName = std::max(maxName, static_cast<DWORD>(value.name.size()));
    maxData = std::max(maxData, static_cast<DWORD>(value.data.size()));
  }
  if (lpClass) {
    if (*lpcchClass == 0) return ERROR_MORE_DATA;
    lpClass[0] = '\0';
  }
  if (lpcchClass) *lpcchClass = 0;
  if (lpcSubKeys) *lpcSubKeys = static_cast<DWORD>(key->subkeys.size());
  if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = maxSubKey;
  if (lpcbMaxClassLen) *lpcbMaxClassLen = 0;
  if (lpcValues) *lpcValues = static_cast<DWORD>(key->values.size());
  if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = maxName;
  if (lpcbMaxValueLen) *lpcbMaxValueLen = maxData;
  if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 0x8C;  // owner, group and a small DACL
  if (lpftLastWriteTime) *lpftLastWriteTime = emu::kKeyWriteTime;
  return ERROR_SUCCESS;
}

LSTATUS WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  if (emu::Enter("RegDeleteKeyA")) return static_cast<LSTATUS>(GetLastError());
  if (!lpSubKey) return ERROR_INVALID_PARAMETER;
  REGSAM access = 0;
  KeyPtr parent = emu::Resolve(hKey, &access);
  if (!parent) return ERROR_INVALID_HANDLE;
  if (parent->deleted) return ERROR_KEY_DELETED;
  std::vector<std::string> parts;
  if (!emu::SplitApiPath(lpSubKey, &parts)) return emu::kBadPathname;
  KeyPtr key = emu::Walk(parent, parts);
  if (!key) return ERROR_FILE_NOT_FOUND;
  // The key is opened for DELETE first: a key that refuses full access refuses that too.
  if (key->isRoot || key->denyDelete || key->denyFull) return ERROR_ACCESS_DENIED;
  // NT deletes leaves only.
  if (!key->subkeys.empty()) return ERROR_ACCESS_DENIED;
  KeyPtr owner = key->parent.lock();
  if (!owner) return ERROR_KEY_DELETED;
  owner->subkeys.erase(emu::Fold(key->name));
  emu::MarkDeleted(*key);
  return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCloseKey(HKEY hKey) {
  if (emu::Enter("RegCloseKey")) return static_cast<LSTATUS>(GetLastError());
  if (emu::RootKey(hKey)) return ERROR_SUCCESS;  // predefined keys are never really closed
  HANDLE handle = reinterpret_cast<HANDLE>(hKey);
  if (!emu::LookupHandleAs<emu::KeyHandle>(handle)) return ERROR_INVALID_HANDLE;
  emu::ReleaseHandle(handle);
  return ERROR_SUCCESS;
}
