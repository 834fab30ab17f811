#include "engine/watcher_interval.h"

#include <string>

#include "shared/ascii_case.h"
#include "shared/path_hash.h"

namespace engine {

int64_t WatcherInterval(const shared::WatcherTable* table, bool use_velnor, std::string_view path) {
  if (!use_velnor || table == nullptr) return 0;
  thread_local std::string lowered;
  lowered.assign(path);
  for (char& c : lowered) c = shared::AsciiLower(c);
  const auto hash = static_cast<int32_t>(shared::PathHash(lowered));
  const int64_t row = table->FindRow(hash, lowered);
  return row < 0 ? 0 : table->WatcherIntervals[static_cast<size_t>(row)];
}

}  // namespace engine
