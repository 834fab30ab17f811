#include "platform/dispatcher.h"

namespace platform {

void QueuedDispatcher::RunSync(const std::function<void()>& function) {
  Call call{&function};
  std::unique_lock<std::mutex> lock(mutex_);
  pending_.push_back(&call);
  done_.wait(lock, [&call] { return call.done; });
}

void QueuedDispatcher::Pump() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!pending_.empty()) {
    Call* call = pending_.front();
    pending_.pop_front();
    lock.unlock();
    (*call->function)();
    lock.lock();
    call->done = true;
    done_.notify_all();
  }
}

}  // namespace platform
