#pragma once
#include <cstdint>

#include "platform/clock.h"

namespace shared {

// The time value of the watcher's tables and data files: seconds since 1970-01-01 00:00:00 on the
// local wall clock, that is the local date and time read as if they were UTC. Differences of two
// values are plain seconds.
int64_t WatcherTimeFromLocal(const platform::LocalDateTime& local);

// The clock's present moment as a watcher time, rounded to the nearest second.
int64_t WatcherTimeNow(const platform::Clock& clock);

}  // namespace shared
