#include "platform/clock.h"

#include <algorithm>
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

void SystemClock::Sleep(uint32_t milliseconds, const std::function<bool()>& wake) {
  constexpr auto kSlice = std::chrono::milliseconds(25);
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (auto now = std::chrono::steady_clock::now(); now < end; now = std::chrono::steady_clock::now()) {
    if (wake && wake()) return;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(kSlice, end - now));
  }
}

}  // namespace platform
