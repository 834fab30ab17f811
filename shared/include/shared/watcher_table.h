#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace shared {

// The use statistics the compressor loads from the watcher's data file: three parallel columns.
// Published to the engine as one object, so it never sees paths without their hashes and intervals.
struct WatcherTable {
  std::vector<std::string> WatcherPaths;
  std::vector<int32_t> WatcherHashes;
  std::vector<int64_t> WatcherIntervals;

  // Call once the columns are filled, before publishing.
  void BuildIndex();
  // The row a scan from the first would find: stored hash equal to `hash` and path equal once
  // both are lower-cased (`lowered_path` already is); -1 when none. Costs the same for any size.
  int64_t FindRow(int32_t hash, std::string_view lowered_path) const;

 private:
  std::vector<std::string> lowered_;  // only for paths that hold upper-case letters
  std::vector<uint32_t> slots_;      // open addressing: row + 1, 0 = empty
  uint64_t mask_ = 0;

  std::string_view LoweredPath(size_t row) const;
};

}  // namespace shared
