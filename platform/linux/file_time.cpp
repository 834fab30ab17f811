#include "platform/file_time.h"

namespace platform {

FileTime FileTimeFromUnix(int64_t seconds, uint32_t nanoseconds) {
  const int64_t since_1601 = seconds + kUnixEpochSecondsSince1601;
  if (since_1601 < 0) return FileTime{};
  return FileTime::FromTicks(static_cast<uint64_t>(since_1601) * kTicksPerSecond + nanoseconds / 100);
}

struct timespec TimespecFromFileTime(FileTime time) {
  const uint64_t ticks = time.Ticks();
  struct timespec result {};
  result.tv_sec = static_cast<time_t>(static_cast<int64_t>(ticks / kTicksPerSecond) -
                                      kUnixEpochSecondsSince1601);
  result.tv_nsec = static_cast<long>((ticks % kTicksPerSecond) * 100);
  return result;
}

}  // namespace platform
