#pragma once
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/activity_log.h"
#include "engine/check_tree.h"
#include "engine/dscan.h"
#include "engine/file_decider.h"
#include "platform/clock.h"
#include "platform/dispatcher.h"
#include "temp_dir.h"

namespace testing_support {

// The log's event lines as "action|object|reason", separators and stamps left out.
std::vector<std::string> ReadLogEvents(const std::string& log_path);

// A clock whose one-second waits take a millisecond and are counted, with a settable time.
class FakeClock final : public platform::Clock {
 public:
  platform::FileTime SystemTimeAsFileTime() const override;
  platform::LocalDateTime LocalNow() const override;
  void Sleep(uint32_t milliseconds, const std::function<bool()>& wake = {}) override;

  void SetLocal(const platform::LocalDateTime& when);
  void SetSystemTime(platform::FileTime time);
  int64_t Sleeps() const { return sleeps_.load(); }

 private:
  mutable std::mutex mutex_;
  platform::LocalDateTime local_{2008, 6, 15, 14, 3, 7};
  platform::FileTime system_;
  std::atomic<int64_t> sleeps_{0};
};

class FakeTreeNode final : public engine::CheckTreeNode {
 public:
  FakeTreeNode(int level, int kind, int state, std::optional<std::string> data)
      : level_(level), kind_(kind), state_(state), data_(std::move(data)) {}
  int Level() const override { return level_; }
  int Kind() const override { return kind_; }
  int State() const override { return state_; }
  std::vector<const CheckTreeNode*> Children() const override;
  const std::string* Data() const override { return data_ ? &*data_ : nullptr; }

  FakeTreeNode& Add(int kind, int state, std::optional<std::string> data);

 private:
  int level_;
  int kind_;
  int state_;
  std::optional<std::string> data_;
  std::vector<std::unique_ptr<FakeTreeNode>> children_;
};

class FakeTree final : public engine::CheckTree {
 public:
  FakeTreeNode& AddDrive(int state, std::optional<std::string> data);
  std::vector<const engine::CheckTreeNode*> NodesInTreeOrder() const override;

 private:
  std::vector<std::unique_ptr<FakeTreeNode>> drives_;
};

// Records every file handed to it, counts it like an examined file of one byte, and runs an
// optional hook on the engine thread.
class RecordingDecider final : public engine::FileDecider {
 public:
  Outcome Decide(engine::DScan& scan, const std::string& path, const platform::DirEntry& entry) override;

  std::vector<std::string> Paths() const;
  std::vector<std::string> SortedPaths() const;
  size_t Count() const;
  void SetHook(std::function<void(engine::DScan&, const std::string&)> hook);

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> paths_;
  std::function<void(engine::DScan&, const std::string&)> hook_;
};

// An engine over a fake clock, a queued dispatcher pumped by the test thread and a real log in a
// temporary folder.
class EngineHarness {
 public:
  EngineHarness();
  ~EngineHarness();

  engine::DScan& scan() { return *scan_; }
  FakeClock& clock() { return clock_; }
  RecordingDecider& decider() { return decider_; }
  FakeTree& tree() { return tree_; }

  void Start();
  // Pumps the dispatcher until `done` holds; false after the timeout.
  bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(20));
  // Pumps until the log's last event is `event`.
  bool PumpUntilLogged(const std::string& event);
  // Pumps until the engine has slept `count` more times (it is idle or paused).
  bool PumpSleeps(int64_t count);
  // The log's event lines as "action|object|reason", separators and stamps left out.
  std::vector<std::string> Events() const;
  std::string LogPath() const { return dir_.path() + engine::kLogFileName; }

 private:
  TempDir dir_;
  FakeClock clock_;
  platform::QueuedDispatcher dispatcher_;
  RecordingDecider decider_;
  FakeTree tree_;
  std::unique_ptr<engine::ActivityLog> log_;
  std::unique_ptr<engine::DScan> scan_;
};

}  // namespace testing_support
