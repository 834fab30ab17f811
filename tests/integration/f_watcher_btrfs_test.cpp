// Drive monitors on a real btrfs with real fanotify, the clock under the test's control: what
// counts as a use, the repeat filter, mean intervals, renames, the table's cap, pauses, long
// names, our own changes, stopping, and the fallback on a subvolume mount.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "monitor_on_btrfs.h"
#include "platform/change_notifier.h"
#include "scratch_btrfs.h"
#include "shared/ascii_case.h"
#include "temp_dir.h"

namespace {

using platform::ChangeNotifier;
using testing_support::MonitorOnBtrfs;
using testing_support::Shell;
using testing_support::WaitUntil;

class FWatcherOnBtrfsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_SCRATCH_BTRFS();
    fs = std::make_unique<testing_support::ScratchBtrfs>();
    root = fs->root();
  }

  // What a monitor makes of a name below the root.
  std::string Stored(const std::string& name) const { return shared::AsciiLower(root + name); }

  std::unique_ptr<testing_support::ScratchBtrfs> fs;
  std::string root;
  MonitorOnBtrfs watch;
};

TEST_F(FWatcherOnBtrfsTest, AFileWrittenOnceIsOneUse) {
  EXPECT_EQ(watch.Start(root).WatchMode(), ChangeNotifier::Mode::kWholeFileSystem);
  const int64_t now = watch.At(0);
  // Created, written twice, its times set, read back: many notifications, one use.
  watch.Child(root, "printf hello > Once.TXT && printf more >> Once.TXT && touch Once.TXT && cat Once.TXT >/dev/null");
  const auto table = watch.Table(root);
  ASSERT_EQ(table.paths, std::vector<std::string>{Stored("Once.TXT")});
  EXPECT_EQ(table.entries[0].UseCount, 1);
  EXPECT_EQ(table.entries[0].LastUse, now);
  EXPECT_EQ(table.entries[0].MeanInterval, now);  // the time of the first use, until a second one
}

TEST_F(FWatcherOnBtrfsTest, ChangesOfTheSamePathWithinAMinuteAreOneUse) {
  struct Step {
    int64_t at;
    std::string file;
  };
  struct Expected {
    std::string file;
    int64_t uses;
    int64_t last_use_at;
  };
  const struct {
    const char* name;
    std::vector<Step> steps;
    std::vector<Expected> expected;
  } cases[] = {
      // 30 s is within a minute of the use at 0 s; 90 s is more than a minute after it.
      {"0, 30 and 90 s", {{0, "a"}, {30, "a"}, {90, "a"}}, {{"a", 2, 90}}},
      // Another path in between resets the comparison.
      {"0 and 30 s with another path at 10 s", {{0, "c"}, {10, "d"}, {30, "c"}}, {{"c", 2, 30}, {"d", 1, 10}}},
      {"exactly 60 s later", {{0, "e"}, {60, "e"}, {61, "e"}}, {{"e", 2, 61}}},
  };
  for (const auto& c : cases) {
    watch.Start(root);
    for (const Step& step : c.steps) {
      watch.At(step.at);
      watch.Child(root, "printf x >> " + step.file);
    }
    const auto table = watch.Table(root);
    EXPECT_EQ(table.paths.size(), c.expected.size()) << c.name;
    for (const Expected& expected : c.expected) {
      const watcher::UseEntry* entry = table.Of(root + expected.file);
      ASSERT_NE(entry, nullptr) << c.name << ": " << expected.file;
      EXPECT_EQ(entry->UseCount, expected.uses) << c.name << ": " << expected.file;
      EXPECT_EQ(entry->LastUse, watch.WatcherTime(expected.last_use_at)) << c.name << ": " << expected.file;
    }
  }
}

