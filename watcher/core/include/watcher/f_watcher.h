#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/change_notifier.h"
#include "platform/clock.h"
#include "platform/thread.h"
#include "platform/wake_event.h"
#include "watcher/use_table.h"

namespace watcher {

// Relative names this long or longer, counted in UTF-16 code units, are not recorded: the same
// file is then left out on every system whatever its names' encoding.
inline constexpr size_t kMaxRecordedNameUnits = 254;
// UTF-16 code units of a UTF-8 name: one per character, two beyond U+FFFF. Bytes that are not
// UTF-8 count one each.
size_t Utf16Length(std::string_view name);

// One drive's monitor: a thread that waits for the changes of the whole mounted file system and
// counts each changed path as a use in its table. The watcher's main window shares the four flags
// with it and reads or empties the table only while it holds Busy.
class FWatcher final : public platform::Thread {
 public:
  // Created suspended: set the priority and RootPath, then Resume. `clock` gives the time of uses.
  explicit FWatcher(const platform::Clock& clock);
  ~FWatcher() override;

  // The mount point with its trailing '/'; set before Resume.
  std::string RootPath;

  // The lock of the table. The monitor holds it while it waits for and handles a batch, the main
  // window while it saves or empties the table; both take it only by test-and-set.
  bool TryTakeBusy() { return !Busy.test_and_set(std::memory_order_acquire); }
  void ReleaseBusy() { Busy.clear(std::memory_order_release); }
  bool BusyHeld() const { return Busy.test(std::memory_order_relaxed); }
  // Set and cleared by the main window only: while set, the monitor records nothing and throws
  // away what arrives, and a batch it was waiting for empties the table.
  std::atomic<bool> Paused{false};
  // A named change was seen since the main window last cleared it.
  std::atomic<bool> Activity{false};
  // The thread body has ended.
  std::atomic<bool> Done{false};
  // Set by the window when work resumes after a pause on a monitor whose Busy it could not take
  // (the monitor kept it in its wait): the monitor empties its table, and drops the batch it
  // waited for, the next time it holds Busy, so the window neither touches a table it does not
  // hold nor hands back a lock that is not its own.
  std::atomic<bool> EmptyOnTake{false};
  // The table's entry count as of the monitor's last batch or emptying: a hint without the lock.
  int32_t EntryCount() const { return entry_count_.load(std::memory_order_relaxed); }

  // Hide Thread::Terminate and TerminateAndWait: the stop request also wakes a wait on a quiet
  // drive, so the monitor ends at once.
  void Terminate();
  void TerminateAndWait(const std::function<void()>& pump = {});
  // Only by the holder of Busy.
  void ClearUseTable() {
    table_.Clear();
    entry_count_.store(0, std::memory_order_relaxed);
  }
  const UseTable& Table() const { return table_; }

  // How the drive is watched, once the body has opened it (kClosed before and when it failed).
  platform::ChangeNotifier::Mode WatchMode() const { return watch_mode_.load(std::memory_order_acquire); }
  // The body has set up its watch, or found that it cannot.
  bool WatchAttempted() const { return opened_.load(std::memory_order_acquire); }

 protected:
  void Execute() override;

 private:
  void HandleBatch(const std::vector<platform::ChangeRecord>& batch);
  // Ends early on a stop request.
  void Sleep(uint32_t milliseconds) { stop_.WaitFor(milliseconds); }

  std::atomic_flag Busy = ATOMIC_FLAG_INIT;
  const platform::Clock& clock_;
  UseTable table_;
  platform::ChangeNotifier notifier_;
  platform::WakeEvent stop_;
  std::string LastRecordedPath;
  int64_t LastRecordTime = 0;
  std::atomic<platform::ChangeNotifier::Mode> watch_mode_{platform::ChangeNotifier::Mode::kClosed};
  std::atomic<bool> opened_{false};
  std::atomic<int32_t> entry_count_{0};
};

}  // namespace watcher
