// bench_walk FOLDER...: times one analysis pass of the real engine over the given folders, with a
// decider that only counts, so the figure is the cost of the walk itself.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "compressor/checked_folders.h"
#include "engine/dscan.h"
#include "engine/file_decider.h"
#include "platform/clock.h"
#include "platform/dispatcher.h"

namespace {

class CountingDecider final : public engine::FileDecider {
 public:
  Outcome Decide(engine::DScan&, const std::string&, const platform::DirEntry&) override {
    // One writer: a plain load and store keep a locked add out of the measured loop.
    count_.store(count_.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    return Outcome::kExamined;
  }
  int64_t Count() const { return count_.load(std::memory_order_relaxed); }

 private:
  std::atomic<int64_t> count_{0};
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FOLDER...\n", argv[0]);
    return 2;
  }
  compressor::CheckedFolders tree;
  for (int i = 1; i < argc; ++i) {
    if (!tree.Add(argv[i])) {
      std::fprintf(stderr, "%s: not a folder: %s\n", argv[0], argv[i]);
      return 2;
    }
  }

  platform::SystemClock clock;
  platform::QueuedDispatcher dispatcher;
  CountingDecider decider;
  auto scan = std::make_unique<engine::DScan>(engine::DScan::Services{clock, dispatcher, decider});
  scan->Tree = &tree;
  scan->StretchMode = false;

  // Stop the watch at the first sight of the finished pass: the engine then sleeps a second
  // before it looks again, and that wait is not part of the walk.
  const auto start = std::chrono::steady_clock::now();
  scan->Resume();
  while (!scan->AnalyzeComplete.load(std::memory_order_acquire)) {
    dispatcher.Pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  // Read after the join, which orders every count before it.
  scan.reset();
  const int64_t files = decider.Count();

  std::printf("files %lld\n", static_cast<long long>(files));
  std::printf("seconds %.6f\n", seconds);
  std::printf("files_per_second %.0f\n", seconds > 0 ? static_cast<double>(files) / seconds : 0.0);
  return 0;
}
