#include "rtl/tregistry.h"

#include <vector>

#include "rtl/exceptions.h"

namespace {

// Opens below parent with full access; nullptr when the key is missing or refuses it.
HKEY OpenFullAccess(HKEY parent, const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(parent, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return nullptr;
  return key;
}

// Names of the direct subkeys. Collected before any is deleted: deleting while enumerating
// shifts the indexes.
std::vector<std::string> SubkeyNames(HKEY key) {
  std::vector<std::string> names;
  DWORD count = 0;
  DWORD maxLength = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, &maxLength, nullptr, nullptr,
                       nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return names;
  }
  std::vector<char> buffer(static_cast<size_t>(maxLength) + 1);
  for (DWORD index = 0; index < count; ++index) {
    DWORD length = static_cast<DWORD>(buffer.size());
    LSTATUS status = RegEnumKeyExA(key, index, buffer.data(), &length, nullptr, nullptr, nullptr,
                                   nullptr);
    if (status == ERROR_MORE_DATA && buffer.size() < 0x10000) {
      // A name longer than the key said: a name fits in 255 characters, so that suffices.
      buffer.resize(0x10000);
      length = static_cast<DWORD>(buffer.size());
      status = RegEnumKeyExA(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    }
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status == ERROR_SUCCESS && length < buffer.size()) names.emplace_back(buffer.data(), length);
  }
  return names;
}

// Deepest first; each key is opened with full access before its subkeys are listed.
bool DeleteTree(HKEY parent, const std::string& path) {
  if (HKEY key = OpenFullAccess(parent, path)) {
    for (const std::string& name : SubkeyNames(key)) DeleteTree(key, name);
    RegCloseKey(key);
  }
  return RegDeleteKeyA(parent, path.c_str()) == ERROR_SUCCESS;
}

std::string BelowRoot(const std::string& key) {
  return !key.empty() && key[0] == '\\' ? key.substr(1) : key;
}

}  // namespace

TRegistry::TRegistry() : root_(HKEY_CURRENT_USER), current_(nullptr) {}

TRegistry::~TRegistry() { CloseKey(); }

void TRegistry::SetRootKey(HKEY root) {
  CloseKey();
  root_ = root;
}

bool TRegistry::OpenKey(const std::string& key, bool /*canCreate*/) {
  // Creation is never asked for by the launcher, so it is not offered.
  HKEY opened = OpenFullAccess(root_, BelowRoot(key));
  if (opened == nullptr) return false;
  CloseKey();
  current_ = opened;
  return true;
}

std::string TRegistry::ReadString(const std::string& name) {
  if (current_ == nullptr) return std::string();
  DWORD type = REG_NONE;
  DWORD size = 0;
  if (RegQueryValueExA(current_, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      size == 0) {
    return std::string();
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) {
    throw ERegistryException(FormatText("Invalid data type for '%s'", name.c_str()));
  }
  // The size is what the value had a moment ago; the data query is told the true buffer size,
  // so a value that grew in between fails instead of overrunning.
  std::vector<char> buffer(size);
  DWORD got = size;
  if (RegQueryValueExA(current_, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()),
                       &got) != ERROR_SUCCESS) {
    throw ERegistryException(FormatText("Failed to get data for '%s'", name.c_str()));
  }
  if (got > size) got = size;
  // Up to the first zero; data stored without one is taken whole.
  size_t length = 0;
  while (length < got && buffer[length] != '\0') ++length;
  return std::string(buffer.data(), length);
}

void TRegistry::CloseKey() {
  if (current_ != nullptr) {
    RegCloseKey(current_);
    current_ = nullptr;
  }
}

bool TRegistry::DeleteKey(const std::string& key) {
  // An empty path would name the root itself and empty the whole hive.
  const std::string path = BelowRoot(key);
  return !path.empty() && DeleteTree(root_, path);
}
