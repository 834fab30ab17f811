// A real monitor's table saved into real files: the watcher's own saves are no uses, and a save
// that fails (a full disk, a use data file it cannot read, an index it cannot open) keeps the old
// file and the table, lets the monitor go on, and succeeds at the next try.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "compressor/watcher_data.h"
#include "monitor_on_btrfs.h"
#include "scratch_btrfs.h"
#include "shared/ascii_case.h"
#include "shared/use_data_format.h"
#include "temp_dir.h"
#include "watcher/monitor_save.h"

namespace {

using testing_support::MonitorOnBtrfs;
using testing_support::ReadFile;
using testing_support::Shell;

class MonitorSaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_SCRATCH_BTRFS();
    fs = std::make_unique<testing_support::ScratchBtrfs>();
    root = fs->root();
  }

  // The periodic save's turn for the monitor; its 10 ms waits poke the monitor out of its wait,
  // as the drive's own activity would.
  std::optional<watcher::SaveResult> Save(const watcher::UseDataFiles& files) {
    return watcher::SaveMonitor(watch.monitor(), files, [&] {
      watch.Poke(root);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    });
  }

  std::vector<std::string> LoadedPaths(const std::string& program_directory) const {
    return compressor::LoadWatcherData(program_directory).WatcherPaths;
  }

  std::unique_ptr<testing_support::ScratchBtrfs> fs;
  std::string root;
  MonitorOnBtrfs watch;
};

TEST_F(MonitorSaveTest, TheWatchersOwnSavesAreNoUses) {
  // The program directory lies on the watched drive.
  const std::string program = root + "Velnor/";
  ASSERT_EQ(Shell("mkdir '" + program + "'"), 0);
  const watcher::UseDataFiles files = watcher::UseDataFilesIn(program);
  watcher::FWatcher& monitor = watch.Start(root);
  watch.At(0);
  watch.Child(root, "printf x > used");
  ASSERT_EQ(Save(files), watcher::SaveResult::kSaved);
  monitor.Activity = false;
  ASSERT_EQ(Save(files), std::nullopt);  // nothing left to save
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_FALSE(monitor.Activity);
  EXPECT_TRUE(watch.Table(root).paths.empty());
  EXPECT_EQ(LoadedPaths(program), std::vector<std::string>{shared::AsciiLower(root + "used")});
}

// A small tmpfs for the program directory, to fill up.
class SmallTmpfs {
 public:
  SmallTmpfs() { mounted_ = Shell("mount -t tmpfs -o size=256k quobran-full '" + folder_.path() + "'") == 0; }
  ~SmallTmpfs() {
    if (mounted_) Shell("umount -l '" + folder_.path() + "'");
  }
  bool mounted() const { return mounted_; }
  const std::string& path() const { return folder_.path(); }

 private:
  testing_support::TempDir folder_;
  bool mounted_ = false;
};

TEST_F(MonitorSaveTest, AFailedSaveKeepsTheOldFileAndTheTableAndIsRetried) {
  SmallTmpfs program;
  ASSERT_TRUE(program.mounted());
  const watcher::UseDataFiles files = watcher::UseDataFilesIn(program.path());
  const struct {
    const char* name;
    std::string fail;     // run in the program directory to make the save fail
    std::string undo;
    std::string kept_at;  // where the previous use data lies meanwhile
    watcher::SaveResult result;
  } cases[] = {
      {"full disk", "dd if=/dev/zero of=filler bs=4k 2>/dev/null; true", "rm filler", "Morvast.velnr",
       watcher::SaveResult::kWriteFailed},
      {"use data unreadable", "mv Morvast.velnr real && ln -s real Morvast.velnr", "rm Morvast.velnr && mv real Morvast.velnr",
       "real", watcher::SaveResult::kDataUnreadable},
      {"index unavailable", "mv Morvast.velni real && mkdir Morvast.velni", "rmdir Morvast.velni && mv real Morvast.velni",
       "Morvast.velnr", watcher::SaveResult::kIndexUnavailable},
  };
  watch.Start(root);
  std::vector<std::string> stored;
  int64_t second = 0;
  for (const auto& c : cases) {
    const std::string before = std::string("before-") + c.name;
    const std::string during = std::string("during-") + c.name;
    watch.At(second += 100);
    watch.Child(root, "printf x > '" + before + "'");
    ASSERT_EQ(Save(files), watcher::SaveResult::kSaved) << c.name;
    stored.push_back(shared::AsciiLower(root + before));
    const std::string saved = ReadFile(files.data_path);

    watch.At(second += 100);
    watch.Child(root, "printf x > '" + during + "'");
    ASSERT_EQ(Shell("cd '" + program.path() + "' && " + c.fail), 0) << c.name;
    EXPECT_EQ(Save(files), c.result) << c.name;
    EXPECT_EQ(ReadFile(program.path() + c.kept_at), saved) << c.name;
    EXPECT_NE(watch.Table(root).Of(root + during), nullptr) << c.name << ": the table was emptied";

    // Busy was given back: the monitor goes on counting, and the next save stores it all.
    const std::string after = std::string("after-") + c.name;
    watch.At(second += 100);
    watch.Child(root, "printf x > '" + after + "'");
    ASSERT_EQ(Shell("cd '" + program.path() + "' && " + c.undo), 0) << c.name;
    EXPECT_EQ(Save(files), watcher::SaveResult::kSaved) << c.name;
    EXPECT_TRUE(watch.Table(root).paths.empty()) << c.name;
    stored.push_back(shared::AsciiLower(root + during));
    stored.push_back(shared::AsciiLower(root + after));
    EXPECT_EQ(LoadedPaths(program.path()), stored) << c.name;
  }
}

}  // namespace
