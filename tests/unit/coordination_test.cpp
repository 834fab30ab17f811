// The watcher's side of the coordination as a state machine over probes the test sets.
#include "watcher/coordination.h"

#include <gtest/gtest.h>

#include <set>

#include "shared/instance_markers.h"

namespace {

using Step = watcher::CoordinationStep;

class CoordinationTest : public ::testing::Test {
 protected:
  std::set<std::string> present;
  std::vector<std::string> probed;
  watcher::Coordination coordination{[this](const std::string& name) {
    probed.push_back(name);
    return present.count(name) != 0;
  }};
};

TEST_F(CoordinationTest, ChecksWithoutQuobranDoNothing) {
  for (int i = 0; i < 3; ++i) EXPECT_EQ(coordination.Check(), Step::kNothing);
  EXPECT_FALSE(coordination.Waiting());
}

TEST_F(CoordinationTest, TheRequestEndsTheWatcherWith2BeforeQuobranIsLookedAt) {
  present = {shared::kUnloadWatcherMarker, shared::kQuobranMarker};
  EXPECT_EQ(coordination.Check(), Step::kUnloadRequested);
  EXPECT_EQ(probed, std::vector<std::string>{shared::kUnloadWatcherMarker});
}

TEST_F(CoordinationTest, StepsAsideWaitsAndResumesWhenQuobranIsGone) {
  present = {shared::kQuobranMarker};
  EXPECT_EQ(coordination.Check(), Step::kStepAside);
  EXPECT_TRUE(coordination.Waiting());
  EXPECT_EQ(coordination.WaitProbe(), Step::kKeepWaiting);
  // The 2-second check runs again meanwhile: it leaves the wait alone.
  EXPECT_EQ(coordination.Check(), Step::kKeepWaiting);
  present.clear();  // ended, or killed: the marker goes with the process
  EXPECT_EQ(coordination.WaitProbe(), Step::kResume);
  EXPECT_FALSE(coordination.Waiting());
  EXPECT_EQ(coordination.Check(), Step::kNothing);
  EXPECT_EQ(coordination.WaitProbe(), Step::kNothing);
}

TEST_F(CoordinationTest, TheRequestWhileWaitingEndsWith1OnlyWhileQuobranRuns) {
  present = {shared::kQuobranMarker};
  ASSERT_EQ(coordination.Check(), Step::kStepAside);
  present.insert(shared::kUnloadWatcherMarker);
  EXPECT_EQ(coordination.WaitProbe(), Step::kUnloadedWhileWaiting);

  watcher::Coordination other{[this](const std::string& name) { return present.count(name) != 0; }};
  present = {shared::kQuobranMarker};
  ASSERT_EQ(other.Check(), Step::kStepAside);
  // Quobran gone and a request there: work resumes, and the next check ends the watcher with 2.
  present = {shared::kUnloadWatcherMarker};
  EXPECT_EQ(other.WaitProbe(), Step::kResume);
  EXPECT_EQ(other.Check(), Step::kUnloadRequested);
}

}  // namespace
