// Velnor, the Quobran stand-in and quobran-cli as real processes with real instance markers: who
// ends with which code, and when Velnor stands aside.
#include <signal.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <thread>

#include "child_process.h"
#include "platform/named_marker.h"
#include "shared/instance_markers.h"
#include "engine_harness.h"
#include "temp_dir.h"

namespace {

using namespace std::chrono_literals;
using testing_support::ChildProcess;
using testing_support::Eventually;

// "Within about 2 s" for the processes: a generous bound, never a timing test.
constexpr auto kAbout2s = 6s;

class VelnorProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string why = testing_support::IsolateMarkers();
    if (!why.empty()) GTEST_SKIP() << why;
  }

  std::unique_ptr<ChildProcess> Velnor() {
    auto velnor = std::make_unique<ChildProcess>(std::vector<std::string>{VELNOR_PATH},
                                                 std::vector<std::string>{"QT_QPA_PLATFORM=offscreen", "QUOBRAN_HOME=" + home_.path()},
                                                 home_.path() + "velnor.out");
    return velnor;
  }
  std::unique_ptr<ChildProcess> StandIn(bool clear) {
    std::vector<std::string> argv{QUOBRAN_STAND_IN};
    if (clear) argv.push_back("clear");
    return std::make_unique<ChildProcess>(argv, std::vector<std::string>{"QUOBRAN_HOME=" + home_.path()}, home_.path() + "stand-in.out");
  }
  static bool Held(const char* name) { return shared::ProbeMutex(name); }

  testing_support::TempDir home_;
};

TEST_F(VelnorProcessTest, ASecondVelnorEndsWith5AndLeavesTheFirstAlone) {
  auto first = Velnor();
  ASSERT_TRUE(Eventually([] { return Held(shared::kVelnorMarker); }));
  auto second = Velnor();
  EXPECT_EQ(second->WaitExit(kAbout2s), 5);
  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(first->Running());
  EXPECT_TRUE(Held(shared::kVelnorMarker));
}

TEST_F(VelnorProcessTest, QuobranWithClearEndsVelnorWith2AndThenStarts) {
  auto velnor = Velnor();
  ASSERT_TRUE(Eventually([] { return Held(shared::kVelnorMarker); }));
  auto quobran = StandIn(true);
  EXPECT_EQ(velnor->WaitExit(kAbout2s), 2);
  ASSERT_TRUE(Eventually([] { return Held(shared::kQuobranMarker); }));
  EXPECT_FALSE(Held(shared::kUnloadWatcherMarker)) << "the request goes once no watcher runs";
  EXPECT_TRUE(quobran->Running());
  quobran->Signal(SIGTERM);
  EXPECT_EQ(quobran->WaitExit(5s), 0);
}

TEST_F(VelnorProcessTest, WithoutVelnorStartUpGoesOnAfterOneProbe) {
  testing_support::FakeClock clock;
  shared::TPreviousInstance instance;
  shared::UnloadWatcher(instance, clock);
  EXPECT_EQ(clock.Sleeps(), 0);
  EXPECT_FALSE(Held(shared::kUnloadWatcherMarker));
  auto quobran = StandIn(true);
  EXPECT_TRUE(Eventually([] { return Held(shared::kQuobranMarker); }));
}

TEST_F(VelnorProcessTest, TwoQuobransWithClearAtOnce) {
  auto velnor = Velnor();
  ASSERT_TRUE(Eventually([] { return Held(shared::kVelnorMarker); }));
  auto one = StandIn(true);
  auto two = StandIn(true);
  EXPECT_EQ(velnor->WaitExit(kAbout2s), 2);
  // One holds "Quobran"; the other waited for the request, found no watcher and ended at its
  // single-instance check.
  ChildProcess* ended = nullptr;
  ASSERT_TRUE(Eventually([&] {
    if (!one->Running()) ended = one.get();
    if (!two->Running()) ended = two.get();
    return ended != nullptr;
  }));
  EXPECT_EQ(ended->WaitExit(0ms), 4);
  ChildProcess* running = ended == one.get() ? two.get() : one.get();
  EXPECT_TRUE(running->Running());
  EXPECT_TRUE(Held(shared::kQuobranMarker));
}

TEST_F(VelnorProcessTest, AVelnorStartedWhileTheRequestExistsEndsWith2) {
  platform::NamedMarker::CreateResult result;
  const auto request = platform::NamedMarker::Create(shared::kUnloadWatcherMarker, result);
  ASSERT_EQ(result, platform::NamedMarker::CreateResult::kCreated);
  auto velnor = Velnor();
  EXPECT_EQ(velnor->WaitExit(kAbout2s), 2);
}

TEST_F(VelnorProcessTest, TheRequestWhileVelnorWaitsEndsItWith1) {
  auto quobran = StandIn(false);
  ASSERT_TRUE(Eventually([] { return Held(shared::kQuobranMarker); }));
  auto velnor = Velnor();
  ASSERT_TRUE(Eventually([] { return Held(shared::kVelnorMarker); }));
  std::this_thread::sleep_for(3s);  // its first check has found Quobran
  ASSERT_TRUE(velnor->Running());
  platform::NamedMarker::CreateResult result;
  const auto request = platform::NamedMarker::Create(shared::kUnloadWatcherMarker, result);
  EXPECT_EQ(velnor->WaitExit(kAbout2s), 1);
}

TEST_F(VelnorProcessTest, QuobranCliEndsWith3WhileQuobranRuns) {
  auto quobran = StandIn(false);
  ASSERT_TRUE(Eventually([] { return Held(shared::kQuobranMarker); }));
  const std::string out = home_.path() + "cli.out";
  ChildProcess cli({QUOBRAN_CLI, "analyze", home_.path()}, {"QUOBRAN_HOME=" + home_.path()}, out);
  EXPECT_EQ(cli.WaitExit(10s), 3);
  EXPECT_THAT(testing_support::ReadFile(out), testing::HasSubstr("Quobran is already running"));
  EXPECT_FALSE(std::ifstream(home_.path() + "Quobran.log").good()) << "it ends before it logs";
}

TEST_F(VelnorProcessTest, VelnorRunsAtBelowNormalPriority) {
  auto velnor = Velnor();
  ASSERT_TRUE(Eventually([] { return Held(shared::kVelnorMarker); }));
  const std::string tasks = "/proc/" + std::to_string(velnor->pid()) + "/task";
  const std::string nice = home_.path() + "nice";
  // Set once the drive scan is done, on every thread, the monitors too. (The thread's name in
  // stat may hold blanks: fields are counted after its closing parenthesis.)
  EXPECT_TRUE(Eventually([&] {
    testing_support::Shell("for t in " + tasks + "/*; do sed 's/.*) //' $t/stat | awk '{print $17}'; done | sort -u > '" + nice + "'");
    return testing_support::ReadFile(nice) == "5\n";
  }, 10s)) << testing_support::ReadFile(nice);
}

}  // namespace
