// Presence markers between real processes: taken once per user, gone with their holder, probed
// without being taken.
#include "shared/instance_markers.h"

#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "engine_harness.h"

namespace {

using platform::NamedMarker;

std::string UniqueName(const char* what) { return std::string("QuobranTest.") + what + "." + std::to_string(getpid()); }

// A child process that holds `name` until it is killed, or, as a watcher would, until the unload
// request appears.
pid_t HoldInChild(const std::string& name, bool leave_on_unload_request = false) {
  int ready[2];
  if (pipe(ready) != 0) return -1;
  const pid_t child = fork();
  if (child == 0) {
    NamedMarker::CreateResult result;
    auto marker = NamedMarker::Create(name, result);
    const char ok = result == NamedMarker::CreateResult::kCreated ? 'y' : 'n';
    [[maybe_unused]] const ssize_t written = write(ready[1], &ok, 1);
    for (;;) {
      if (leave_on_unload_request && NamedMarker::Exists(shared::kUnloadWatcherMarker)) _exit(2);
      usleep(10000);
    }
  }
  char ok = 0;
  [[maybe_unused]] const ssize_t got = read(ready[0], &ok, 1);
  close(ready[0]);
  close(ready[1]);
  EXPECT_EQ(ok, 'y');
  return child;
}

int WaitExit(pid_t child) {
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

TEST(NamedMarkerTest, TakenOnceAndGoneWithItsHolder) {
  const std::string name = UniqueName("once");
  EXPECT_FALSE(NamedMarker::Exists(name));
  EXPECT_FALSE(NamedMarker::Exists(name));  // probing never takes it
  NamedMarker::CreateResult result;
  auto marker = NamedMarker::Create(name, result);
  ASSERT_EQ(result, NamedMarker::CreateResult::kCreated);
  EXPECT_TRUE(NamedMarker::Exists(name));
  EXPECT_EQ(NamedMarker::Create(name, result), nullptr);
  EXPECT_EQ(result, NamedMarker::CreateResult::kAlreadyExists);
  marker.reset();
  EXPECT_FALSE(NamedMarker::Exists(name));
}

TEST(NamedMarkerTest, AKilledHolderLeavesNothingBehind) {
  const std::string name = UniqueName("killed");
  const pid_t child = HoldInChild(name);
  EXPECT_TRUE(NamedMarker::Exists(name));
  shared::TPreviousInstance second;
  second.CheckRunning(name);
  EXPECT_TRUE(second.AlreadyRunning);
  kill(child, SIGKILL);
  WaitExit(child);
  EXPECT_FALSE(NamedMarker::Exists(name));
  second.CheckRunning(name);
  EXPECT_FALSE(second.AlreadyRunning);
}

TEST(NamedMarkerTest, MessagesReachTheHolderAndProbesCarryNone) {
  const std::string name = UniqueName("messages");
  NamedMarker::CreateResult result;
  auto marker = NamedMarker::Create(name, result);
  ASSERT_TRUE(marker);
  for (int i = 0; i < 40; ++i) NamedMarker::Exists(name);  // more probes than the backlog
  EXPECT_TRUE(NamedMarker::Exists(name));
  EXPECT_EQ(marker->ReceivePending(), "");
  EXPECT_TRUE(NamedMarker::Send(name, "show"));
  EXPECT_EQ(marker->ReceivePending(), "show");
  EXPECT_FALSE(NamedMarker::Send(UniqueName("nobody"), "show"));
}

// These use the programs' real names: a network namespace of their own keeps them from unloading a
// Velnor that runs on this machine.
class UnloadWatcherTest : public testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0 || unshare(CLONE_NEWNET) != 0) GTEST_SKIP() << "needs root for a network namespace of its own";
  }
};

TEST_F(UnloadWatcherTest, ReturnsAfterOneProbeWithoutAWatcher) {
  testing_support::FakeClock clock;
  shared::TPreviousInstance instance;
  shared::UnloadWatcher(instance, clock);
  EXPECT_EQ(clock.Sleeps(), 0);
  EXPECT_FALSE(instance.MutexHandle);
  EXPECT_FALSE(NamedMarker::Exists(shared::kUnloadWatcherMarker));
}

TEST_F(UnloadWatcherTest, HoldsTheRequestUntilTheWatcherHasGone) {
  const pid_t watcher = HoldInChild(shared::kVelnorMarker, true);
  platform::SystemClock clock;
  shared::TPreviousInstance instance;
  shared::UnloadWatcher(instance, clock);
  EXPECT_FALSE(NamedMarker::Exists(shared::kVelnorMarker));
  EXPECT_EQ(WaitExit(watcher), 2);
  EXPECT_FALSE(NamedMarker::Exists(shared::kUnloadWatcherMarker));
}

TEST_F(UnloadWatcherTest, ASecondCompressorWaitsForTheFirstsRequest) {
  NamedMarker::CreateResult result;
  auto first = NamedMarker::Create(shared::kUnloadWatcherMarker, result);
  ASSERT_TRUE(first);
  testing_support::FakeClock clock;
  std::atomic<bool> returned{false};
  std::thread second([&] {
    shared::TPreviousInstance instance;
    shared::UnloadWatcher(instance, clock);
    returned = true;
  });
  while (clock.Sleeps() < 3) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_FALSE(returned);
  first.reset();
  second.join();
  EXPECT_TRUE(returned);
}

}  // namespace
