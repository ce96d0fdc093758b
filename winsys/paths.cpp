#include "winsys/paths.h"

#include <vector>

#include "rtl/sysutils.h"
#include "winsys/errors.h"

namespace {

const char kProbeName[] = "$$$.$$$";
const int32_t kProbeSize = 7;  // the name's own seven characters, no terminating zero

}  // namespace

std::string QueryPathText(const std::function<DWORD(LPSTR buffer, DWORD size)>& query) {
  char buffer[255];
  const DWORD length = query(buffer, sizeof buffer);
  if (length < sizeof buffer) return std::string(buffer, length);
  // The text did not fit: the answer is the size it needs, terminating zero included.
  std::vector<char> larger(length);
  const DWORD again = query(larger.data(), length);
  if (again >= length) return "";  // it grew in the meantime; never read past the buffer
  return std::string(larger.data(), again);
}

bool FileExistsSafe(const std::string& name) { return !name.empty() && FileExists(name); }

std::string AddBackslash(const std::string& path) {
  if (path.empty() || path.back() == '\\') return path;
  return path + '\\';
}

std::string GetShortPath(const std::string& path) {
  ClearLastError();
  const std::string shortPath = QueryPathText(
      [&path](LPSTR buffer, DWORD size) { return GetShortPathNameA(path.c_str(), buffer, size); });
  return shortPath.empty() ? path : shortPath;
}

bool DriveUsable(char letter) {
  const std::string root = std::string(1, letter) + ":\\";
  switch (GetDriveTypeA(root.c_str())) {
    case DRIVE_REMOVABLE:
    case DRIVE_FIXED:
    case DRIVE_REMOTE:
    case DRIVE_CDROM:
    case DRIVE_RAMDISK:
      return true;
    default:
      return false;
  }
}

bool DirWritable(const std::string& folder) {
  const std::string probe = AddBackslash(folder) + kProbeName;
  bool writable = false;
  if (!DriveUsable(probe[0])) return false;
  SetCriticalErrorMode(true);
  try {
    ForceDeleteFile(probe);  // a probe left from before, even a read-only one
    HandleGuard file(FileCreate(probe));
    if (file.Valid()) {
      if (FileWrite(file.Get(), kProbeName, kProbeSize) == kProbeSize) writable = true;
      file.Close();
      ForceDeleteFile(probe);
    }
  } catch (...) {
    // Whatever the probe raises only means "not writable"; the error mode must come back.
  }
  SetCriticalErrorMode(false);
  return writable;
}

bool ForceDeleteFile(const std::string& name) {
  SetFileAttributesA(name.c_str(), 0);
  if (!FileExistsSafe(name)) return true;
  return DeleteFileA(name.c_str()) != 0;
}
