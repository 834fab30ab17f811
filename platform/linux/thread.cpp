#include "platform/thread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>

namespace platform {

namespace {

constexpr int kIoprioWhoProcess = 1;
constexpr int kIoprioClassShift = 13;
constexpr int kIoprioClassBestEffort = 2;
constexpr int kIoprioClassIdle = 3;

int NiceFor(ThreadPriority priority) {
  switch (priority) {
    case ThreadPriority::tpIdle: return 19;
    case ThreadPriority::tpLowest: return 19;
    case ThreadPriority::tpLower: return 5;
    case ThreadPriority::tpNormal: return 0;
    case ThreadPriority::tpHigher: return -5;
    case ThreadPriority::tpHighest: return -10;
    case ThreadPriority::tpTimeCritical: return -15;
  }
  return 0;
}

}  // namespace

Thread::~Thread() {
  // A derived class that forgot to wait has already lost its members; still, never leave a
  // joinable std::thread behind.
  TerminateAndWait();
}

void Thread::Resume() {
  if (started_) return;
  started_ = true;
  thread_ = std::thread([this] { Run(); });
}

void Thread::Run() {
  tid_.store(static_cast<int>(syscall(SYS_gettid)), std::memory_order_release);
  ApplyPriority();
  Execute();
  {
    std::lock_guard<std::mutex> lock(end_mutex_);
    body_ended_.store(true, std::memory_order_release);
  }
  end_signal_.notify_all();
}

void Thread::SetPriority(ThreadPriority priority) {
  priority_.store(priority, std::memory_order_relaxed);
  priority_set_.store(true, std::memory_order_release);
  ApplyPriority();
}

void Thread::ApplyPriority() {
  const int tid = tid_.load(std::memory_order_acquire);
  if (tid == 0 || !priority_set_.load(std::memory_order_acquire)) return;
  const ThreadPriority priority = Priority();
  // Raising a priority again needs privilege; without it the thread keeps the lower one.
  setpriority(PRIO_PROCESS, static_cast<id_t>(tid), NiceFor(priority));
  const bool idle_io = priority == ThreadPriority::tpLowest || priority == ThreadPriority::tpIdle;
  const int io = idle_io ? (kIoprioClassIdle << kIoprioClassShift)
                         : ((kIoprioClassBestEffort << kIoprioClassShift) | 4);
  syscall(SYS_ioprio_set, kIoprioWhoProcess, tid, io);
}

void Thread::WaitFor(const std::function<void()>& pump) {
  if (!started_) return;
  if (pump) {
    std::unique_lock<std::mutex> lock(end_mutex_);
    while (!body_ended_.load(std::memory_order_acquire)) {
      lock.unlock();
      pump();
      lock.lock();
      end_signal_.wait_for(lock, std::chrono::milliseconds(10),
                           [this] { return body_ended_.load(std::memory_order_acquire); });
    }
  }
  if (thread_.joinable()) thread_.join();
}

void Thread::TerminateAndWait(const std::function<void()>& pump) {
  Terminate();
  WaitFor(pump);
}

}  // namespace platform
