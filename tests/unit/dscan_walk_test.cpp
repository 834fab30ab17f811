// Which folders and files the engine walks, from the tree's check marks and the folder rules.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "engine_harness.h"

namespace {

using engine::CheckTreeNode;
using testing_support::EngineHarness;
using testing_support::MakeDirs;
using testing_support::WriteFile;
using testing::ElementsAre;
using testing::IsEmpty;

constexpr int kChecked = CheckTreeNode::kStateChecked;
constexpr int kPartly = CheckTreeNode::kStatePartlyChecked;
constexpr int kFolder = CheckTreeNode::kKindFolder;
constexpr int kFileKind = 3;

std::vector<std::string> RelativeTo(const std::string& root, std::vector<std::string> paths) {
  for (auto& path : paths) path = path.substr(root.size());
  return paths;
}

std::vector<std::string> WalkAndCollect(EngineHarness& h, const std::string& root) {
  h.Start();
  EXPECT_TRUE(h.PumpUntil([&] { return h.scan().AnalyzeComplete.load(); }));
  return RelativeTo(root, h.decider().SortedPaths());
}

TEST(DScanWalkTest, CheckedDriveWalksTheFoldersOfItsRootOnly) {
  testing_support::TempDir dir;
  const std::string& root = dir.path();
  MakeDirs(root + "a/b");
  MakeDirs(root + ".hidden");
  WriteFile(root + "rootfile", "x");
  WriteFile(root + "a/x", "x");
  WriteFile(root + "a/.profile", "x");
  WriteFile(root + "a/b/y", "x");
  WriteFile(root + ".hidden/z", "x");
  EngineHarness h;
  auto& drive = h.tree().AddDrive(kChecked, root);
  drive.Add(kFolder, kChecked, root + "a/");
  drive.Add(kFileKind, kChecked, root + "rootfile");
  drive.Add(kFolder, kChecked, "*PleaseExpandMe*");
  EXPECT_THAT(WalkAndCollect(h, root), ElementsAre("a/b/y", "a/x"));
}

TEST(DScanWalkTest, PartlyCheckedDriveWalksOnlyItsCheckedSubtree) {
  testing_support::TempDir dir;
  const std::string& root = dir.path();
  for (const char* folder : {"a/b/c", "a/d", "e"}) MakeDirs(root + folder);
  for (const char* file : {"a/top", "a/b/in-b", "a/b/c/in-c", "a/d/in-d", "e/in-e"}) WriteFile(root + file, "x");
  EngineHarness h;
  auto& drive = h.tree().AddDrive(kPartly, root);
  auto& a = drive.Add(kFolder, kPartly, root + "a/");
  a.Add(kFolder, kChecked, root + "a/b/");
  a.Add(kFolder, 1, root + "a/d/");
  drive.Add(kFolder, 1, root + "e/");
  EXPECT_THAT(WalkAndCollect(h, root), ElementsAre("a/b/c/in-c", "a/b/in-b"));
}

TEST(DScanWalkTest, UncheckedAndOtherKindsAreIgnored) {
  testing_support::TempDir dir;
  MakeDirs(dir.path() + "a");
  WriteFile(dir.path() + "a/f", "x");
  EngineHarness h;
  auto& drive = h.tree().AddDrive(kPartly, dir.path());
  drive.Add(kFolder, 1, dir.path() + "a/");
  drive.Add(7, kChecked, dir.path() + "a/");  // a kind the engine never takes
  EXPECT_THAT(WalkAndCollect(h, dir.path()), IsEmpty());
}

TEST(DScanWalkTest, ExcludedSpecialFoldersAreQueuedButNeverWalked) {
  testing_support::TempDir dir;
  const std::string& root = dir.path();
  for (const char* folder : {"WINDOWS/sub", "windows.old", "other/sub"}) MakeDirs(root + folder);
  for (const char* file : {"WINDOWS/sub/w", "windows.old/o", "other/sub/keep", "other/tmp-not"}) {
    WriteFile(root + file, "x");
  }
  EngineHarness h;
  h.scan().ExcludeSystem = true;
  h.scan().WindowsDir = root + "Windows";
  auto& drive = h.tree().AddDrive(kChecked, root);
  for (const char* folder : {"WINDOWS/", "windows.old/", "other/"}) drive.Add(kFolder, kChecked, root + folder);
  EXPECT_THAT(WalkAndCollect(h, root), ElementsAre("other/sub/keep", "other/tmp-not"));
}

TEST(DScanWalkTest, BreadthFirstInListingOrder) {
  testing_support::TempDir dir;
  const std::string& root = dir.path();
  MakeDirs(root + "top/one/deep");
  MakeDirs(root + "top/two");
  WriteFile(root + "top/one/deep/3", "x");
  WriteFile(root + "top/one/2", "x");
  WriteFile(root + "top/two/2", "x");
  WriteFile(root + "top/1", "x");
  EngineHarness h;
  h.tree().AddDrive(kChecked, root).Add(kFolder, kChecked, root + "top/");
  h.Start();
  ASSERT_TRUE(h.PumpUntil([&] { return h.scan().AnalyzeComplete.load(); }));
  const auto order = RelativeTo(root, h.decider().Paths());
  ASSERT_EQ(order.size(), 4u);
  EXPECT_EQ(order.front(), "top/1");
  EXPECT_EQ(order.back(), "top/one/deep/3");
}

TEST(DScanWalkTest, OddNamesAndVanishingFoldersNeverBreakTheWalkOrTheLog) {
  testing_support::TempDir dir;
  const std::string& root = dir.path();
  MakeDirs(root + "top/gone/inner");
  MakeDirs(root + "top/stays");
  const std::vector<std::string> names = {"bad\xff\xfename", "tab\there", "line\nfeed", "cr\rx"};
  for (const auto& name : names) WriteFile(root + "top/stays/" + name, "x");
  WriteFile(root + "top/gone/inner/f", "x");
  EngineHarness h;
  h.tree().AddDrive(kChecked, root).Add(kFolder, kChecked, root + "top/");
  h.decider().SetHook([&](engine::DScan& scan, const std::string& path) {
    scan.WriteLog("Seen", path, "Test");
    std::error_code ignored;
    std::filesystem::remove_all(root + "top/gone", ignored);  // removed before its turn
  });
  WriteFile(root + "top/first", "x");
  const auto seen = WalkAndCollect(h, root);
  EXPECT_EQ(seen.size(), names.size() + 1);
  int seen_lines = 0;
  for (const std::string& event : h.Events()) {
    EXPECT_EQ(std::count(event.begin(), event.end(), '|'), 2) << event;
    seen_lines += event.rfind("Seen|", 0) == 0;
  }
  EXPECT_EQ(seen_lines, static_cast<int>(names.size()) + 1);
}

}  // namespace
