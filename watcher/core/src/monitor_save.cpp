#include "watcher/monitor_save.h"

namespace watcher {

std::optional<SaveResult> SaveMonitor(FWatcher& monitor, const UseDataFiles& files,
                                      const std::function<void()>& between_polls,
                                      const std::function<void(int32_t entries)>& before_save) {
  bool held = false;
  for (int poll = 0; poll < kBusyPolls && !held; ++poll) {
    held = monitor.TryTakeBusy();
    if (!held && between_polls) between_polls();
  }
  if (!held) return std::nullopt;
  std::optional<SaveResult> result;
  if (monitor.Table().EntryCount() != 0) {
    if (before_save) before_save(monitor.Table().EntryCount());
    result = SaveMonitorData(monitor.Table(), files);
    if (result == SaveResult::kSaved) monitor.ClearUseTable();
  }
  monitor.ReleaseBusy();
  return result;
}

}  // namespace watcher
