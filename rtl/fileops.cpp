#include "rtl/fileops.h"

#include "platform/win32.h"

int64_t DiskFree(uint8_t drive) {
  std::string root;
  if (drive != 0) root = std::string(1, static_cast<char>('A' + drive - 1)) + ":\\";
  DWORD sectorsPerCluster = 0;
  DWORD bytesPerSector = 0;
  DWORD freeClusters = 0;
  DWORD totalClusters = 0;
  if (!GetDiskFreeSpaceA(drive == 0 ? nullptr : root.c_str(), &sectorsPerCluster, &bytesPerSector,
                         &freeClusters, &totalClusters)) {
    return -1;
  }
  // Each factor is 32 bits; the product of all three can exceed 64 bits only in theory.
  const uint64_t clusterBytes = uint64_t{sectorsPerCluster} * bytesPerSector;
  const uint64_t freeBytes = clusterBytes * freeClusters;
  if (clusterBytes != 0 && freeBytes / clusterBytes != freeClusters) return INT64_MAX;
  return freeBytes > uint64_t{INT64_MAX} ? INT64_MAX : static_cast<int64_t>(freeBytes);
}

bool EraseFile(const std::string& fileName) { return DeleteFileA(fileName.c_str()) != 0; }
