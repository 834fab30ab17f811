#include "platform/dispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(QueuedDispatcherTest, RunsOnThePumpingThreadAndBlocksTheCaller) {
  platform::QueuedDispatcher dispatcher;
  const std::thread::id main_id = std::this_thread::get_id();
  std::thread::id ran_on;
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    dispatcher.RunSync([&] { ran_on = std::this_thread::get_id(); });
    returned = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_FALSE(returned);  // nobody pumped yet
  while (!returned) {
    dispatcher.Pump();
    std::this_thread::yield();
  }
  worker.join();
  EXPECT_EQ(ran_on, main_id);
}

TEST(QueuedDispatcherTest, PumpWithNothingWaitingReturns) {
  platform::QueuedDispatcher dispatcher;
  dispatcher.Pump();
}

}  // namespace
