#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace shared {

// The use statistics the compressor loads from the watcher's data file: three parallel columns.
// Published to the engine as one object, so it never sees paths without their hashes and intervals.
struct WatcherTable {
  std::vector<std::string> WatcherPaths;
  std::vector<int32_t> WatcherHashes;
  std::vector<int64_t> WatcherIntervals;
};

}  // namespace shared
