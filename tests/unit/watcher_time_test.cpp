// The watcher time value: the local wall clock read as if it were UTC, to the nearest second.
#include "shared/watcher_time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "engine_harness.h"
#include "platform/file_time.h"

namespace {

// Runs the test in a fixed time zone and puts the process's own back afterwards.
class ZoneFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* zone = std::getenv("TZ")) saved_ = zone;
  }
  void TearDown() override {
    if (saved_) {
      setenv("TZ", saved_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  static void UseZone(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
  }

 private:
  std::optional<std::string> saved_;
};

TEST(WatcherTimeTest, LocalDateAndTimeReadAsUtc) {
  const struct {
    platform::LocalDateTime local;
    int64_t seconds;
  } cases[] = {
      {{1970, 1, 1, 0, 0, 0}, 0},
      {{1970, 1, 2, 0, 0, 1}, 86401},
      {{2000, 2, 29, 23, 59, 59}, 951868799},
      {{2008, 6, 15, 14, 3, 7}, 1213538587},
      {{1969, 12, 31, 23, 59, 59}, -1},
  };
  for (const auto& c : cases) EXPECT_EQ(shared::WatcherTimeFromLocal(c.local), c.seconds) << c.seconds;
}

using WatcherTimeNowTest = ZoneFixture;

TEST_F(WatcherTimeNowTest, AddsTheZoneOffsetAndRoundsToTheNearestSecond) {
  testing_support::FakeClock clock;
  const struct {
    const char* zone;
    uint32_t nanoseconds;
    int64_t expected;  // for the UTC moment 1,000,000,000 s plus the nanoseconds
  } cases[] = {
      {"UTC0", 0, 1000000000},
      {"UTC0", 499999900, 1000000000},
      {"UTC0", 500000000, 1000000001},
      {"EST5", 0, 1000000000 - 5 * 3600},
      {"IST-5:30", 600000000, 1000000001 + 5 * 3600 + 30 * 60},
  };
  for (const auto& c : cases) {
    UseZone(c.zone);
    clock.SetSystemTime(platform::FileTimeFromUnix(1000000000, c.nanoseconds));
    EXPECT_EQ(shared::WatcherTimeNow(clock), c.expected) << c.zone << " +" << c.nanoseconds << " ns";
  }
}

}  // namespace
