#include "platform/wake_event.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace platform {

WakeEvent::WakeEvent() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

WakeEvent::~WakeEvent() {
  if (fd_ >= 0) close(fd_);
}

void WakeEvent::Set() {
  if (fd_ < 0) return;
  const uint64_t one = 1;
  // The counter is never read back, so it stays readable: every later wait returns at once.
  [[maybe_unused]] const ssize_t written = write(fd_, &one, sizeof one);
}

bool WakeEvent::IsSet() const { return WaitFor(0); }

bool WakeEvent::WaitFor(uint32_t milliseconds) const {
  if (fd_ < 0) {
    // Without an eventfd the wait degrades to a plain sleep; callers check their stop flag after.
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    struct pollfd descriptor {fd_, POLLIN, 0};
    const int ready = poll(&descriptor, 1, static_cast<int>(left.count() > 0 ? left.count() : 0));
    if (ready > 0) return true;
    if (ready == 0) return false;
    if (errno != EINTR) return false;
  }
}

}  // namespace platform
