#pragma once
#include <cstdint>

#include "platform/clock.h"

namespace platform {

// The local date and time of the system's time zone at a moment given in seconds since 1970 UTC.
LocalDateTime LocalDateTimeAt(int64_t unix_seconds);

}  // namespace platform
