#pragma once
// A drive monitor on a loop-mounted btrfs with a clock the test sets. Changes are made by child
// processes: the monitor leaves out those of its own process, and the test is that process.
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine_harness.h"
#include "scratch_btrfs.h"
#include "watcher/f_watcher.h"

namespace testing_support {

struct TableCopy {
  std::vector<std::string> paths;
  std::vector<watcher::UseEntry> entries;

  // The entry of `path` (compared as the monitor stores it, lower-cased); null when absent.
  const watcher::UseEntry* Of(const std::string& path) const;
};

class MonitorOnBtrfs {
 public:
  static constexpr int64_t kBaseSeconds = 1700000000;

  MonitorOnBtrfs() = default;
  ~MonitorOnBtrfs() { Stop(); }

  // Starts a monitor on `root` (the scratch file system unless given) and waits until it watches.
  watcher::FWatcher& Start(const std::string& root);
  void Stop();
  watcher::FWatcher& monitor() { return *monitor_; }
  FakeClock& clock() { return clock_; }

  // Sets the clock to kBaseSeconds + `seconds` (UTC) and returns that moment as a watcher time.
  int64_t At(int64_t seconds);
  // The watcher time of kBaseSeconds + `seconds`, without moving the clock.
  int64_t WatcherTime(int64_t seconds) const;

  // Runs `command` in a child shell in `root`, then waits until the monitor has handled what it
  // caused: its Activity flag came up and then stayed down for a while.
  void Child(const std::string& root, const std::string& command, bool expect_activity = true);
  // A change by the test's own process on the watched file system: it ends the monitor's wait
  // with a batch of nothing, so the table can be taken.
  void Poke(const std::string& root);
  // Takes Busy (poking the monitor out of its wait), runs `with_table`, releases Busy.
  void WithTable(const std::string& root, const std::function<void(watcher::FWatcher&)>& with_table);
  TableCopy Table(const std::string& root);

 private:
  FakeClock clock_;
  std::unique_ptr<watcher::FWatcher> monitor_;
};

// Waits until `done` holds, up to `timeout`; the last answer.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(10));

}  // namespace testing_support
