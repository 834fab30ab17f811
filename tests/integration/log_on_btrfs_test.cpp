// The log on a real btrfs when its file cannot be written: the program runs on without a word.
#include <gtest/gtest.h>

#include "engine/activity_log.h"
#include "engine_harness.h"
#include "scratch_btrfs.h"

namespace {

TEST(LogOnBtrfsTest, ReadOnlyLogRunsOnWithoutLinesOrMessages) {
  REQUIRE_SCRATCH_BTRFS();
  testing_support::ScratchBtrfs fs;
  const std::string path = fs.root() + engine::kLogFileName;
  testing_support::WriteFile(path, "old contents\r\n");
  // Root ignores permission bits; the immutable flag holds even for root.
  ASSERT_EQ(testing_support::Shell("chattr +i '" + path + "'"), 0);
  testing_support::FakeClock clock;
  {
    auto log = engine::ActivityLog::Open(path, false, clock);
    EXPECT_FALSE(log->Valid());
    log->WriteLog("Quobran", "Started", "User request");
  }
  testing_support::Shell("chattr -i '" + path + "'");
  EXPECT_EQ(testing_support::ReadFile(path), "old contents\r\n");
}

}  // namespace
