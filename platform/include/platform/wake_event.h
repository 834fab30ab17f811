#pragma once
#include <cstdint>

namespace platform {

// A one-way signal another thread can wait on, alone or together with a descriptor: once set it
// stays set. It lets a stop request end a wait at once instead of at the next timeout or event.
class WakeEvent {
 public:
  WakeEvent();
  WakeEvent(const WakeEvent&) = delete;
  WakeEvent& operator=(const WakeEvent&) = delete;
  ~WakeEvent();

  void Set();
  bool IsSet() const;
  // Waits up to `milliseconds`; true when the event is (or becomes) set.
  bool WaitFor(uint32_t milliseconds) const;
  // For poll(): readable once the event is set.
  int Descriptor() const { return fd_; }

 private:
  int fd_ = -1;
};

}  // namespace platform
