#pragma once
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/activity_log.h"
#include "engine/check_tree.h"
#include "engine/file_decider.h"
#include "platform/clock.h"
#include "platform/dispatcher.h"
#include "platform/special_folders.h"
#include "platform/thread.h"
#include "shared/watcher_table.h"

namespace engine {

// A string two threads read and write; copies in and out under its own lock.
class SharedText {
 public:
  void Set(std::string_view text);
  std::string Get() const;

 private:
  mutable std::mutex mutex_;
  std::string text_;
};

// The engine: walks the checked folders breadth-first and hands every file to the decider, in
// analysis passes (StretchMode clear) and stretch passes (StretchMode set). The window drives it
// through the flags below and polls the counters; it never waits for the engine while holding
// the hold lock.
class DScan : public platform::Thread {
 public:
  struct Services {
    platform::Clock& clock;
    platform::Dispatcher& dispatcher;  // runs CollectCheckedFolders on the main thread
    FileDecider& decider;
  };

  // Created suspended: the owner sets the fields, then calls Resume.
  explicit DScan(Services services);
  ~DScan() override;

  // Fields in their declared order. Counters are bytes or file counts.
  std::atomic<int64_t> AllFilesCount{0};
  std::atomic<int64_t> CompressedFilesCount{0};
  std::atomic<int64_t> AllFilesSize{0};
  std::atomic<int64_t> FilesSizeOnDisk{0};
  std::atomic<int64_t> RealFilesSizeOnDisk{0};
  std::atomic<int64_t> SavedSpace{0};
  // Touched by the main thread only inside CollectCheckedFolders, while the engine waits for it.
  std::deque<std::string> FolderQueue;   // each path ends with '/'
  std::deque<std::string> FolderStates;  // "0" to do, "1" done; as long as FolderQueue
  std::vector<std::string> CandidateFiles;
  const CheckTree* Tree = nullptr;
  SharedText StatusText;
  // Set before Resume, read-only afterwards.
  std::string WindowsDir;
  std::string UserWindowsDir;
  std::string Wow64SystemDir;
  std::string TempDir;
  std::atomic<bool> RescanRequested{true};
  std::atomic<bool> Finished{false};
  std::atomic<bool> Idle{false};
  std::atomic<bool> StretchMode{false};
  std::atomic<bool> AnalyzeComplete{false};
  std::atomic<bool> StretchComplete{false};
  std::atomic<bool> ResultReported{false};
  std::atomic<bool> Paused{false};
  std::atomic<bool> Defragmenting{false};
  std::atomic<bool> CancelRequested{false};
  std::atomic<bool> ExcludeSystem{false};
  std::atomic<bool> SmartFile{false};
  std::atomic<bool> TryFile{false};
  std::atomic<bool> PreserveSystem{false};
  std::atomic<bool> DecompWorthy{false};
  std::atomic<bool> UseVelnor{false};
  std::atomic<bool> Defragment{false};
  std::atomic<bool> DefragmentAny{false};
  // Geometry of the volume of the file last examined; engine thread only.
  uint32_t SectorsPerCluster = 0;
  uint32_t BytesPerSector = 0;
  // Owned by the window; set before Resume and closed only after the body has ended.
  const ActivityLog* LogFile = nullptr;
  // WatcherPaths, WatcherHashes and WatcherIntervals, published together (release) by the window,
  // which keeps every table it published alive until the engine is gone.
  std::atomic<const shared::WatcherTable*> Watcher{nullptr};

  // The main thread holds this while it changes StretchMode, RescanRequested, CancelRequested
  // and AnalyzeComplete together; the engine takes it where it reads them together.
  [[nodiscard]] std::unique_lock<std::mutex> Hold() { return std::unique_lock<std::mutex>(hold_); }

  void SetSpecialFolders(const platform::SpecialFolders& folders);
  void WriteLog(std::string_view action, std::string_view object, std::string_view reason) const;
  // Main thread.
  void CollectCheckedFolders();
  void AddCheckedNode(const CheckTreeNode& node);

  platform::Clock& Clock() { return services_.clock; }

 protected:
  void Execute() override;

 private:
  void Rescan();
  void ReportEndOfPass();
  void FolderLoop();
  void WalkFolder(const std::string& folder);
  // A termination cuts the wait short, so the window's Exit does not wait out the second.
  void SleepOneSecond() {
    services_.clock.Sleep(1000, [this] { return Terminated(); });
  }

  Services services_;
  std::mutex hold_;
};

}  // namespace engine
