#pragma once
#include <cstdint>
#include <functional>

#include "platform/file_time.h"

namespace platform {

struct LocalDateTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// Time and waiting, behind an interface so tests can run the engine's one-second waits quickly
// and read a clock they control.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual FileTime SystemTimeAsFileTime() const = 0;
  virtual LocalDateTime LocalNow() const = 0;
  // Returns early once `wake` holds, checked every few tens of milliseconds.
  virtual void Sleep(uint32_t milliseconds, const std::function<bool()>& wake = {}) = 0;
};

class SystemClock final : public Clock {
 public:
  FileTime SystemTimeAsFileTime() const override;
  LocalDateTime LocalNow() const override;
  void Sleep(uint32_t milliseconds, const std::function<bool()>& wake = {}) override;
};

}  // namespace platform
