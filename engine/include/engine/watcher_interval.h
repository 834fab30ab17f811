#pragma once
#include <cstdint>
#include <string_view>

#include "shared/watcher_table.h"

namespace engine {

// The watcher's mean interval between uses of the file, in seconds; 0 when there is no table, the
// option is off or the file has no row (so 0 also stands for "under a second").
int64_t WatcherInterval(const shared::WatcherTable* table, bool use_velnor, std::string_view path);

}  // namespace engine