TEST_F(FWatcherOnBtrfsTest, MeanIntervalOfUsesAt100_160_280_340) {
  watch.Start(root);
  // A change of another file between the uses keeps the one at 160 s, exactly a minute after the
  // first, from being taken for a repeat.
  const struct {
    int64_t at;
    int64_t mean_interval;  // 0: the time of the first use
  } uses[] = {{100, 0}, {160, 60}, {280, 80}, {340, 75}};
  int64_t count = 0;
  for (const auto& use : uses) {
    watch.At(use.at);
    watch.Child(root, "printf x >> series");
    watch.At(use.at + 30);
    watch.Child(root, "printf x >> between");
    const auto table = watch.Table(root);
    const watcher::UseEntry* entry = table.Of(root + "series");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->UseCount, ++count);
    EXPECT_EQ(entry->LastUse, watch.WatcherTime(use.at));
    EXPECT_EQ(entry->MeanInterval, use.mean_interval == 0 ? watch.WatcherTime(100) : use.mean_interval) << use.at;
  }
}

TEST_F(FWatcherOnBtrfsTest, ARenamedFileInheritsTheOldNamesStatistics) {
  watch.Start(root);
  watch.At(0);
  watch.Child(root, "printf x > a.txt");
  watch.At(100);
  watch.Child(root, "mv a.txt b.txt");
  const auto table = watch.Table(root);
  const watcher::UseEntry* old_name = table.Of(root + "a.txt");
  const watcher::UseEntry* new_name = table.Of(root + "b.txt");
  ASSERT_NE(old_name, nullptr);
  ASSERT_NE(new_name, nullptr);
  EXPECT_EQ(old_name->UseCount, 2);
  EXPECT_EQ(old_name->MeanInterval, 100);
  EXPECT_EQ(new_name->UseCount, 2);  // the use of the new name included
  EXPECT_EQ(new_name->MeanInterval, 100);
  EXPECT_EQ(new_name->LastUse, watch.WatcherTime(100));
}

TEST_F(FWatcherOnBtrfsTest, The10002ndPathTakesOverTheLastEntry) {
  watch.Start(root);
  watch.At(0);
  // f00001 ... f10002, created in this order by one child.
  watch.Child(root, "seq -f 'f%05g' 1 10002 | xargs touch");
  const auto table = watch.Table(root);
  ASSERT_EQ(table.paths.size(), 10001u);
  EXPECT_EQ(table.paths[0], Stored("f00001"));
  EXPECT_EQ(table.paths[9999], Stored("f10000"));
  EXPECT_EQ(table.paths[10000], Stored("f10002"));
  EXPECT_EQ(table.entries[10000].UseCount, 2);  // f10001's use, then f10002's
  EXPECT_EQ(table.Of(root + "f10001"), nullptr);
}

TEST_F(FWatcherOnBtrfsTest, APauseWhileTheMonitorWaitsEmptiesTheTableAtTheNextBatch) {
  watcher::FWatcher& monitor = watch.Start(root);
  watch.At(0);
  watch.Child(root, "printf x > before");
  // The drive is quiet: the monitor waits, holding Busy. The window pauses it as the compressor
  // starts: it sets Paused and Activity and cannot take Busy.
  monitor.Paused = true;
  monitor.Activity = true;
  EXPECT_FALSE(monitor.TryTakeBusy());
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(monitor.BusyHeld()) << "nothing happens until the next batch";

  // The next batch empties the table and records nothing.
  ASSERT_EQ(Shell("cd '" + root + "' && printf x > during"), 0);
  ASSERT_TRUE(WaitUntil([&] { return monitor.TryTakeBusy(); }));
  EXPECT_EQ(monitor.Table().EntryCount(), 0);
  // The window now holds Busy for the pause; what the compressor changes meanwhile is no use.
  ASSERT_EQ(Shell("cd '" + root + "' && printf x > compressed && printf x >> during"), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));

  // Work resumes: the window empties the table and lets the monitor go.
  monitor.ClearUseTable();
  monitor.Paused = false;
  monitor.ReleaseBusy();
  // Back in its wait once it has thrown away what the pause left in the queue.
  ASSERT_TRUE(WaitUntil([&] { return monitor.BusyHeld(); }));
  watch.At(200);
  watch.Child(root, "printf x > after");
  const auto table = watch.Table(root);
  EXPECT_EQ(table.paths, std::vector<std::string>{Stored("after")});
}

