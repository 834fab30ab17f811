#include "shared/watcher_table.h"

#include <algorithm>

#include "shared/ascii_case.h"

namespace shared {

namespace {

uint64_t SlotOf(int32_t hash) {
  // The path hash keeps the name sum in the low bits and the folder sum high: mix both in.
  uint64_t x = static_cast<uint32_t>(hash);
  x *= 0x9E3779B97F4A7C15ULL;
  return x ^ (x >> 29);
}

bool HasUpper(const std::string& text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

}  // namespace

std::string_view WatcherTable::LoweredPath(size_t row) const {
  return lowered_.empty() || lowered_[row].empty() ? std::string_view(WatcherPaths[row]) : std::string_view(lowered_[row]);
}

void WatcherTable::BuildIndex() {
  const size_t rows = std::min({WatcherPaths.size(), WatcherHashes.size(), WatcherIntervals.size()});
  lowered_.clear();
  if (std::any_of(WatcherPaths.begin(), WatcherPaths.begin() + static_cast<std::ptrdiff_t>(rows), HasUpper)) {
    lowered_.resize(rows);
    for (size_t row = 0; row < rows; ++row) {
      if (HasUpper(WatcherPaths[row])) lowered_[row] = AsciiLower(WatcherPaths[row]);
    }
  }
  size_t capacity = 16;
  while (capacity < rows * 2) capacity *= 2;
  slots_.assign(capacity, 0);
  mask_ = capacity - 1;
  for (size_t row = 0; row < rows; ++row) {
    uint64_t slot = SlotOf(WatcherHashes[row]) & mask_;
    for (;; slot = (slot + 1) & mask_) {
      const uint32_t held = slots_[slot];
      if (held == 0) {
        slots_[slot] = static_cast<uint32_t>(row + 1);
        break;
      }
      // The first row of a path wins, as in a scan from the first row.
      if (WatcherHashes[held - 1] == WatcherHashes[row] && LoweredPath(held - 1) == LoweredPath(row)) break;
    }
  }
}

int64_t WatcherTable::FindRow(int32_t hash, std::string_view lowered_path) const {
  if (slots_.empty()) return -1;
  for (uint64_t slot = SlotOf(hash) & mask_;; slot = (slot + 1) & mask_) {
    const uint32_t held = slots_[slot];
    if (held == 0) return -1;
    if (WatcherHashes[held - 1] == hash && LoweredPath(held - 1) == lowered_path) return held - 1;
  }
}

}  // namespace shared
