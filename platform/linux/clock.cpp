#include "platform/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace platform {

FileTime SystemClock::SystemTimeAsFileTime() const {
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  return FileTimeFromUnix(now.tv_sec, static_cast<uint32_t>(now.tv_nsec));
}

LocalDateTime SystemClock::LocalNow() const {
  const time_t now = time(nullptr);
  struct tm local {};
  localtime_r(&now, &local);
  return LocalDateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                       local.tm_hour,        local.tm_min,     local.tm_sec};
}

void SystemClock::Sleep(uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace platform