TEST_F(FWatcherOnBtrfsTest, NamesOf255CodeUnitsOrMoreAreNotRecorded) {
  // A name component holds at most 255 bytes: the longer relative names need two folders.
  const std::string folder = std::string(100, 'd');
  std::string accented = folder + "/";
  for (int i = 0; i < 100; ++i) accented += "\xC3\xA9";  // 100 units in 200 bytes
  ASSERT_EQ(Shell("mkdir -p '" + root + accented + "'"), 0);
  const struct {
    const char* name;
    std::string file;  // below the root; the relative name is what counts
    bool recorded;
  } cases[] = {
      {"254 units", folder + "/" + std::string(153, 'f'), true},
      {"255 units", folder + "/" + std::string(154, 'g'), false},
      {"254 units in 354 bytes", accented + "/" + std::string(52, 'f'), true},
      {"255 units in 355 bytes", accented + "/" + std::string(53, 'g'), false},
      {"300 units", folder + "/" + std::string(199, 'h'), false},
  };
  watcher::FWatcher& monitor = watch.Start(root);
  watch.At(0);
  for (const auto& c : cases) {
    if (c.recorded) {
      watch.Child(root, "printf x > '" + c.file + "'");
    } else {
      monitor.Activity = false;
      ASSERT_EQ(Shell("cd '" + root + "' && printf x > '" + c.file + "'"), 0);
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      EXPECT_FALSE(monitor.Activity) << c.name << ": shown as activity";
    }
    EXPECT_EQ(watch.Table(root).Of(root + c.file) != nullptr, c.recorded) << c.name;
  }
}

TEST_F(FWatcherOnBtrfsTest, ChangesOfTheMonitorsOwnProcessAreNoUses) {
  watcher::FWatcher& monitor = watch.Start(root);
  watch.At(0);
  std::ofstream(root + "ours") << "written by the watcher's own process";
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_FALSE(monitor.Activity);
  watch.Child(root, "printf x >> ours");
  EXPECT_EQ(watch.Table(root).paths, std::vector<std::string>{Stored("ours")});
}

TEST_F(FWatcherOnBtrfsTest, AStopEndsAMonitorOnAQuietDriveAtOnce) {
  watcher::FWatcher& monitor = watch.Start(root);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(monitor.BusyHeld());  // blocked in its wait
  const auto start = std::chrono::steady_clock::now();
  monitor.Terminate();
  // The tray's "Exit" gives each monitor two seconds before it ends with code 1.
  EXPECT_TRUE(WaitUntil([&] { return monitor.Done.load(); }, std::chrono::milliseconds(500)));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

// A subvolume mounted on its own refuses the whole-file-system watch; the monitor counts the uses
// of open files instead.
class MountedSubvolume {
 public:
  explicit MountedSubvolume(const std::string& file_system_root) {
    if (Shell("btrfs subvolume create '" + file_system_root + "sub' >/dev/null") != 0) return;
    const std::string device = "$(findmnt -n -o SOURCE --target '" + file_system_root + "')";
    mounted_ = Shell("mount -o subvol=sub " + device + " '" + path() + "'") == 0;
  }
  ~MountedSubvolume() {
    if (mounted_) Shell("umount -l '" + path() + "'");
  }
  bool mounted() const { return mounted_; }
  const std::string& path() const { return folder_.path(); }

 private:
  testing_support::TempDir folder_;
  bool mounted_ = false;
};

TEST_F(FWatcherOnBtrfsTest, OnASubvolumeMountUsesAreCountedFromOpenFiles) {
  MountedSubvolume subvolume(root);
  ASSERT_TRUE(subvolume.mounted());
  const std::string sub = subvolume.path();
  EXPECT_EQ(watch.Start(sub).WatchMode(), ChangeNotifier::Mode::kMountDescriptors);
  const int64_t now = watch.At(0);
  watch.Child(sub, "mkdir -p Dir && printf x > Dir/File.txt");
  watch.At(100);
  watch.Child(sub, "cat Dir/File.txt >/dev/null");
  const auto table = watch.Table(sub);
  const watcher::UseEntry* entry = table.Of(sub + "Dir/File.txt");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->UseCount, 2);
  EXPECT_EQ(entry->MeanInterval, 100);
  EXPECT_EQ(entry->LastUse, now + 100);
  // Nothing outside the mount: the file system's own root is not watched here.
  watch.Child(root, "printf x > outside", false);
  EXPECT_EQ(watch.Table(sub).Of(root + "outside"), nullptr);
  watch.Stop();
}

}  // namespace
