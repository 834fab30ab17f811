#pragma once
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace platform {

enum class ThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// A worker thread that is created suspended and started by Resume. Derived classes must call
// TerminateAndWait() in their own destructor, before their members are destroyed.
class Thread {
 public:
  Thread() = default;
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  virtual ~Thread();

  // Starts the body; later calls do nothing.
  void Resume();
  void Terminate() { terminated_.store(true, std::memory_order_relaxed); }
  bool Terminated() const { return terminated_.load(std::memory_order_relaxed); }
  bool Started() const { return started_; }
  bool BodyEnded() const { return body_ended_.load(std::memory_order_acquire); }

  // Takes effect at once when running, else when the body starts. A thread never given one keeps
  // the priority it inherits from the thread that resumed it (the process's, as a rule).
  void SetPriority(ThreadPriority priority);
  ThreadPriority Priority() const { return priority_.load(std::memory_order_relaxed); }

  // Waits for the body to end. `pump` runs on the waiting thread between short waits, so a body
  // that waits for that thread (a synchronous call) can still finish.
  void WaitFor(const std::function<void()>& pump = {});
  void TerminateAndWait(const std::function<void()>& pump = {});

 protected:
  virtual void Execute() = 0;

 private:
  void Run();
  void ApplyPriority();

  std::thread thread_;
  bool started_ = false;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> body_ended_{false};
  std::atomic<ThreadPriority> priority_{ThreadPriority::tpNormal};
  std::atomic<bool> priority_set_{false};
  std::atomic<int> tid_{0};
  std::mutex end_mutex_;
  std::condition_variable end_signal_;
};

}  // namespace platform
