#include "engine/watcher_interval.h"

#include <string>

#include "shared/ascii_case.h"

namespace engine {

int64_t WatcherInterval(const shared::WatcherTable* table, bool use_velnor, std::string_view path) {
  if (!use_velnor || table == nullptr) return 0;
  // One pass lowers the path, files it and computes its path hash: the folder part (through the
  // last '/', '\' or ':') sums bytes less 32, the name part plain bytes.
  thread_local std::string lowered;
  lowered.resize(path.size());
  uint64_t key = shared::WatcherTable::kKeyStart;
  uint32_t all_less_32 = 0, folder_sum = 0, name_sum = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    const char c = shared::AsciiLower(path[i]);
    const auto byte = static_cast<unsigned char>(c);
    lowered[i] = c;
    key = shared::WatcherTable::KeyStep(key, byte);
    all_less_32 += byte - 32u;
    if (c == '/' || c == '\\' || c == ':') {
      folder_sum = all_less_32;
      name_sum = 0;
    } else {
      name_sum += byte;
    }
  }
  const auto hash = static_cast<int32_t>((folder_sum << 16) + name_sum);
  int64_t interval = 0;
  return table->FindInterval(hash, lowered, key, interval) ? interval : 0;
}

}  // namespace engine
