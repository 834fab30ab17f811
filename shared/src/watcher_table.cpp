#include "shared/watcher_table.h"

#include <algorithm>
#include <cstring>

#include "shared/ascii_case.h"

namespace shared {

namespace {

// Record layout in 8-byte words: [0] interval, [1] row (low) and stored hash (high),
// [2] path length, then the lowered path padded to whole words.
constexpr size_t kRecordHeaderWords = 3;

}  // namespace

uint64_t WatcherTable::KeyOf(std::string_view lowered_path) {
  uint64_t key = kKeyStart;
  for (const char c : lowered_path) key = KeyStep(key, static_cast<unsigned char>(c));
  return key;
}

bool WatcherTable::RecordMatches(uint32_t record, int32_t hash, std::string_view lowered_path) const {
  const uint64_t* words = records_.data() + (record - 1);
  if (static_cast<int32_t>(words[1] >> 32) != hash || words[2] != lowered_path.size()) return false;
  return std::memcmp(words + kRecordHeaderWords, lowered_path.data(), lowered_path.size()) == 0;
}

void WatcherTable::BuildIndex() {
  const size_t rows = std::min({WatcherPaths.size(), WatcherHashes.size(), WatcherIntervals.size()});
  size_t capacity = 16;
  while (capacity < rows * 2) capacity *= 2;
  slots_.assign(capacity, Slot{});
  mask_ = capacity - 1;
  records_.clear();
  std::string lowered;
  for (size_t row = 0; row < rows; ++row) {
    lowered = AsciiLower(WatcherPaths[row]);
    const uint64_t key = KeyOf(lowered);
    const auto tag = static_cast<uint32_t>(key >> 32);
    const int32_t hash = WatcherHashes[row];
    uint64_t slot = key & mask_;
    bool known = false;
    for (; slots_[slot].record != 0; slot = (slot + 1) & mask_) {
      // The first row of a path and hash wins, as in a scan from the first row.
      if (slots_[slot].tag == tag && RecordMatches(slots_[slot].record, hash, lowered)) {
        known = true;
        break;
      }
    }
    if (known) continue;
    const size_t start = records_.size();
    records_.resize(start + kRecordHeaderWords + (lowered.size() + 7) / 8, 0);
    records_[start] = static_cast<uint64_t>(WatcherIntervals[row]);
    records_[start + 1] = (static_cast<uint64_t>(static_cast<uint32_t>(hash)) << 32) | static_cast<uint32_t>(row);
    records_[start + 2] = lowered.size();
    std::memcpy(records_.data() + start + kRecordHeaderWords, lowered.data(), lowered.size());
    slots_[slot] = Slot{tag, static_cast<uint32_t>(start + 1)};
  }
}

int64_t WatcherTable::FindRow(int32_t hash, std::string_view lowered_path) const {
  return FindRow(hash, lowered_path, KeyOf(lowered_path));
}

uint32_t WatcherTable::FindRecord(int32_t hash, std::string_view lowered_path, uint64_t key) const {
  if (slots_.empty()) return 0;
  const auto tag = static_cast<uint32_t>(key >> 32);
  for (uint64_t slot = key & mask_; slots_[slot].record != 0; slot = (slot + 1) & mask_) {
    if (slots_[slot].tag == tag && RecordMatches(slots_[slot].record, hash, lowered_path)) return slots_[slot].record;
  }
  return 0;
}

int64_t WatcherTable::FindRow(int32_t hash, std::string_view lowered_path, uint64_t key) const {
  const uint32_t record = FindRecord(hash, lowered_path, key);
  return record == 0 ? int64_t{-1} : static_cast<int64_t>(records_[record] & 0xFFFFFFFFu);
}

bool WatcherTable::FindInterval(int32_t hash, std::string_view lowered_path, uint64_t key, int64_t& interval) const {
  const uint32_t record = FindRecord(hash, lowered_path, key);
  if (record == 0) return false;
  interval = static_cast<int64_t>(records_[record - 1]);
  return true;
}

}  // namespace shared
