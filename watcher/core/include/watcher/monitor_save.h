#pragma once
#include <functional>
#include <optional>

#include "watcher/f_watcher.h"
#include "watcher/save_monitor_data.h"

namespace watcher {

inline constexpr int kBusyPolls = 100;

// One monitor's turn in the periodic save. Polls its Busy flag up to kBusyPolls times, running
// `between_polls` (a 10 ms wait that lets the window run) after each failed poll; a monitor that
// keeps its table that long is skipped until the next save. With Busy held it saves a non-empty
// table and empties it only when it was stored, so a table that could not be saved waits for the
// next save; Busy is released in every case. Nothing when the table was not reached or empty.
// `before_save` gets the entry count of a table about to be saved.
std::optional<SaveResult> SaveMonitor(FWatcher& monitor, const UseDataFiles& files,
                                      const std::function<void()>& between_polls,
                                      const std::function<void(int32_t entries)>& before_save = {});

}  // namespace watcher
