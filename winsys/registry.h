// The product's registry entries: the uninstall entry and the legacy key.
#pragma once

#include <string>

#include "platform/win32.h"

extern const char* const UninstallKey;  // "\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelmora"
extern const char* const LegacyKey;     // "\Software\Microsoft\Windows\CurrentVersion\Kelmora"

std::string ReadRegValue(const std::string& valueName, const std::string& keyPath, HKEY root);
std::string ReadUninstallValue(const std::string& valueName);
std::string GetInstallDir();
std::string GetDataDir();
void DeleteRegKey(const std::string& keyPath, bool localMachine);
