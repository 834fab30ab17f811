// The engine's work cycle: rescans, completion reports, pause, cancel and termination.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine_harness.h"

namespace {

using engine::CheckTreeNode;
using testing_support::EngineHarness;
using testing::ElementsAre;

constexpr int kChecked = CheckTreeNode::kStateChecked;
constexpr int kFolder = CheckTreeNode::kKindFolder;

// A drive with one checked folder holding `files` files.
std::string CheckFolderWithFiles(EngineHarness& h, const testing_support::TempDir& dir, int files) {
  const std::string folder = dir.path() + "work/";
  testing_support::MakeDirs(folder);
  for (int i = 0; i < files; ++i) testing_support::WriteFile(folder + "f" + std::to_string(i), "x");
  h.tree().AddDrive(3, dir.path()).Add(kFolder, kChecked, folder);
  return folder;
}

TEST(DScanCycleTest, NothingCheckedReportsOnceThenIdles) {
  EngineHarness h;
  h.scan().Tree = nullptr;
  h.Start();
  ASSERT_TRUE(h.PumpUntil([&] { return h.scan().AnalyzeComplete.load(); }));
  ASSERT_TRUE(h.PumpSleeps(5));
  EXPECT_THAT(h.Events(), ElementsAre("Rescan|Started|Initiated", "Analyze|Complete|As Need"));
  EXPECT_TRUE(h.scan().Idle);
  EXPECT_TRUE(h.scan().ResultReported);
  EXPECT_FALSE(h.scan().RescanRequested);
  EXPECT_EQ(h.scan().StatusText.Get(), "Complete.");
  EXPECT_EQ(h.decider().Count(), 0u);
}

TEST(DScanCycleTest, TerminationEndsWithTheLastLine) {
  EngineHarness h;
  h.Start();
  ASSERT_TRUE(h.PumpUntil([&] { return h.scan().AnalyzeComplete.load(); }));
  h.scan().Paused = true;  // a termination also ends the pause wait
  ASSERT_TRUE(h.PumpSleeps(3));
  h.scan().Terminate();
  ASSERT_TRUE(h.PumpUntil([&] { return h.scan().Finished.load(); }));
  EXPECT_EQ(h.Events().back(), "Stretch Thread|Termonating|Main Request");
}

TEST(DScanCycleTest, CancelEmptiesTheListsAndWritesOneLineWithoutCompletion) {
  testing_support::TempDir dir;
  EngineHarness h;
  CheckFolderWithFiles(h, dir, 10);
  h.scan().StretchMode = true;
  h.decider().SetHook([](engine::DScan& scan, const std::string&) {
    if (scan.AllFilesCount == 3) scan.CancelRequested = true;
  });
  h.Start();
  ASSERT_TRUE(h.PumpUntil([&] { return h.scan().ResultReported.load(); }));
  ASSERT_TRUE(h.PumpSleeps(5));
  EXPECT_EQ(h.decider().Count(), 3u);  // stopped before the next entry
  EXPECT_THAT(h.Events(), ElementsAre("Rescan|Started|Initiated", "Canceling|Cancel|By Request"));
  EXPECT_FALSE(h.scan().CancelRequested);
  EXPECT_FALSE(h.scan().StretchComplete);
  EXPECT_TRUE(h.scan().Idle);
}

TEST(DScanCycleTest, RescanDuringAPassRestartsTheCounters) {
  testing_support::TempDir dir;
  EngineHarness h;
  CheckFolderWithFiles(h, dir, 8);
  h.decider().SetHook([&](engine::DScan& scan, const std::string&) {
    if (h.decider().Count() == 2) scan.RescanRequested = true;  // once, in the first pass
  });
  h.Start();
  ASSERT_TRUE(h.PumpUntil([&] { return h.scan().AnalyzeComplete.load(); }));
  ASSERT_TRUE(h.PumpUntilLogged("Analyze|Complete|As Need"));  // the flag is set before the line
  // The request ends the walk after the file being examined.
  EXPECT_EQ(h.decider().Count(), 2u + 8u);
  EXPECT_EQ(h.scan().AllFilesCount, 8);
  EXPECT_THAT(h.Events(), ElementsAre("Rescan|Started|Initiated", "Rescan|Started|Initiated",
                                      "Analyze|Complete|As Need"));
}

TEST(DScanCycleTest, StretchAfterAnUnacknowledgedAnalysisWalksTheFolders) {
  testing_support::TempDir dir;
  EngineHarness h;
  CheckFolderWithFiles(h, dir, 4);
  h.decider().SetHook([](engine::DScan& scan, const std::string& path) {
    if (!scan.StretchMode) scan.CandidateFiles.push_back(path);
  });
  h.Start();
  ASSERT_TRUE(h.PumpUntil([&] { return h.scan().AnalyzeComplete.load(); }));
  ASSERT_TRUE(h.PumpUntilLogged("Analyze|Complete|As Need"));
  const auto analysed = h.decider().SortedPaths();
  ASSERT_EQ(analysed.size(), 4u);
  {
    auto hold = h.scan().Hold();
    h.scan().StretchMode = true;
    h.scan().RescanRequested = true;  // AnalyzeComplete still set
  }
  ASSERT_TRUE(h.PumpUntil([&] { return h.scan().StretchComplete.load(); }));
  // The same four files again, not the candidates taken as folders; counted from zero.
  const auto all = h.decider().SortedPaths();
  EXPECT_EQ(all.size(), 8u);
  EXPECT_EQ(h.scan().AllFilesCount, 4);
  EXPECT_FALSE(h.scan().AnalyzeComplete);
  EXPECT_TRUE(h.scan().CandidateFiles.empty());
  EXPECT_THAT(h.Events(), ElementsAre("Rescan|Started|Initiated", "Analyze|Complete|As Need",
                                      "Rescan|Started|Initiated", "Stretching|Complete|As Need"));
}

TEST(DScanCycleTest, PauseStopsBeforeTheNextEntryAndRescanEndsTheWalk) {
  testing_support::TempDir dir;
  EngineHarness h;
  CheckFolderWithFiles(h, dir, 5);
  h.decider().SetHook([&](engine::DScan& scan, const std::string&) {
    if (h.decider().Count() == 1) scan.Paused = true;
  });
  h.Start();
  ASSERT_TRUE(h.PumpUntil([&] { return h.scan().Paused.load(); }));
  ASSERT_TRUE(h.PumpSleeps(5));
  EXPECT_EQ(h.decider().Count(), 1u);
  EXPECT_EQ(h.scan().StatusText.Get(), "Scaning " + dir.path() + "work/");

  // A rescan request ends the wait; the walk ends after the entry in hand, and the engine then
  // waits paused at the end of the cycle without rescanning.
  h.scan().RescanRequested = true;
  ASSERT_TRUE(h.PumpUntil([&] { return h.decider().Count() == 2; }));
  ASSERT_TRUE(h.PumpSleeps(5));
  EXPECT_EQ(h.decider().Count(), 2u);
  EXPECT_THAT(h.Events(), ElementsAre("Rescan|Started|Initiated"));

  h.scan().Paused = false;
  ASSERT_TRUE(h.PumpUntil([&] { return h.scan().AnalyzeComplete.load(); }));
  ASSERT_TRUE(h.PumpUntilLogged("Analyze|Complete|As Need"));
  EXPECT_EQ(h.decider().Count(), 2u + 5u);
  EXPECT_THAT(h.Events(), ElementsAre("Rescan|Started|Initiated", "Rescan|Started|Initiated",
                                      "Analyze|Complete|As Need"));
}

TEST(DScanCycleTest, RescanWhilePausedAtTheEndOfACycleWaitsForResume) {
  EngineHarness h;
  h.Start();
  ASSERT_TRUE(h.PumpUntil([&] { return h.scan().AnalyzeComplete.load(); }));
  h.scan().Paused = true;
  ASSERT_TRUE(h.PumpSleeps(3));
  h.scan().RescanRequested = true;
  ASSERT_TRUE(h.PumpSleeps(5));
  EXPECT_EQ(h.Events().size(), 2u);
  h.scan().Paused = false;
  ASSERT_TRUE(h.PumpUntil([&] { return h.Events().size() == 4; }));
  EXPECT_EQ(h.Events()[2], "Rescan|Started|Initiated");
}

TEST(DScanCycleTest, StretchPassReportsCompletionOnce) {
  testing_support::TempDir dir;
  EngineHarness h;
  const std::string folder = CheckFolderWithFiles(h, dir, 2);
  std::string status_seen;
  h.decider().SetHook([&](engine::DScan& scan, const std::string&) { status_seen = scan.StatusText.Get(); });
  h.scan().StretchMode = true;
  h.Start();
  ASSERT_TRUE(h.PumpUntil([&] { return h.scan().StretchComplete.load(); }));
  ASSERT_TRUE(h.PumpSleeps(4));
  EXPECT_EQ(status_seen, "Stretching " + folder);
  EXPECT_THAT(h.Events(), ElementsAre("Rescan|Started|Initiated", "Stretching|Complete|As Need"));
  EXPECT_TRUE(h.scan().ResultReported);
}

}  // namespace
