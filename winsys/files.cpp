#include "winsys/files.h"

#include <cstring>
#include <vector>

#include "rtl/exceptions.h"
#include "rtl/sysutils.h"
#include "textutil/textutil.h"
#include "winsys/paths.h"

int32_t CopyError = 0;

namespace {

const int32_t kBlockSize = 65536;
const uint8_t kCompareByDate = 1;

const DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Characters that file names must not hold, and what each becomes.
const char kUnsafeChars[] = "<>:\"/\\|%";
const char kSafeChars[] = "[]______";
const size_t kMaxNamePart = 255;

}  // namespace

int32_t FileSizeOf(const std::string& name) {
  if (!FileExistsSafe(name)) return -1;
  HandleGuard file(FileOpen(name, GENERIC_READ, FILE_SHARE_READ));
  if (!file.Valid()) return -1;
  const DWORD size = GetFileSize(file.Get(), nullptr);
  // INVALID_FILE_SIZE is a failure; 2 GiB and more do not fit the signed count either.
  if (size > static_cast<DWORD>(INT32_MAX)) return -1;
  return static_cast<int32_t>(size);
}

int32_t GetFileDate(const std::string& name) {
  HandleGuard file(FileOpen(name, GENERIC_READ, kShareReadWrite));
  if (!file.Valid()) return 0;
  FILETIME written;
  FILETIME local;
  WORD date = 0;
  WORD time = 0;
  if (!GetFileTime(file.Get(), nullptr, nullptr, &written) ||
      !FileTimeToLocalFileTime(&written, &local) || !FileTimeToDosDateTime(&local, &date, &time)) {
    return -1;
  }
  return static_cast<int32_t>((static_cast<uint32_t>(date) << 16) | time);
}

void SetFileDate(const std::string& name, int32_t date) {
  HandleGuard file(FileOpen(name, GENERIC_READ | GENERIC_WRITE, kShareReadWrite));
  if (!file.Valid()) return;
  const uint32_t stamp = static_cast<uint32_t>(date);
  FILETIME local;
  FILETIME written;
  if (DosDateTimeToFileTime(static_cast<WORD>(stamp >> 16), static_cast<WORD>(stamp & 0xFFFF),
                            &local) &&
      LocalFileTimeToFileTime(&local, &written)) {
    SetFileTime(file.Get(), nullptr, nullptr, &written);
  }
}

namespace {

bool SameContent(const std::string& first, const std::string& second) {
  HandleGuard one(FileOpen(first, GENERIC_READ, FILE_SHARE_READ));
  if (!one.Valid()) return false;
  HandleGuard two(FileOpen(second, GENERIC_READ, FILE_SHARE_READ));
  if (!two.Valid()) return false;
  std::vector<char> bufferOne(kBlockSize);
  std::vector<char> bufferTwo(kBlockSize);
  for (;;) {
    const int32_t countOne = FileRead(one.Get(), bufferOne.data(), kBlockSize);
    if (countOne < 0) return false;  // a failed read proves nothing
    if (countOne == 0) return true;
    const int32_t countTwo = FileRead(two.Get(), bufferTwo.data(), kBlockSize);
    if (countTwo != countOne) return false;
    if (std::memcmp(bufferOne.data(), bufferTwo.data(), countOne) != 0) return false;
  }
}

}  // namespace

bool SameFiles(const std::string& first, const std::string& second, uint8_t mode) {
  const int32_t sizeFirst = FileSizeOf(first);
  const int32_t sizeSecond = FileSizeOf(second);
  if (sizeFirst != sizeSecond || sizeFirst == -1 || sizeSecond == -1) return false;
  if (mode == kCompareByDate) return FileAge(first) == FileAge(second);
  return SameContent(first, second);
}

bool CopyFileIfChanged(const std::string& source, const std::string& target) {
  if (SameFiles(source, target, kCompareByDate)) return true;
  CopyError = 0;
  // The source is opened before the old target goes, so a source that cannot be read
  // leaves the target as it was.
  HandleGuard in(FileExistsSafe(source) ? FileOpen(source, GENERIC_READ, FILE_SHARE_READ)
                                        : INVALID_HANDLE_VALUE);
  if (!in.Valid()) {
    CopyError = 1;
    return false;
  }
  if (!ForceDeleteFile(target)) return false;
  TouchFile(target);
  HandleGuard out(FileOpen(target, GENERIC_WRITE, 0));
  if (!out.Valid()) {
    in.Close();
    CopyError = 2;
    if (SameFiles(source, target, kCompareByDate)) return true;
    // The empty file TouchFile made is newer than the source: left behind, it would pass
    // for an installed copy.
    ForceDeleteFile(target);
    return false;
  }
  bool copied = true;
  std::vector<char> buffer(kBlockSize);
  for (;;) {
    const int32_t count = FileRead(in.Get(), buffer.data(), kBlockSize);
    if (count < 0) {
      CopyError = 4;
      copied = false;
      break;
    }
    if (count == 0) break;
    if (FileWrite(out.Get(), buffer.data(), count) != count) {
      CopyError = 3;
      copied = false;
      break;
    }
  }
  in.Close();
  out.Close();
  if (!copied) {
    // A cut-short target stamped with the source's date would pass for a complete copy with
    // anyone who compares dates only. The old target is already gone, so nothing is lost.
    ForceDeleteFile(target);
    return false;
  }
  // "con" is the console device, which has no date; the test is exact, as ever.
  if (target != "con") SetFileDate(target, GetFileDate(source));
  return true;
}

void TouchFile(const std::string& name) {
  if (FileExistsSafe(name)) {
    MoveFileA(name.c_str(), name.c_str());
    return;
  }
  HandleGuard created(FileCreate(name));
}

std::string SafeFileName(const std::string& name) {
  const std::string folder = ExtractFilePath(name);
  const std::string file = ExtractFileName(name).substr(0, kMaxNamePart);
  return folder + TranslateChars(file, kSafeChars, kUnsafeChars);
}

void SaveListToFile(const TStringList& list, const std::string& name) {
  const std::string safeName = SafeFileName(name);
  const bool existed = FileExistsSafe(safeName);
  TouchFile(safeName);
  // A failed save leaves no partial file behind; the error goes on to the caller as it came.
  try {
    list.SaveToFile(safeName);
  } catch (const EFCreateError&) {
    // Nothing was written: only the empty file made just now is ours to remove.
    if (!existed) ForceDeleteFile(safeName);
    throw;
  } catch (...) {
    ForceDeleteFile(safeName);
    throw;
  }
}
