// Disk and file operations of the runtime library that the launcher's decisions use directly.
#pragma once

#include <cstdint>
#include <string>

// Free bytes of a drive: 0 the current drive, 1 A:, 2 B:, 3 C:, ... 26 Z:. The product of
// GetDiskFreeSpaceA's three counts, in 64 bits; -1 when the query fails.
int64_t DiskFree(uint8_t drive);

// DeleteFileA; true when the file was deleted.
bool EraseFile(const std::string& fileName);
