// Control interface of the emulated registry: build a registry for a test or scenario, read it
// back, and see which keys are still open.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "emu/win32_emu.h"

namespace emu {

// Merges REGEDIT4 text into the registry; throws std::runtime_error("line N: ...") on a
// malformed line. What was merged before the bad line stays.
void LoadRegistry(const std::string& regedit4);
// REGEDIT4 text of all roots, keys sorted, CRLF line ends; loading it gives the same registry.
std::string SaveRegistry();

// Paths are relative to the root, parts separated by backslashes; missing parents are created.
void CreateRegKey(HKEY root, const std::string& path);
// Any type, any bytes; the name "" is the default value. Creates the key.
void SetRegValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
                 std::string_view data);
void SetRegString(HKEY root, const std::string& path, const std::string& name,
                  const std::string& text);  // REG_SZ with its zero
void SetRegDword(HKEY root, const std::string& path, const std::string& name, DWORD value);
bool RegKeyExists(HKEY root, const std::string& path);
// RegOpenKeyExA asking for more than KEY_READ fails with ERROR_ACCESS_DENIED.
void DenyFullAccess(HKEY root, const std::string& path);
// RegDeleteKeyA of the key fails with ERROR_ACCESS_DENIED.
void DenyDelete(HKEY root, const std::string& path);
// Registry handles not yet closed.
size_t OpenKeyCount();

// Reading the registry back without the API (no call counting, no fault injection).
struct RegValue {
  std::string name;
  DWORD type;
  std::string data;
};
std::vector<std::string> RegSubKeyNames(HKEY root, const std::string& path);  // sorted
std::vector<RegValue> RegValues(HKEY root, const std::string& path);          // sorted by name
// Removes the key and everything below it; false when it did not exist.
bool DeleteRegTree(HKEY root, const std::string& path);
// Removes one value; false when it did not exist.
bool DeleteRegValue(HKEY root, const std::string& path, const std::string& name);
// "HKEY_LOCAL_MACHINE" for the predefined root, "" for anything else.
std::string RootName(HKEY root);

}  // namespace emu
