#include "engine_harness.h"

#include <algorithm>
#include <sstream>
#include <thread>

namespace testing_support {

platform::FileTime FakeClock::SystemTimeAsFileTime() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return system_;
}

platform::LocalDateTime FakeClock::LocalNow() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return local_;
}

void FakeClock::Sleep(uint32_t, const std::function<bool()>&) {
  sleeps_.fetch_add(1);
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void FakeClock::SetLocal(const platform::LocalDateTime& when) {
  std::lock_guard<std::mutex> lock(mutex_);
  local_ = when;
}

void FakeClock::SetSystemTime(platform::FileTime time) {
  std::lock_guard<std::mutex> lock(mutex_);
  system_ = time;
}

std::vector<const engine::CheckTreeNode*> FakeTreeNode::Children() const {
  std::vector<const CheckTreeNode*> children;
  for (const auto& child : children_) children.push_back(child.get());
  return children;
}

FakeTreeNode& FakeTreeNode::Add(int kind, int state, std::optional<std::string> data) {
  children_.push_back(std::make_unique<FakeTreeNode>(level_ + 1, kind, state, std::move(data)));
  return *children_.back();
}

FakeTreeNode& FakeTree::AddDrive(int state, std::optional<std::string> data) {
  drives_.push_back(std::make_unique<FakeTreeNode>(0, engine::CheckTreeNode::kKindCompressibleDrive,
                                                   state, std::move(data)));
  return *drives_.back();
}

std::vector<const engine::CheckTreeNode*> FakeTree::NodesInTreeOrder() const {
  std::vector<const engine::CheckTreeNode*> order;
  std::function<void(const engine::CheckTreeNode*)> visit = [&](const engine::CheckTreeNode* node) {
    order.push_back(node);
    for (const engine::CheckTreeNode* child : node->Children()) visit(child);
  };
  for (const auto& drive : drives_) visit(drive.get());
  return order;
}

engine::FileDecider::Outcome RecordingDecider::Decide(engine::DScan& scan, const std::string& path,
                                                      const platform::DirEntry&) {
  std::function<void(engine::DScan&, const std::string&)> hook;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    paths_.push_back(path);
    hook = hook_;
  }
  scan.AllFilesCount.fetch_add(1);
  scan.AllFilesSize.fetch_add(1);
  if (hook) hook(scan, path);
  return Outcome::kExamined;
}

std::vector<std::string> RecordingDecider::Paths() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return paths_;
}

std::vector<std::string> RecordingDecider::SortedPaths() const {
  std::vector<std::string> paths = Paths();
  std::sort(paths.begin(), paths.end());
  return paths;
}

size_t RecordingDecider::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return paths_.size();
}

void RecordingDecider::SetHook(std::function<void(engine::DScan&, const std::string&)> hook) {
  std::lock_guard<std::mutex> lock(mutex_);
  hook_ = std::move(hook);
}

EngineHarness::EngineHarness()
    : log_(engine::ActivityLog::Open(dir_.path() + engine::kLogFileName, true, clock_)),
      scan_(std::make_unique<engine::DScan>(engine::DScan::Services{clock_, dispatcher_, decider_})) {
  scan_->LogFile = log_.get();
  scan_->Tree = &tree_;
}

EngineHarness::~EngineHarness() { scan_.reset(); }

void EngineHarness::Start() { scan_->Resume(); }

bool EngineHarness::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    dispatcher_.Pump();
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return false;
}

bool EngineHarness::PumpUntilLogged(const std::string& event) {
  return PumpUntil([&] {
    const auto events = Events();
    return !events.empty() && events.back() == event;
  });
}

bool EngineHarness::PumpSleeps(int64_t count) {
  const int64_t target = clock_.Sleeps() + count;
  return PumpUntil([&] { return clock_.Sleeps() >= target; });
}

std::vector<std::string> EngineHarness::Events() const { return ReadLogEvents(LogPath()); }

std::vector<std::string> ReadLogEvents(const std::string& log_path) {
  std::vector<std::string> events;
  std::istringstream in(ReadFile(log_path));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line == "***") continue;
    std::vector<std::string> fields;
    std::istringstream split(line);
    std::string field;
    while (std::getline(split, field, '\t')) fields.push_back(field);
    std::string event;
    for (size_t i = 1; i < fields.size(); ++i) event += (i > 1 ? "|" : "") + fields[i];
    events.push_back(event);
  }
  return events;
}

}  // namespace testing_support
