#include "monitor_on_btrfs.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "platform/file_time.h"
#include "platform/local_time.h"
#include "shared/ascii_case.h"
#include "shared/watcher_time.h"

namespace testing_support {

namespace {

// Quiet this long after the last use seen, the monitor has handled everything a command caused:
// it sleeps 100 ms between batches.
constexpr auto kQuiet = std::chrono::milliseconds(400);

}  // namespace

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return done();
}

const watcher::UseEntry* TableCopy::Of(const std::string& path) const {
  const std::string lowered = shared::AsciiLower(path);
  for (size_t i = 0; i < paths.size(); ++i) {
    if (paths[i] == lowered) return &entries[i];
  }
  return nullptr;
}

watcher::FWatcher& MonitorOnBtrfs::Start(const std::string& root) {
  Stop();
  monitor_ = std::make_unique<watcher::FWatcher>(clock_);
  monitor_->RootPath = root;
  monitor_->SetPriority(platform::ThreadPriority::tpNormal);
  monitor_->Resume();
  EXPECT_TRUE(WaitUntil([&] { return monitor_->WatchAttempted(); }));
  return *monitor_;
}

void MonitorOnBtrfs::Stop() {
  if (!monitor_) return;
  monitor_->Terminate();
  monitor_->WaitFor();
  monitor_.reset();
}

int64_t MonitorOnBtrfs::At(int64_t seconds) {
  clock_.SetSystemTime(platform::FileTimeFromUnix(kBaseSeconds + seconds, 0));
  return shared::WatcherTimeNow(clock_);
}

int64_t MonitorOnBtrfs::WatcherTime(int64_t seconds) const {
  return shared::WatcherTimeFromLocal(platform::LocalDateTimeAt(kBaseSeconds + seconds));
}

void MonitorOnBtrfs::Child(const std::string& root, const std::string& command, bool expect_activity) {
  monitor_->Activity = false;
  ASSERT_EQ(Shell("cd '" + root + "' && " + command), 0) << command;
  if (expect_activity) {
    ASSERT_TRUE(WaitUntil([&] { return monitor_->Activity.load(); })) << "no use seen after: " << command;
  }
  do {
    monitor_->Activity = false;
    std::this_thread::sleep_for(kQuiet);
  } while (monitor_->Activity);
}

void MonitorOnBtrfs::Poke(const std::string& root) {
  std::ofstream(root + ".poke", std::ios::app) << 'x';
}

void MonitorOnBtrfs::WithTable(const std::string& root, const std::function<void(watcher::FWatcher&)>& with_table) {
  bool held = false;
  for (int attempt = 0; attempt < 50 && !held; ++attempt) {
    Poke(root);
    held = WaitUntil([&] { return monitor_->TryTakeBusy(); }, std::chrono::milliseconds(200));
  }
  ASSERT_TRUE(held) << "the monitor never let its table go";
  with_table(*monitor_);
  monitor_->ReleaseBusy();
}

TableCopy MonitorOnBtrfs::Table(const std::string& root) {
  TableCopy copy;
  WithTable(root, [&](watcher::FWatcher& monitor) {
    const watcher::UseTable& table = monitor.Table();
    copy.paths.assign(table.Paths().begin(), table.Paths().begin() + table.EntryCount());
    copy.entries.assign(table.Entries().begin(), table.Entries().begin() + table.EntryCount());
  });
  return copy;
}

}  // namespace testing_support
