// quobran-cli: the engine without a window.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/activity_log.h"
#include "engine/dscan.h"
#include "platform/attribute_record.h"
#include "platform/clock.h"
#include "platform/dispatcher.h"
#include "platform/program_directory.h"

namespace {

// Counts what it meets; the decision rules take its place.
class CountingDecider final : public engine::FileDecider {
 public:
  Outcome Decide(engine::DScan& scan, const std::string& path, const platform::DirEntry&) override {
    platform::AttributeRecord record;
    if (!platform::ReadAttributeRecord(path, record) || (record.attributes & platform::FILE_ATTRIBUTE_OFFLINE)) {
      return Outcome::kSkipped;
    }
    scan.AllFilesCount.fetch_add(1, std::memory_order_relaxed);
    scan.AllFilesSize.fetch_add(record.Size(), std::memory_order_relaxed);
    return Outcome::kExamined;
  }
};

class FolderNode final : public engine::CheckTreeNode {
 public:
  explicit FolderNode(std::string path) : path_(std::move(path)) {}
  int Level() const override { return 1; }
  int Kind() const override { return kKindFolder; }
  int State() const override { return kStateChecked; }
  std::vector<const CheckTreeNode*> Children() const override { return {}; }
  const std::string* Data() const override { return &path_; }

 private:
  std::string path_;
};

class FolderList final : public engine::CheckTree {
 public:
  void Add(std::string path) { nodes_.push_back(std::make_unique<FolderNode>(std::move(path))); }
  std::vector<const engine::CheckTreeNode*> NodesInTreeOrder() const override {
    std::vector<const engine::CheckTreeNode*> order;
    for (const auto& node : nodes_) order.push_back(node.get());
    return order;
  }

 private:
  std::vector<std::unique_ptr<FolderNode>> nodes_;
};

int Usage(FILE* out, int code) {
  std::fprintf(out, "usage: quobran-cli analyze FOLDER...\n");
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) return Usage(stdout, 0);
  if (argc < 3 || std::string(argv[1]) != "analyze") return Usage(stderr, 2);
  FolderList folders;
  for (int i = 2; i < argc; ++i) {
    std::error_code error;
    const auto path = std::filesystem::canonical(argv[i], error);
    if (error || !std::filesystem::is_directory(path)) {
      std::fprintf(stderr, "quobran-cli: no such folder: %s\n", argv[i]);
      return 2;
    }
    std::string folder = path.string();
    if (folder.back() != '/') folder.push_back('/');
    folders.Add(folder);
  }
  platform::SystemClock clock;
  platform::QueuedDispatcher dispatcher;
  CountingDecider decider;
  const auto log = engine::ActivityLog::Open(platform::ProgramDirectory() + engine::kLogFileName, false, clock);
  auto scan = std::make_unique<engine::DScan>(engine::DScan::Services{clock, dispatcher, decider});
  scan->Tree = &folders;
  scan->LogFile = log.get();
  scan->SetPriority(platform::ThreadPriority::tpLower);
  scan->Resume();
  const bool tty = isatty(STDERR_FILENO) != 0;
  while (!scan->AnalyzeComplete.load()) {
    dispatcher.Pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (tty) {
      std::fprintf(stderr, "\r%lld files, %lld bytes  ", static_cast<long long>(scan->AllFilesCount.load()),
                   static_cast<long long>(scan->AllFilesSize.load()));
    }
  }
  if (tty) std::fprintf(stderr, "\n");
  std::printf("All Files Count: %lld\n", static_cast<long long>(scan->AllFilesCount.load()));
  std::printf("All Files Size: %lld Mebibytes\n", static_cast<long long>(scan->AllFilesSize.load() / 1048576));
  scan.reset();
  return 0;
}
