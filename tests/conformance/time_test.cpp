// DOS date-time conversions: the launcher compares file dates in this form.
#include <gtest/gtest.h>

#include <string>

#include "tests/conformance/world.h"

namespace {

WORD DosDate(int year, int month, int day) {
  return static_cast<WORD>(((year - 1980) << 9) | (month << 5) | day);
}
WORD DosTime(int hour, int minute, int second) {
  return static_cast<WORD>((hour << 11) | (minute << 5) | (second / 2));
}

TEST(DosDateTimeTest, FileTimeToDosDateTimeTruncatesToTwoSeconds) {
  struct Row {
    FILETIME time;
    WORD date;
    WORD dosTime;
  };
  const Row rows[] = {
      /* 0 */ {conf::UtcFileTime(2001, 2, 3, 4, 5, 6), DosDate(2001, 2, 3), DosTime(4, 5, 6)},
      /* 1 */ {conf::UtcFileTime(2001, 2, 3, 4, 5, 7), DosDate(2001, 2, 3), DosTime(4, 5, 6)},
      /* 2 */ {conf::UtcFileTime(2001, 2, 3, 4, 5, 7, 999), DosDate(2001, 2, 3),
               DosTime(4, 5, 6)},
      /* 3 */ {conf::UtcFileTime(1980, 1, 1, 0, 0, 0), DosDate(1980, 1, 1), DosTime(0, 0, 0)},
      /* 4 */ {conf::UtcFileTime(2107, 12, 31, 23, 59, 59), DosDate(2107, 12, 31),
               DosTime(23, 59, 58)},
      /* 5 */ {conf::UtcFileTime(2024, 2, 29, 12, 0, 1), DosDate(2024, 2, 29), DosTime(12, 0, 0)},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    WORD date = 0xA5A5, time = 0xA5A5;
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(FileTimeToDosDateTime(&rows[i].time, &date, &time));
    EXPECT_EQ(GetLastError(), 0xdeadbeefu);
    EXPECT_EQ(date, rows[i].date);
    EXPECT_EQ(time, rows[i].dosTime);
  }
}

TEST(DosDateTimeTest, FileTimeOutsideTheDosRangeIsRefused) {
  struct Row {
    FILETIME time;
    bool wineAccepts;
  };
  const Row rows[] = {
      /* 0 */ {conf::UtcFileTime(1979, 12, 31, 23, 59, 59), false},
      // Wine 8.0 checks only the lower bound: the year's seven bits wrap to 1980 and the call
      // succeeds (and leaves a stray last error of 2). Windows and the emulation refuse.
      /* 1 */ {conf::UtcFileTime(2108, 1, 1, 0, 0, 0), true},
      /* 2 */ {conf::UtcFileTime(1601, 1, 1, 0, 0, 0), false},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    WORD date = 0xA5A5, time = 0xA5A5;
    SetLastError(0xdeadbeef);
    BOOL ok = FileTimeToDosDateTime(&rows[i].time, &date, &time);
    if (conf::CurrentSide() == conf::Side::Wine && rows[i].wineAccepts) {
      EXPECT_TRUE(ok);
      EXPECT_EQ(date, DosDate(1980, 1, 1));
      continue;
    }
    EXPECT_FALSE(ok);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  }
}

TEST(DosDateTimeTest, DosDateTimeToFileTimeGivesTheEvenSecond) {
  struct Row {
    WORD date;
    WORD time;
    FILETIME expected;
  };
  const Row rows[] = {
      /* 0 */ {DosDate(2001, 2, 3), DosTime(4, 5, 6), conf::UtcFileTime(2001, 2, 3, 4, 5, 6)},
      /* 1 */ {DosDate(1980, 1, 1), DosTime(0, 0, 0), conf::UtcFileTime(1980, 1, 1, 0, 0, 0)},
      /* 2 */ {DosDate(2107, 12, 31), DosTime(23, 59, 58),
               conf::UtcFileTime(2107, 12, 31, 23, 59, 58)},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    FILETIME out{0xA5A5A5A5, 0xA5A5A5A5};
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(DosDateTimeToFileTime(rows[i].date, rows[i].time, &out));
    EXPECT_EQ(GetLastError(), 0xdeadbeefu);
    EXPECT_EQ(conf::Ticks(out), conf::Ticks(rows[i].expected));
  }
}

TEST(DosDateTimeTest, RoundTripLosesOnlyTheOddSecond) {
  FILETIME original = conf::UtcFileTime(2026, 3, 14, 9, 30, 41, 500);
  WORD date = 0, time = 0;
  ASSERT_TRUE(FileTimeToDosDateTime(&original, &date, &time));
  FILETIME back{};
  ASSERT_TRUE(DosDateTimeToFileTime(date, time, &back));
  EXPECT_EQ(conf::Ticks(back), conf::Ticks(conf::UtcFileTime(2026, 3, 14, 9, 30, 40)));
}

}  // namespace
