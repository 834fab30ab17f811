#include "shared/watcher_time.h"

#include <chrono>

#include "platform/file_time.h"
#include "platform/local_time.h"

namespace shared {

int64_t WatcherTimeFromLocal(const platform::LocalDateTime& local) {
  using namespace std::chrono;
  const sys_days day = year{local.year} / month{static_cast<unsigned>(local.month)} / static_cast<unsigned>(local.day);
  return day.time_since_epoch().count() * int64_t{86400} + local.hour * int64_t{3600} + local.minute * int64_t{60} +
         local.second;
}

int64_t WatcherTimeNow(const platform::Clock& clock) {
  const uint64_t ticks = clock.SystemTimeAsFileTime().Ticks();
  // The zone's offset is whole seconds, so rounding the UTC moment rounds the local one.
  const int64_t utc = static_cast<int64_t>((ticks + platform::kTicksPerSecond / 2) / platform::kTicksPerSecond) -
                      platform::kUnixEpochSecondsSince1601;
  return WatcherTimeFromLocal(platform::LocalDateTimeAt(utc));
}

}  // namespace shared
