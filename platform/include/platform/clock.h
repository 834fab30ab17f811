#pragma once
#include <cstdint>

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
  virtual void Sleep(uint32_t milliseconds) = 0;
};

class SystemClock final : public Clock {
 public:
  FileTime SystemTimeAsFileTime() const override;
  LocalDateTime LocalNow() const override;
  void Sleep(uint32_t milliseconds) override;
};

}  // namespace platform
