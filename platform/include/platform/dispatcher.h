#pragma once
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace platform {

// The one way a worker runs code on the main thread: RunSync blocks until the main thread has run
// the function. The Qt front implements it with a blocking queued call.
class Dispatcher {
 public:
  virtual ~Dispatcher() = default;
  virtual void RunSync(const std::function<void()>& function) = 0;
  // Runs what is waiting; called on the main thread, also while it waits for a worker to end.
  virtual void Pump() = 0;
};

// For fronts without an event loop (the command line, tests): the main thread calls Pump in its
// own loop.
class QueuedDispatcher final : public Dispatcher {
 public:
  void RunSync(const std::function<void()>& function) override;
  void Pump() override;

 private:
  struct Call {
    const std::function<void()>* function;
    bool done = false;
  };
  std::mutex mutex_;
  std::condition_variable done_;
  std::deque<Call*> pending_;
};

}  // namespace platform
