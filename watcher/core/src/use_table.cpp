#include "watcher/use_table.h"

#include <limits>
#include <new>

#include "platform/change_notifier.h"

namespace watcher {

int64_t WeightedMean(int64_t a, int64_t weight_a, int64_t b, int64_t weight_b) {
  const auto wrap = [](uint64_t bits) { return static_cast<int64_t>(bits); };
  const int64_t sum = wrap(static_cast<uint64_t>(a) * static_cast<uint64_t>(weight_a) +
                           static_cast<uint64_t>(b) * static_cast<uint64_t>(weight_b));
  const int64_t weights = wrap(static_cast<uint64_t>(weight_a) + static_cast<uint64_t>(weight_b));
  if (weights == 0) return 1;
  if (weights == -1 && sum == std::numeric_limits<int64_t>::min()) return sum;
  return sum / weights;
}

int32_t UseTable::Find(std::string_view path) const {
  const auto found = index_.find(path);
  return found == index_.end() ? -1 : found->second;
}

int32_t UseTable::AddEntry() {
  if (EntryCount() >= kMaxEntries) return EntryCount() - 1;
  try {
    if (entries_.capacity() < entries_.size() + 1) {
      entries_.reserve(entries_.size() + 1 + kGrowth);
      paths_.reserve(entries_.size() + 1 + kGrowth);
    }
    entries_.push_back(UseEntry{});
    paths_.emplace_back();
  } catch (const std::bad_alloc&) {
    Clear();
    return -1;
  }
  return EntryCount() - 1;
}

void UseTable::SetPath(int32_t index, const std::string& path) {
  std::string& held = paths_[static_cast<size_t>(index)];
  if (held == path) return;
  if (const auto found = index_.find(held); found != index_.end() && found->second == index) index_.erase(found);
  held = path;
  index_.emplace(path, index);
}

int32_t UseTable::RecordUse(int action, const std::string& path, int64_t now) {
  int32_t i = Find(path);
  if (i < 0) {
    i = AddEntry();
    if (i < 0) return -1;
  }
  try {
    SetPath(i, path);
  } catch (const std::bad_alloc&) {
    Clear();
    return -1;
  }
  UseEntry& entry = entries_[static_cast<size_t>(i)];
  if (entry.LastUse == 0) {
    entry.MeanInterval = now;
  } else if (entry.UseCount <= 1) {
    entry.MeanInterval = now - entry.MeanInterval;
  } else {
    // The divisor is the new use count, not the number of intervals: the first interval weighs twice.
    entry.MeanInterval = WeightedMean(entry.MeanInterval, entry.UseCount, now - entry.LastUse, 1);
  }
  entry.UseCount += 1;
  entry.LastUse = now;
  if (action == platform::kChangeRenamedOldName) {
    rename_source_ = path;
  } else if (action == platform::kChangeRenamedNewName) {
    // The new name inherits the old name's statistics, the use just counted included.
    const int32_t source = Find(rename_source_);
    if (source >= 0) {
      const UseEntry& old = entries_[static_cast<size_t>(source)];
      entry.MeanInterval = old.MeanInterval;
      entry.UseCount = old.UseCount;
    }
  }
  return i;
}

void UseTable::Clear() {
  std::vector<UseEntry>().swap(entries_);
  std::vector<std::string>().swap(paths_);
  index_.clear();
}

}  // namespace watcher
