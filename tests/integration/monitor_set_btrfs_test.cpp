// The window's pause and resume of a real monitor on a loop-mounted btrfs: a monitor that kept
// Busy in its wait through the pause keeps its lock after the resume and empties its own table.
#include "watcher/monitor_set.h"
#include "watcher/monitor_save.h"

#include <gtest/gtest.h>

#include <thread>

#include "monitor_on_btrfs.h"
#include "scratch_btrfs.h"
#include "shared/ascii_case.h"

namespace {

using namespace std::chrono_literals;
using testing_support::Shell;
using testing_support::WaitUntil;

class MonitorSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_SCRATCH_BTRFS();
    fs_ = std::make_unique<testing_support::ScratchBtrfs>(256);
    root_ = fs_->root();
    set_.StartOn({platform::DriveInfo{root_, "btrfs", 0, 512, true, 0}, platform::DriveInfo{"/proc/", "proc", 0, 0, false, 0}});
    ASSERT_EQ(set_.MonitorCount(), 1u) << "only drives that compress";
    ASSERT_TRUE(WaitUntil([&] { return set_.Monitor(0).WatchAttempted(); }));
  }
  // A change by a child process; the monitor leaves out its own process's.
  void Change(const std::string& name) { ASSERT_EQ(Shell("cd '" + root_ + "' && printf x >> '" + name + "'"), 0); }
  // The monitor has gone back to its wait, holding Busy.
  void Quiet() {
    // A paused monitor looks again only once a second.
    ASSERT_TRUE(WaitUntil([&] { return set_.Monitor(0).BusyHeld(); }, std::chrono::seconds(3)));
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(set_.Monitor(0).BusyHeld());
  }

  testing_support::FakeClock clock_;
  std::unique_ptr<testing_support::ScratchBtrfs> fs_;
  std::string root_;
  watcher::MonitorSet set_{clock_};
  testing_support::TempDir home_;
};

TEST_F(MonitorSetTest, AMonitorHoldingBusyThroughThePauseEmptiesItsOwnTableAfterTheResume) {
  watcher::FWatcher& monitor = set_.Monitor(0);
  Change("before");
  ASSERT_TRUE(WaitUntil([&] { return monitor.EntryCount() == 1; }));
  Quiet();
  set_.Pause();
  EXPECT_TRUE(monitor.Paused);
  EXPECT_TRUE(monitor.Activity);
  set_.Resume();
  EXPECT_FALSE(monitor.Paused);
  // The lock stays the monitor's: a save cannot take the table while the monitor may handle a
  // batch, so it skips this drive.
  EXPECT_TRUE(monitor.BusyHeld());
  int polls = 0;
  set_.SaveAll(watcher::UseDataFilesIn(home_.path()), [&] { ++polls; std::this_thread::sleep_for(1ms); }, {});
  EXPECT_EQ(polls, watcher::kBusyPolls);
  // Its next batch began in the pause: dropped, with the table.
  Change("during");
  ASSERT_TRUE(WaitUntil([&] { return monitor.EntryCount() == 0; }));
  Quiet();
  Change("after");
  // The uses before the pause are gone; those after the dropped batch count.
  ASSERT_TRUE(WaitUntil([&] {
    Change("after");
    std::this_thread::sleep_for(20ms);
    return monitor.TryTakeBusy();
  }));
  EXPECT_EQ(monitor.Table().Find(shared::AsciiLower(root_ + "before")), -1);
  EXPECT_GE(monitor.Table().Find(shared::AsciiLower(root_ + "after")), 0);
  monitor.ReleaseBusy();
  int32_t saved = 0;
  ASSERT_TRUE(WaitUntil([&] {
    Change("after");
    set_.SaveAll(watcher::UseDataFilesIn(home_.path()), [] { std::this_thread::sleep_for(10ms); },
                 [&](int32_t entries) { saved = entries; });
    return saved > 0;
  }));
}

TEST_F(MonitorSetTest, ABatchInThePauseEmptiesTheTableAndNothingOfThePauseCounts) {
  watcher::FWatcher& monitor = set_.Monitor(0);
  Change("before");
  ASSERT_TRUE(WaitUntil([&] { return monitor.EntryCount() == 1; }));
  Quiet();
  set_.Pause();
  Change("during");  // the batch meets Paused: the table goes, Busy is let go
  ASSERT_TRUE(WaitUntil([&] { return monitor.EntryCount() == 0; }));
  Change("during-too");
  std::this_thread::sleep_for(300ms);
  set_.Resume();
  Quiet();
  Change("after");
  ASSERT_TRUE(WaitUntil([&] { return monitor.EntryCount() == 1; }));
  ASSERT_TRUE(WaitUntil([&] { return monitor.TryTakeBusy(); }, std::chrono::seconds(1)) || (Change("poke"), WaitUntil([&] { return monitor.TryTakeBusy(); })));
  EXPECT_EQ(monitor.Table().Paths(), std::vector<std::string>{shared::AsciiLower(root_ + "after")});
  monitor.ReleaseBusy();
}

TEST_F(MonitorSetTest, ExitStopsEveryMonitorPromptly) {
  EXPECT_TRUE(set_.StopForExit(20, [] { std::this_thread::sleep_for(100ms); }));
  EXPECT_EQ(set_.MonitorCount(), 0u);
}

}  // namespace
