#include "platform/thread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

namespace {

class ProbeThread final : public platform::Thread {
 public:
  ~ProbeThread() override { TerminateAndWait(); }
  std::atomic<bool> ran{false};
  std::atomic<int> tid{0};
  std::atomic<int> loops{0};

 protected:
  void Execute() override {
    tid = static_cast<int>(syscall(SYS_gettid));
    ran = true;
    while (!Terminated()) {
      ++loops;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
};

int NiceOf(int tid) {
  errno = 0;
  return getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
}

TEST(ThreadTest, StartsOnlyOnResumeAndEndsOnTerminate) {
  ProbeThread thread;
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(thread.ran);
  EXPECT_FALSE(thread.Started());
  thread.Resume();
  thread.Resume();  // a second Resume changes nothing
  while (thread.loops < 3) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_FALSE(thread.BodyEnded());
  thread.TerminateAndWait();
  EXPECT_TRUE(thread.BodyEnded());
  EXPECT_TRUE(thread.Terminated());
}

TEST(ThreadTest, PriorityIsTheThreadsNiceValue) {
  ProbeThread thread;
  thread.SetPriority(platform::ThreadPriority::tpLower);  // before the start: applied at start
  thread.Resume();
  while (!thread.ran) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  while (NiceOf(thread.tid) != 5) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(NiceOf(thread.tid), 5);
  thread.SetPriority(platform::ThreadPriority::tpLowest);
  EXPECT_EQ(NiceOf(thread.tid), 19);
  EXPECT_EQ(thread.Priority(), platform::ThreadPriority::tpLowest);
  // The main thread keeps its own priority.
  EXPECT_EQ(NiceOf(0), 0);
}

TEST(ThreadTest, WithoutAPriorityItKeepsTheOneItInherits) {
  const int self = static_cast<int>(syscall(SYS_gettid));
  ASSERT_EQ(setpriority(PRIO_PROCESS, static_cast<id_t>(self), 7), 0);
  ProbeThread thread;
  thread.Resume();
  while (!thread.ran) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(NiceOf(thread.tid), 7);
  thread.TerminateAndWait();
  setpriority(PRIO_PROCESS, static_cast<id_t>(self), 0);  // needs root; the process ends soon anyway
}

TEST(ThreadTest, NeverStartedThreadIsDestroyedQuietly) {
  ProbeThread thread;
  EXPECT_FALSE(thread.ran);
}

}  // namespace
