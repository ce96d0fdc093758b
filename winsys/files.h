// File comparison, copy and list saving.
#pragma once

#include <cstdint>
#include <string>

#include "rtl/tstringlist.h"

// Why the latest copy that was not skipped failed: 0 none, 1 source not opened,
// 2 target not opened, 3 short write, 4 failed read of the source.
extern int32_t CopyError;

int32_t FileSizeOf(const std::string& name);
int32_t GetFileDate(const std::string& name);
void SetFileDate(const std::string& name, int32_t date);
bool SameFiles(const std::string& first, const std::string& second, uint8_t mode);
bool CopyFileIfChanged(const std::string& source, const std::string& target);
void TouchFile(const std::string& name);
std::string SafeFileName(const std::string& name);
void SaveListToFile(const TStringList& list, const std::string& name);
