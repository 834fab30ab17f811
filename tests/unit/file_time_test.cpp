#include "platform/attribute_record.h"
#include "platform/file_time.h"

#include <gtest/gtest.h>

namespace {

TEST(FileTimeTest, ConvertsUnixTimesBothWays) {
  // 1970-01-01 is 11,644,473,600 s after 1601-01-01.
  EXPECT_EQ(platform::FileTimeFromUnix(0, 0).Ticks(), 116444736000000000ULL);
  const platform::FileTime t = platform::FileTimeFromUnix(1213538587, 123456789);
  EXPECT_EQ(t.Ticks(), 116444736000000000ULL + 1213538587ULL * 10000000ULL + 1234567ULL);
  const timespec back = platform::TimespecFromFileTime(t);
  EXPECT_EQ(back.tv_sec, 1213538587);
  EXPECT_EQ(back.tv_nsec, 123456700);  // 100 ns resolution
  EXPECT_EQ(platform::FileTimeFromUnix(-11644473601LL, 0).Ticks(), 0u);
}

TEST(FileTimeTest, HalvesKeepLowFirst) {
  const platform::FileTime t = platform::FileTime::FromTicks(0x0123456789ABCDEFULL);
  EXPECT_EQ(t.low, 0x89ABCDEFu);
  EXPECT_EQ(t.high, 0x01234567u);
}

TEST(AttributeRecordTest, SizeFromTwoHalves) {
  platform::AttributeRecord record;
  record.SetSize(5000000000LL);
  EXPECT_EQ(record.size_high, 1u);
  EXPECT_EQ(record.size_low, 705032704u);
  EXPECT_EQ(record.Size(), 5000000000LL);
}

}  // namespace
