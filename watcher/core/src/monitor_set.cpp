#include "watcher/monitor_set.h"

#include "watcher/monitor_save.h"

namespace watcher {

void MonitorSet::StartOn(const std::vector<platform::DriveInfo>& drives) {
  for (const platform::DriveInfo& drive : drives) {
    if (!drive.compresses) continue;
    auto monitor = std::make_unique<FWatcher>(clock_);
    monitor->SetPriority(platform::ThreadPriority::tpNormal);
    monitor->RootPath = drive.root_path;
    monitor->Resume();
    labels_.push_back(DriveLabel(drive.root_path));
    levels_.push_back(0);
    held_.push_back(false);
    monitors_.push_back(std::move(monitor));
  }
}

void MonitorSet::SaveAll(const UseDataFiles& files, const std::function<void()>& between_polls,
                         const std::function<void(int32_t entries)>& on_save) {
  for (const auto& monitor : monitors_) {
    // The published count spares a quiet drive's second of polling when it has nothing to save.
    if (monitor->EntryCount() == 0) continue;
    SaveMonitor(*monitor, files, between_polls, on_save);
  }
}

InformerFeed MonitorSet::Feed() {
  std::vector<bool> activity(monitors_.size());
  for (size_t i = 0; i < monitors_.size(); ++i) {
    activity[i] = monitors_[i]->Activity.exchange(false, std::memory_order_relaxed);
  }
  return FeedInformer(levels_, activity, labels_);
}

void MonitorSet::Pause() {
  if (paused_) return;
  paused_ = true;
  for (size_t i = 0; i < monitors_.size(); ++i) {
    FWatcher& monitor = *monitors_[i];
    monitor.Activity.store(true, std::memory_order_relaxed);
    monitor.Paused.store(true, std::memory_order_relaxed);
    held_[i] = monitor.TryTakeBusy();
  }
}

void MonitorSet::Resume() {
  if (!paused_) return;
  paused_ = false;
  for (size_t i = 0; i < monitors_.size(); ++i) {
    FWatcher& monitor = *monitors_[i];
    if (held_[i]) {
      monitor.ClearUseTable();
    } else {
      // Its Busy is not ours to clear, nor its table ours to touch.
      monitor.EmptyOnTake.store(true, std::memory_order_relaxed);
    }
    monitor.Paused.store(false, std::memory_order_relaxed);
    if (held_[i]) monitor.ReleaseBusy();
    held_[i] = false;
  }
}

bool MonitorSet::StopForExit(int polls, const std::function<void()>& between_polls) {
  for (const auto& monitor : monitors_) {
    monitor->Terminate();
    bool done = monitor->Done.load(std::memory_order_acquire);
    for (int poll = 0; poll < polls && !done; ++poll) {
      if (between_polls) between_polls();
      done = monitor->Done.load(std::memory_order_acquire);
    }
    if (!done) return false;
  }
  Release();
  return true;
}

void MonitorSet::StopAll(const std::function<void()>& pump) {
  for (const auto& monitor : monitors_) monitor->Terminate();
  for (const auto& monitor : monitors_) monitor->TerminateAndWait(pump);
  Release();
}

void MonitorSet::Release() {
  // A monitor held for a pause must get its Busy back, or its destructor's wait would not end.
  for (size_t i = 0; i < monitors_.size(); ++i) {
    if (held_[i]) monitors_[i]->ReleaseBusy();
  }
  monitors_.clear();
  labels_.clear();
  levels_.clear();
  held_.clear();
  paused_ = false;
}

}  // namespace watcher
