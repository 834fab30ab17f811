#include "platform/local_time.h"

#include <ctime>

namespace platform {

LocalDateTime LocalDateTimeAt(int64_t unix_seconds) {
  const time_t when = static_cast<time_t>(unix_seconds);
  struct tm local {};
  localtime_r(&when, &local);
  return LocalDateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                       local.tm_hour,        local.tm_min,     local.tm_sec};
}

}  // namespace platform
