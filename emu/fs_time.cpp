// File times: UTC and local FILETIMEs with the emulated offset, and DOS date-times.
#include <cstdint>

#include "emu/core.h"
#include "emu/fs.h"

namespace emu {
namespace {

constexpr uint64_t kTicksPerSecond = 10000000;
constexpr uint64_t kSecondsPerDay = 86400;

uint64_t Ticks(const FILETIME& ft) {
  return (uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime;
}

FILETIME FromTicks(uint64_t ticks) {
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

int64_t OffsetTicks() {
  return int64_t{LocalTimeOffsetMinutes()} * 60 * static_cast<int64_t>(kTicksPerSecond);
}

bool IsLeap(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int64_t y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Days from 1 January 1601 (the FILETIME epoch) to the given date.
int64_t DaysSince1601(int64_t year, int month, int day) {
  int64_t y = year - 1601;
  int64_t days = y * 365 + y / 4 - y / 100 + y / 400;
  for (int m = 1; m < month; ++m) days += DaysInMonth(year, m);
  return days + day - 1;
}

struct Fields {
  int64_t year;
  int month, day, hour, minute, second;
};

Fields ToFields(uint64_t ticks) {
  uint64_t seconds = ticks / kTicksPerSecond;
  int64_t days = static_cast<int64_t>(seconds / kSecondsPerDay);
  uint64_t rest = seconds % kSecondsPerDay;
  Fields f{};
  // 146097 days make a 400-year cycle that starts like 1601.
  f.year = 1601 + 400 * (days / 146097);
  days %= 146097;
  while (days >= (IsLeap(f.year) ? 366 : 365)) {
    days -= IsLeap(f.year) ? 366 : 365;
    ++f.year;
  }
  f.month = 1;
  while (days >= DaysInMonth(f.year, f.month)) {
    days -= DaysInMonth(f.year, f.month);
    ++f.month;
  }
  f.day = static_cast<int>(days) + 1;
  f.hour = static_cast<int>(rest / 3600);
  f.minute = static_cast<int>(rest / 60 % 60);
  f.second = static_cast<int>(rest % 60);
  return f;
}

uint64_t FromFields(int64_t year, int month, int day, int hour, int minute, int second) {
  int64_t days = DaysSince1601(year, month, day);
  return (static_cast<uint64_t>(days) * kSecondsPerDay +
          static_cast<uint64_t>(hour) * 3600 + static_cast<uint64_t>(minute) * 60 +
          static_cast<uint64_t>(second)) *
         kTicksPerSecond;
}

// The DOS date-time of a local FILETIME, truncated to two seconds; false outside 1980-2107.
bool ToDos(uint64_t localTicks, WORD& date, WORD& time) {
  Fields f = ToFields(localTicks);
  if (f.year < 1980 || f.year > 2107) return false;
  date = static_cast<WORD>(((f.year - 1980) << 9) | (f.month << 5) | f.day);
  time = static_cast<WORD>((f.hour << 11) | (f.minute << 5) | (f.second / 2));
  return true;
}

}  // namespace

FILETIME LocalTime(int year, int month, int day, int hour, int minute, int second,
                   int millisecond) {
  uint64_t local = FromFields(year, month, day, hour, minute, second) +
                   static_cast<uint64_t>(millisecond) * 10000;
  return FromTicks(static_cast<uint64_t>(static_cast<int64_t>(local) - OffsetTicks()));
}

int32_t DosStamp(const std::string& path) {
  std::optional<FILETIME> written = LastWrite(path);
  if (!written || IsFolder(path)) return -1;
  WORD date = 0, time = 0;
  if (!ToDos(static_cast<uint64_t>(static_cast<int64_t>(Ticks(*written)) + OffsetTicks()), date,
             time)) {
    return -1;
  }
  return static_cast<int32_t>((uint32_t{date} << 16) | time);
}

}  // namespace emu

BOOL WINAPI FileTimeToLocalFileTime(const FILETIME* lpFileTime, LPFILETIME lpLocalFileTime) {
  if (emu::Enter("FileTimeToLocalFileTime")) return FALSE;
  if (lpFileTime == nullptr || lpLocalFileTime == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *lpLocalFileTime = emu::FromTicks(emu::Ticks(*lpFileTime) + emu::OffsetTicks());
  return TRUE;
}

BOOL WINAPI LocalFileTimeToFileTime(const FILETIME* lpLocalFileTime, LPFILETIME lpFileTime) {
  if (emu::Enter("LocalFileTimeToFileTime")) return FALSE;
  if (lpFileTime == nullptr || lpLocalFileTime == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *lpFileTime = emu::FromTicks(emu::Ticks(*lpLocalFileTime) - emu::OffsetTicks());
  return TRUE;
}

BOOL WINAPI FileTimeToDosDateTime(const FILETIME* lpFileTime, WORD* lpFatDate, WORD* lpFatTime) {
  if (emu::Enter("FileTimeToDosDateTime")) return FALSE;
  WORD date = 0, time = 0;
  if (lpFileTime == nullptr || lpFatDate == nullptr || lpFatTime == nullptr ||
      !emu::ToDos(emu::Ticks(*lpFileTime), date, time)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *lpFatDate = date;
  *lpFatTime = time;
  return TRUE;
}

BOOL WINAPI DosDateTimeToFileTime(WORD wFatDate, WORD wFatTime, LPFILETIME lpFileTime) {
  if (emu::Enter("DosDateTimeToFileTime")) return FALSE;
  const int year = 1980 + (wFatDate >> 9);
  const int month = (wFatDate >> 5) & 15;
  const int day = wFatDate & 31;
  const int hour = wFatTime >> 11;
  const int minute = (wFatTime >> 5) & 63;
  const int second = (wFatTime & 31) * 2;
  if (lpFileTime == nullptr || month < 1 || month > 12 || day < 1 ||
      day > emu::DaysInMonth(year, month) || hour > 23 || minute > 59 || second > 59) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *lpFileTime = emu::FromTicks(emu::FromFields(year, month, day, hour, minute, second));
  return TRUE;
}
