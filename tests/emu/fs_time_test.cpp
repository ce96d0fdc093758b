// Conformance of the time conversions: DOS date-times (two-second steps, 1980-2107) and the
// local offset, round trips included.
#include <gtest/gtest.h>

#include <cstdint>

#include "emu/core.h"
#include "emu/fs.h"
#include "platform/win32.h"

namespace {

constexpr DWORD kSentinel = 0xdeadbeef;

uint64_t Ticks(FILETIME ft) { return (uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime; }

class FsTime : public ::testing::Test {
 protected:
  void SetUp() override { emu::Reset(); }
};

constexpr WORD Date(int y, int m, int d) { return static_cast<WORD>(((y - 1980) << 9) | (m << 5) | d); }
constexpr WORD Time(int h, int mi, int s) { return static_cast<WORD>((h << 11) | (mi << 5) | (s / 2)); }

struct DosCase {
  int year, month, day, hour, minute, second, millisecond;
  BOOL ok;
  WORD date, time;
};

TEST_F(FsTime, FileTimeToDosDateTimeTruncatesAndKeepsToItsRange) {
  const DosCase cases[] = {
      /* 0 */ {2026, 3, 14, 9, 30, 0, 0, TRUE, Date(2026, 3, 14), Time(9, 30, 0)},
      /* 1 */ {2026, 3, 14, 9, 30, 1, 999, TRUE, Date(2026, 3, 14), Time(9, 30, 0)},
      /* 2 */ {2026, 3, 14, 9, 30, 59, 0, TRUE, Date(2026, 3, 14), Time(9, 30, 58)},
      /* 3 */ {1980, 1, 1, 0, 0, 0, 0, TRUE, Date(1980, 1, 1), Time(0, 0, 0)},
      /* 4 */ {2107, 12, 31, 23, 59, 59, 0, TRUE, Date(2107, 12, 31), Time(23, 59, 58)},
      /* 5 */ {1979, 12, 31, 23, 59, 59, 0, FALSE, 0, 0},
      /* 6 */ {2108, 1, 1, 0, 0, 0, 0, FALSE, 0, 0},
      /* 7 */ {2024, 2, 29, 12, 0, 0, 0, TRUE, Date(2024, 2, 29), Time(12, 0, 0)},
  };
  for (const DosCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.year << "-" << c.month << "-" << c.day << " " << c.hour
                                    << ":" << c.minute << ":" << c.second);
    FILETIME ft = emu::LocalTime(c.year, c.month, c.day, c.hour, c.minute, c.second, c.millisecond);
    WORD date = 0xA5A5, time = 0xA5A5;
    SetLastError(kSentinel);
    EXPECT_EQ(FileTimeToDosDateTime(&ft, &date, &time), c.ok);
    if (c.ok) {
      EXPECT_EQ(date, c.date);
      EXPECT_EQ(time, c.time);
      EXPECT_EQ(GetLastError(), kSentinel);
    } else {
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
      EXPECT_EQ(date, 0xA5A5);
    }
  }
}

TEST_F(FsTime, LocalOffsetRoundTripsThroughDosStamps) {
  for (int offset : {0, 60, -300, 330}) {
    SCOPED_TRACE(offset);
    emu::SetLocalTimeOffsetMinutes(offset);
    // The file-age path: UTC -> local -> DOS, and back the way a date stamp is written.
    FILETIME utc = emu::LocalTime(2026, 7, 1, 0, 15, 4);
    FILETIME local{}, back{}, fromDos{}, utcAgain{};
    ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
    EXPECT_EQ(static_cast<int64_t>(Ticks(local) - Ticks(utc)), int64_t{offset} * 600000000);
    ASSERT_TRUE(LocalFileTimeToFileTime(&local, &back));
    EXPECT_EQ(Ticks(back), Ticks(utc));

    WORD date = 0, time = 0;
    ASSERT_TRUE(FileTimeToDosDateTime(&local, &date, &time));
    EXPECT_EQ(date, Date(2026, 7, 1));  // the local wall time, whatever the offset
    EXPECT_EQ(time, Time(0, 15, 4));
    ASSERT_TRUE(DosDateTimeToFileTime(date, time, &fromDos));
    ASSERT_TRUE(LocalFileTimeToFileTime(&fromDos, &utcAgain));
    EXPECT_EQ(Ticks(utcAgain), Ticks(utc));

    emu::AddFile("C:\\f.txt", "", {.lastWrite = utc});
    EXPECT_EQ(emu::DosStamp("C:\\f.txt"), static_cast<int32_t>((uint32_t{date} << 16) | time));
  }
  EXPECT_EQ(emu::DosStamp("C:\\TEMP"), -1);
  EXPECT_EQ(emu::DosStamp("C:\\none"), -1);
}

struct BadDosCase {
  const char* what;
  WORD date, time;
};

TEST_F(FsTime, DosDateTimeToFileTimeRefusesImpossibleFields) {
  const BadDosCase cases[] = {
      /* 0 */ {"month 0", static_cast<WORD>(Date(2000, 1, 1) & ~(15 << 5)), 0},
      /* 1 */ {"month 13", Date(2000, 13, 1), 0},
      /* 2 */ {"30 February", Date(2001, 2, 30), 0},
      /* 3 */ {"hour 24", Date(2000, 1, 1), Time(24, 0, 0)},
  };
  for (const BadDosCase& c : cases) {
    SCOPED_TRACE(c.what);
    FILETIME ft{0xA5A5A5A5u, 0xA5A5A5A5u};
    SetLastError(kSentinel);
    EXPECT_FALSE(DosDateTimeToFileTime(c.date, c.time, &ft));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(ft.dwLowDateTime, 0xA5A5A5A5u);
  }
}

}  // namespace
