#pragma once
#include <cstdint>
#include <ctime>

namespace platform {

// 100 ns ticks since 1601-01-01 UTC, kept as two 32-bit halves like the record it stands for.
struct FileTime {
  uint32_t low = 0;
  uint32_t high = 0;

  uint64_t Ticks() const { return (uint64_t{high} << 32) | low; }
  static FileTime FromTicks(uint64_t ticks) {
    return FileTime{static_cast<uint32_t>(ticks), static_cast<uint32_t>(ticks >> 32)};
  }
  friend bool operator==(const FileTime&, const FileTime&) = default;
};

inline constexpr int64_t kUnixEpochSecondsSince1601 = 11644473600;
inline constexpr uint64_t kTicksPerSecond = 10000000;

// Times before 1601 clamp to 0: the tick count has no sign.
FileTime FileTimeFromUnix(int64_t seconds, uint32_t nanoseconds);
struct timespec TimespecFromFileTime(FileTime time);

}  // namespace platform
