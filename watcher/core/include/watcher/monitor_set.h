#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/drives.h"
#include "watcher/f_watcher.h"
#include "watcher/informer_logic.h"
#include "watcher/save_monitor_data.h"

namespace watcher {

// The watcher window's monitors, one per compressing drive, and what its timers do with them.
// Main thread only; the monitors' tables are touched only under their Busy flags.
class MonitorSet {
 public:
  explicit MonitorSet(const platform::Clock& clock) : clock_(clock) {}
  MonitorSet(const MonitorSet&) = delete;
  MonitorSet& operator=(const MonitorSet&) = delete;
  ~MonitorSet() { Release(); }

  // Starts a monitor on every drive that compresses, in the given (path) order.
  void StartOn(const std::vector<platform::DriveInfo>& drives);
  size_t MonitorCount() const { return monitors_.size(); }
  FWatcher& Monitor(size_t index) { return *monitors_[index]; }

  // The periodic save: every monitor with entries in turn; `between_polls` waits 10 ms and lets
  // the window run. `on_save` gets the entry count of each table about to be saved.
  void SaveAll(const UseDataFiles& files, const std::function<void()>& between_polls,
               const std::function<void(int32_t entries)>& on_save);

  // One tick of the informer feed: reads and clears the monitors' Activity flags.
  InformerFeed Feed();

  // The compressor runs: every monitor is paused and shows activity; the window holds each
  // table it can take. Once resumed, every table is empty: a monitor that kept Busy through the
  // pause empties its own table when it next holds Busy, so no batch of it is handled beside a
  // save. Pausing twice, or resuming without a pause, does nothing.
  void Pause();
  void Resume();
  bool Paused() const { return paused_; }

  // "Exit": a stop request to each monitor in turn, then up to `polls` looks at Done, each after
  // `between_polls`. False, with the monitors left as they are, when one did not stop.
  bool StopForExit(int polls, const std::function<void()>& between_polls);
  // Stops and releases every monitor, waiting as long as it takes (`pump` runs while waiting).
  void StopAll(const std::function<void()>& pump = {});

 private:
  void Release();

  const platform::Clock& clock_;
  std::vector<std::unique_ptr<FWatcher>> monitors_;
  std::vector<std::string> labels_;
  std::vector<uint8_t> levels_;
  std::vector<bool> held_;  // the window took this monitor's Busy for the pause
  bool paused_ = false;
};

}  // namespace watcher
