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
  // both are lower-cased (`lowered_path` already is); -1 when none. Costs about two memory reads
  // whatever the size: slot, then one record holding the path, hash, interval and row.
  int64_t FindRow(int32_t hash, std::string_view lowered_path) const;
  int64_t FindRow(int32_t hash, std::string_view lowered_path, uint64_t key) const;
  // The interval of that row, read from its record; false when there is no such row.
  bool FindInterval(int32_t hash, std::string_view lowered_path, uint64_t key, int64_t& interval) const;
  // Where a lowered path is filed; callers that lower a path byte by byte can build it on the way.
  static uint64_t KeyStep(uint64_t key, unsigned char byte) { return (key ^ byte) * 0x100000001B3ULL; }
  static constexpr uint64_t kKeyStart = 0xCBF29CE484222325ULL;
  static uint64_t KeyOf(std::string_view lowered_path);

 private:
  struct Slot {
    uint32_t tag = 0;     // high half of the key, so most probes end without touching the record
    uint32_t record = 0;  // record offset in 8-byte words, plus one; 0 = empty
  };
  std::vector<Slot> slots_;
  std::vector<uint64_t> records_;  // per row: interval, row and hash, length, the lowered path
  uint64_t mask_ = 0;

  bool RecordMatches(uint32_t record, int32_t hash, std::string_view lowered_path) const;
  // The matching record's offset plus one, or 0.
  uint32_t FindRecord(int32_t hash, std::string_view lowered_path, uint64_t key) const;
};

}  // namespace shared
