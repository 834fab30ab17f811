#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace watcher {

struct UseEntry {
  int64_t LastUse = 0;       // watcher time of the latest use; 0 for an entry without a use yet
  int64_t MeanInterval = 0;  // after one use the time of that use, after more the mean seconds between uses
  int64_t UseCount = 0;
};

// (a * weight_a + b * weight_b) / (weight_a + weight_b) in signed 64-bit wrap-around arithmetic,
// truncated toward zero. Values read from a damaged file must not crash the watcher: a zero sum of
// weights gives 1, and a quotient that does not fit wraps.
int64_t WeightedMean(int64_t a, int64_t weight_a, int64_t b, int64_t weight_b);

// The uses one monitor has seen since its table was last saved: parallel paths and entries, at
// most kMaxEntries, grown kGrowth entries at a time. A hash index over the paths gives the same
// answer as a scan from the first entry.
class UseTable {
 public:
  static constexpr int32_t kMaxEntries = 10001;
  static constexpr int32_t kGrowth = 50;

  // Records one use of `path` (full, lower-case, never empty) at watcher time `now` for a change
  // with the given action code. Returns the entry's index, or -1 when the table cannot grow (it is
  // then empty).
  int32_t RecordUse(int action, const std::string& path, int64_t now);
  // Appends an entry without a use and an empty path; once kMaxEntries exist it hands out the last
  // entry again, so a new path takes it over and goes on from its counts. -1 when memory runs out.
  int32_t AddEntry();
  void Clear();

  int32_t EntryCount() const { return static_cast<int32_t>(entries_.size()); }
  const std::vector<std::string>& Paths() const { return paths_; }
  const std::vector<UseEntry>& Entries() const { return entries_; }
  size_t Capacity() const { return entries_.capacity(); }
  // The first index whose path equals `path` byte for byte, or -1.
  int32_t Find(std::string_view path) const;

 private:
  struct PathHasher {
    using is_transparent = void;
    size_t operator()(std::string_view path) const { return std::hash<std::string_view>{}(path); }
  };
  void SetPath(int32_t index, const std::string& path);

  std::vector<UseEntry> entries_;
  std::vector<std::string> paths_;
  // Each non-empty path is held by one entry at most: a path already present is found before a
  // new entry is made, so the index maps it to that entry.
  std::unordered_map<std::string, int32_t, PathHasher, std::equal_to<>> index_;
  std::string rename_source_;
};

}  // namespace watcher
