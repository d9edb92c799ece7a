#include "platform/date_time.h"

#include "support/scoped_env.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

using namespace pellora;

namespace {
TDateTime Dt(int y, int m, int d, int h = 0, int n = 0, int s = 0) {
  TDateTime date = 0, time = 0;
  EXPECT_TRUE(TryEncodeDate(y, m, d, date));
  EXPECT_TRUE(TryEncodeTime(h, n, s, 0, time));
  return ComposeDateTime(date, time);
}

} // namespace

TEST(DateTime, EncodesTheDayCount) {
  EXPECT_DOUBLE_EQ(Dt(1899, 12, 30), 0.0);
  EXPECT_DOUBLE_EQ(Dt(1970, 1, 1), UnixDateDelta);
  EXPECT_DOUBLE_EQ(Dt(2000, 1, 1, 12), 36526.5);
  EXPECT_DOUBLE_EQ(Dt(1899, 12, 29, 6), -1.25); // before the epoch the fraction still adds time
  TDateTime out;
  EXPECT_FALSE(TryEncodeDate(2023, 2, 29, out));
  EXPECT_TRUE(TryEncodeDate(2024, 2, 29, out));
  EXPECT_FALSE(TryEncodeDate(1900, 2, 29, out));
  EXPECT_FALSE(TryEncodeDate(0, 1, 1, out));
  EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, out));
}

TEST(DateTime, DecodeAndUnixRoundTrip) {
  for (TDateTime v : {Dt(2010, 1, 1, 12), Dt(1601, 1, 1), Dt(9999, 12, 31, 23, 59, 59),
                      Dt(1899, 12, 29, 6), Dt(2038, 1, 19, 3, 14, 8)}) {
    EXPECT_EQ(FormatIsoDateTime(UnixToDateTime(DateTimeToUnix(v))), FormatIsoDateTime(v));
  }
  TDateParts p = DecodeDateTime(Dt(1899, 12, 29, 6));
  EXPECT_EQ(p.year, 1899);
  EXPECT_EQ(p.day, 29);
  EXPECT_EQ(p.hour, 6);
  EXPECT_EQ(FormatIsoDateTime(Dt(2024, 2, 29, 23, 59, 59)), "2024-02-29T23:59:59");
}

TEST(DateTime, UtcToLocalUsesTheRulesOfThatDate) {
  test::TScopedTimeZone zone("Europe/Prague");
  EXPECT_EQ(FormatIsoDateTime(UtcToLocal(Dt(2010, 1, 1, 12))), "2010-01-01T13:00:00");
  EXPECT_EQ(FormatIsoDateTime(UtcToLocal(Dt(2010, 7, 1, 12))), "2010-07-01T14:00:00");
  test::TScopedTimeZone ny("America/New_York");
  EXPECT_EQ(FormatIsoDateTime(UtcToLocal(Dt(2010, 1, 1, 3))), "2009-12-31T22:00:00");
}

TEST(DateTime, TickCountMovesForward) {
  uint64_t a = TickCount();
  uint64_t b = TickCount();
  EXPECT_LE(a, b);
}
