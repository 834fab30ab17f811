#include "engine/watcher_interval.h"

#include <string>

#include "shared/ascii_case.h"
#include "shared/path_hash.h"

namespace engine {

int64_t WatcherInterval(const shared::WatcherTable* table, bool use_velnor, std::string_view path) {
  if (!use_velnor || table == nullptr) return 0;
  // One pass lowers the path, files it and computes its path hash.
  thread_local std::string lowered;
  lowered.resize(path.size());
  uint64_t key = shared::WatcherTable::kKeyStart;
  shared::PathHasher hasher;
  for (size_t i = 0; i < path.size(); ++i) {
    const char c = shared::AsciiLower(path[i]);
    const auto byte = static_cast<unsigned char>(c);
    lowered[i] = c;
    key = shared::WatcherTable::KeyStep(key, byte);
    hasher.Add(byte);
  }
  const auto hash = static_cast<int32_t>(hasher.Value());
  int64_t interval = 0;
  return table->FindInterval(hash, lowered, key, interval) ? interval : 0;
}

}  // namespace engine
