// End to end on a loop-mounted btrfs: Velnor records uses and saves them after its (shortened)
// period, stands aside while Quobran runs, and quobran-cli decides by the file Velnor wrote.
#include <signal.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <thread>

#include "child_process.h"
#include "engine_harness.h"
#include "sample_data.h"
#include "scratch_btrfs.h"
#include "shared/ascii_case.h"
#include "shared/instance_markers.h"
#include "shared/use_data_file.h"
#include "shared/use_data_format.h"
#include "watcher/save_monitor_data.h"

namespace {

using namespace std::chrono_literals;
using testing_support::ChildProcess;
using testing_support::Eventually;
using testing_support::CompressibleText;
using testing_support::WriteFile;

class VelnorOnBtrfsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string isolation = testing_support::IsolateMarkers();
    if (!isolation.empty()) GTEST_SKIP() << isolation;
    REQUIRE_SCRATCH_BTRFS();
    fs_ = std::make_unique<testing_support::ScratchBtrfs>(256);
    root_ = fs_->root();
  }

  // The records of Velnor's use data file, by path.
  std::map<std::string, shared::UseRecord> Records() {
    data_ = shared::ReadUseData(home_.path() + "Morvast.velnr");
    std::map<std::string, shared::UseRecord> records;
    shared::UseRecordReader reader(data_.content);
    for (shared::UseRecord record; reader.Next(record);) records[std::string(record.Path)] = record;
    return records;
  }
  bool Saved(const std::string& name) { return Records().count(shared::AsciiLower(root_ + name)) != 0; }
  // A quiet drive's monitor keeps its table in its wait, and a save takes only a table whose
  // batch ends within its polling second: go on using the file until it is saved. Uses of one
  // path within a minute are one use.
  bool UseUntilSaved(const std::string& name) {
    return Eventually([&] {
      WriteFile(root_ + name, CompressibleText(200000) + std::to_string(++writes_));
      std::this_thread::sleep_for(50ms);
      return Saved(name);
    }, 20s);
  }
  int writes_ = 0;

  std::unique_ptr<testing_support::ScratchBtrfs> fs_;
  std::string root_;
  testing_support::TempDir home_;
  shared::UseData data_;
};

TEST_F(VelnorOnBtrfsTest, RecordsSavesStandsAsideAndQuobranCliDecidesByItsFile) {
  const std::string top = root_ + "work/";
  testing_support::MakeDirs(top);
  WriteFile(top + "seldom.txt", CompressibleText(200000));
  WriteFile(top + "used.txt", CompressibleText(200000));
  // An earlier run of Velnor saw seldom.txt used once every ten days.
  watcher::UseTable earlier;
  earlier.RecordUse(3, shared::AsciiLower(top + "seldom.txt"), 1000000);
  earlier.RecordUse(3, shared::AsciiLower(top + "seldom.txt"), 1000000 + 10 * 86400);
  ASSERT_EQ(watcher::SaveMonitorData(earlier, watcher::UseDataFilesIn(home_.path())), watcher::SaveResult::kSaved);

  ChildProcess velnor({VELNOR_PATH}, {"QT_QPA_PLATFORM=offscreen", "QUOBRAN_HOME=" + home_.path(), "VELNOR_SAVE_PERIOD_MS=300"},
                      home_.path() + "velnor.out");
  ASSERT_TRUE(Eventually([] { return shared::ProbeMutex(shared::kVelnorMarker); }));
  std::this_thread::sleep_for(1500ms);  // its monitors are watching
  ASSERT_TRUE(UseUntilSaved("work/used.txt")) << "saved after the shortened period";
  const auto first = Records();
  EXPECT_EQ(first.at(shared::AsciiLower(top + "used.txt")).UseCount, 1);
  EXPECT_EQ(first.at(shared::AsciiLower(top + "seldom.txt")).UseCount, 2) << "merged into the earlier file";

  // Quobran runs: Velnor steps aside at its next check and saves nothing.
  ChildProcess quobran({QUOBRAN_STAND_IN}, {}, home_.path() + "stand-in.out");
  ASSERT_TRUE(Eventually([] { return shared::ProbeMutex(shared::kQuobranMarker); }));
  std::this_thread::sleep_for(3s);
  const std::string before = testing_support::ReadFile(home_.path() + "Morvast.velnr");
  for (int i = 0; i < 30; ++i) {
    WriteFile(top + "during.txt", "rewritten by Quobran " + std::to_string(i));
    std::this_thread::sleep_for(50ms);
  }
  EXPECT_EQ(testing_support::ReadFile(home_.path() + "Morvast.velnr"), before) << "no save while Quobran runs";

  // A killed Quobran counts as ended: Velnor resumes with empty tables.
  quobran.Signal(SIGKILL);
  ASSERT_TRUE(quobran.WaitExit(5s).has_value());
  std::this_thread::sleep_for(1s);
  ASSERT_TRUE(UseUntilSaved("work/after.txt"));
  EXPECT_FALSE(Saved("work/during.txt")) << "what changed in the pause is no use";
  EXPECT_TRUE(velnor.Running());

  // quobran-cli loads the file Velnor wrote: ten days between uses is seldom, a use just now
  // frequent, so only seldom.txt is compressed.
  ChildProcess cli({QUOBRAN_CLI, "stretch", "--no-exclude-system", "--use-velnor", top}, {"QUOBRAN_HOME=" + home_.path()},
                   home_.path() + "cli.out");
  ASSERT_EQ(cli.WaitExit(60s), 0) << testing_support::ReadFile(home_.path() + "cli.out");
  const auto events = testing_support::ReadLogEvents(home_.path() + "Quobran.log");
  EXPECT_EQ(std::count(events.begin(), events.end(), "Compress|" + top + "seldom.txt|Seldom used"), 1);
  EXPECT_EQ(std::count_if(events.begin(), events.end(), [](const std::string& e) { return e.rfind("Compress|", 0) == 0; }), 1);
  EXPECT_TRUE(velnor.Running()) << "Velnor stood aside and came back; nothing ended it";
}

}  // namespace
