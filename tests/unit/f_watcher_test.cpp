// A monitor's life without a file system to watch (not root, or the root cannot be opened): the
// flags, the Busy handshake and a prompt stop. The watching itself is tested on a real btrfs.
#include "watcher/f_watcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "engine_harness.h"

namespace {

using Clock = std::chrono::steady_clock;

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
  const auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return done();
}

class UnwatchedMonitor : public ::testing::Test {
 protected:
  void SetUp() override {
    monitor.RootPath = "/nonexistent-quobran-root/";
    monitor.Resume();
    ASSERT_TRUE(WaitUntil([&] { return monitor.WatchAttempted(); }));
  }

  testing_support::FakeClock clock;
  watcher::FWatcher monitor{clock};
};

TEST_F(UnwatchedMonitor, WaitsFailAndRepeatWithoutRecording) {
  EXPECT_EQ(monitor.WatchMode(), platform::ChangeNotifier::Mode::kClosed);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(monitor.Activity);
  EXPECT_FALSE(monitor.Done);
  // Between failed waits the table can be taken.
  ASSERT_TRUE(WaitUntil([&] { return monitor.TryTakeBusy(); }));
  EXPECT_EQ(monitor.Table().EntryCount(), 0);
  // While held, a second test-and-set fails, on either side.
  EXPECT_FALSE(monitor.TryTakeBusy());
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  EXPECT_TRUE(monitor.BusyHeld());  // the monitor waits at the top of its loop
  monitor.ReleaseBusy();
}

TEST_F(UnwatchedMonitor, StopsPromptlyWhetherRunningPausedOrHeldOff) {
  const struct {
    const char* name;
    bool pause;
    bool hold;
  } cases[] = {{"running", false, false}, {"paused", true, false}, {"held off", false, true}};
  for (const auto& c : cases) {
    testing_support::FakeClock own_clock;
    watcher::FWatcher one(own_clock);
    one.RootPath = "/nonexistent-quobran-root/";
    one.Paused = c.pause;
    one.Resume();
    ASSERT_TRUE(WaitUntil([&] { return one.WatchAttempted(); })) << c.name;
    if (c.hold) {
      ASSERT_TRUE(WaitUntil([&] { return one.TryTakeBusy(); })) << c.name;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto start = Clock::now();
    one.Terminate();
    // The tray's "Exit" waits two seconds; the stop must come well within that.
    EXPECT_TRUE(WaitUntil([&] { return one.Done.load(); }, std::chrono::milliseconds(500))) << c.name;
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500)) << c.name;
    one.WaitFor();
  }
}

TEST(Utf16LengthTest, CountsCodeUnitsNotBytes) {
  const struct {
    const char* name;
    std::string text;
    size_t units;
  } cases[] = {
      {"empty", "", 0},
      {"ASCII", "dir/file.txt", 12},
      {"two-byte character", "caf\xC3\xA9", 4},
      {"three-byte character", "\xE2\x82\xAC", 1},
      {"four-byte character is a surrogate pair", "\xF0\x9F\x98\x80", 2},
      {"stray bytes count one each", "\xFF\xFE\x80", 3},
      {"a cut character counts one per byte", "a\xE2\x82", 3},
  };
  for (const auto& c : cases) EXPECT_EQ(watcher::Utf16Length(c.text), c.units) << c.name;
}

}  // namespace
