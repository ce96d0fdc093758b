// Registry access as the launcher uses it: open (full access, never create), read a text value
// with the type rules below, close, delete a key with its subkeys.
#pragma once

#include <string>

#include "platform/win32.h"

class TRegistry {
 public:
  TRegistry();  // root HKEY_CURRENT_USER, no key open
  ~TRegistry(); // closes the open key
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  HKEY RootKey() const { return root_; }
  void SetRootKey(HKEY root);  // closes an open key first
  HKEY CurrentKey() const { return current_; }

  // RegOpenKeyExA(root, path without its leading backslash, KEY_ALL_ACCESS). canCreate must be
  // false: the launcher never creates keys. A key that is missing or refuses full access
  // gives false.
  bool OpenKey(const std::string& key, bool canCreate);

  // Missing value or data of length 0: "". REG_SZ / REG_EXPAND_SZ: data up to its first zero
  // byte, not expanded. Any other type: ERegistryException "Invalid data type for '%s'".
  // A data query that fails after the size query: "Failed to get data for '%s'".
  std::string ReadString(const std::string& name);

  void CloseKey();

  // Removes the key and all its subkeys, deepest first; each key is opened with full access
  // before its subkeys are listed. Never raises.
  bool DeleteKey(const std::string& key);

 private:
  HKEY root_;
  HKEY current_;
};
