#include "watcher/f_watcher.h"

#include "shared/ascii_case.h"
#include "shared/watcher_time.h"

namespace watcher {

namespace {

// A change of the path recorded last, this many seconds or less after it, is the same use.
constexpr int64_t kRepeatSeconds = 60;
constexpr uint32_t kStepMilliseconds = 100;
constexpr uint32_t kPausedStepMilliseconds = 1000;

}  // namespace

size_t Utf16Length(std::string_view name) {
  size_t units = 0;
  size_t i = 0;
  while (i < name.size()) {
    const auto lead = static_cast<unsigned char>(name[i]);
    size_t length = 1;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    if (lead >= 0xE0 && lead <= 0xEF) length = 3;
    if (lead >= 0xF0 && lead <= 0xF4) length = 4;
    bool whole = i + length <= name.size();
    for (size_t k = 1; whole && k < length; ++k) whole = (static_cast<unsigned char>(name[i + k]) & 0xC0) == 0x80;
    if (!whole) length = 1;
    units += length == 4 ? 2 : 1;  // beyond U+FFFF a character is a surrogate pair
    i += length;
  }
  return units;
}

FWatcher::FWatcher(const platform::Clock& clock) : clock_(clock) {}

FWatcher::~FWatcher() { TerminateAndWait(); }

void FWatcher::Terminate() {
  platform::Thread::Terminate();
  stop_.Set();
}

void FWatcher::TerminateAndWait(const std::function<void()>& pump) {
  Terminate();
  WaitFor(pump);
}

void FWatcher::Execute() {
  Done.store(false, std::memory_order_relaxed);
  notifier_.Open(RootPath);
  watch_mode_.store(notifier_.mode(), std::memory_order_release);
  opened_.store(true, std::memory_order_release);
  std::vector<platform::ChangeRecord> batch;
  while (!Terminated()) {
    // While the compressor runs its changes are no uses: they are read and thrown away, so that
    // they neither count after the pause nor pile up in the queue. A save holding Busy is no
    // pause: what arrives meanwhile waits in the queue.
    bool paused = false;
    while (BusyHeld() && !Terminated()) {
      if (Paused.load(std::memory_order_relaxed)) {
        paused = true;
        notifier_.DiscardPending();
      }
      Sleep(kStepMilliseconds);
    }
    while (Paused.load(std::memory_order_relaxed) && !Terminated()) {
      paused = true;
      notifier_.DiscardPending();
      Sleep(kPausedStepMilliseconds);
    }
    if (Terminated()) break;
    if (paused) notifier_.DiscardPending();
    if (!TryTakeBusy()) continue;  // the main window took the table in the meantime
    if (EmptyOnTake.exchange(false, std::memory_order_relaxed)) {
      ClearUseTable();
      notifier_.DiscardPending();
    }
    if (notifier_.WaitForChanges(stop_, batch) == platform::ChangeNotifier::Wait::kChanges) {
      // A resume while we waited: the batch, and what queued behind it, began in the pause.
      if (EmptyOnTake.exchange(false, std::memory_order_relaxed)) {
        ClearUseTable();
        notifier_.DiscardPending();
      } else {
        HandleBatch(batch);
        entry_count_.store(table_.EntryCount(), std::memory_order_relaxed);
      }
    }
    ReleaseBusy();
    if (Terminated()) break;
    Sleep(kStepMilliseconds);
  }
  notifier_.Close();
  Done.store(true, std::memory_order_release);
}

void FWatcher::HandleBatch(const std::vector<platform::ChangeRecord>& batch) {
  for (const platform::ChangeRecord& record : batch) {
    if (Terminated()) return;
    if (Paused.load(std::memory_order_relaxed)) {
      // The pause came while the monitor waited: the uses counted before it go with it.
      ClearUseTable();
      return;
    }
    if (record.name.empty() || Utf16Length(record.name) > kMaxRecordedNameUnits) continue;
    const int64_t now = shared::WatcherTimeNow(clock_);
    std::string full_path = RootPath + record.name;
    int32_t index = 0;
    if (full_path != LastRecordedPath || now - LastRecordTime > kRepeatSeconds) {
      index = table_.RecordUse(record.action, shared::AsciiLower(full_path), now);
      LastRecordedPath = std::move(full_path);
      LastRecordTime = now;
    }
    Activity.store(true, std::memory_order_relaxed);
    if (index < 0) return;
  }
}

}  // namespace watcher
