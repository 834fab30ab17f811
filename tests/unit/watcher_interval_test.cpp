#include "engine/watcher_interval.h"

#include <gtest/gtest.h>

#include <random>

#include "shared/ascii_case.h"
#include "shared/path_hash.h"

namespace {

shared::WatcherTable MakeTable(const std::vector<std::pair<std::string, int64_t>>& rows) {
  shared::WatcherTable table;
  for (const auto& [path, interval] : rows) {
    table.WatcherPaths.push_back(path);
    table.WatcherHashes.push_back(static_cast<int32_t>(shared::PathHash(shared::AsciiLower(path))));
    table.WatcherIntervals.push_back(interval);
  }
  table.BuildIndex();
  return table;
}

// The answer of a scan from the first row, as the index must give it.
int64_t ScanForInterval(const shared::WatcherTable& table, const std::string& path) {
  const std::string lowered = shared::AsciiLower(path);
  const auto hash = static_cast<int32_t>(shared::PathHash(lowered));
  for (size_t row = 0; row < table.WatcherPaths.size(); ++row) {
    if (table.WatcherHashes[row] == hash && shared::AsciiLower(table.WatcherPaths[row]) == lowered) {
      return table.WatcherIntervals[row];
    }
  }
  return 0;
}

TEST(PathHashTest, KnownValues) {
  EXPECT_EQ(shared::PathHash("c:\\a.txt"), 10027503u);
  EXPECT_EQ(shared::PathHash("c:\\windows\\notepad.exe"), 50332763u);
  // Split after the last '/', '\\' or ':' alike.
  EXPECT_EQ(shared::PathHash("/home/a.txt"), (327u << 16) + 495u);
  EXPECT_EQ(shared::PathHash("c:a.txt"), (93u << 16) + 495u);
  EXPECT_EQ(shared::PathHash("a.txt"), 495u);
}

TEST(WatcherIntervalTest, CaseInsensitiveFirstRowWins) {
  const auto table = MakeTable({{"c:\\windows\\notepad.exe", 100}, {"/home/me/a.txt", 7}, {"c:\\windows\\notepad.exe", 200}});
  EXPECT_EQ(engine::WatcherInterval(&table, true, "c:\\Windows\\NOTEPAD.EXE"), 100);
  EXPECT_EQ(engine::WatcherInterval(&table, true, "/HOME/me/A.txt"), 7);
  EXPECT_EQ(engine::WatcherInterval(&table, true, "/home/me/b.txt"), 0);
  EXPECT_EQ(engine::WatcherInterval(&table, false, "/home/me/a.txt"), 0);
  EXPECT_EQ(engine::WatcherInterval(nullptr, true, "/home/me/a.txt"), 0);
}

TEST(WatcherIntervalTest, IndexAgreesWithAScanOnCollidingAndDamagedRows) {
  // Anagram names share a hash; upper-case stored paths and rows whose stored hash is wrong are
  // what a damaged or foreign file may hold.
  std::vector<std::pair<std::string, int64_t>> rows;
  std::mt19937 random(11);
  const std::vector<std::string> names = {"ab.txt", "ba.txt", "AB.txt", "tab.xt", "x", ""};
  for (int i = 0; i < 2000; ++i) {
    rows.push_back({"/d" + std::to_string(random() % 5) + "/" + names[random() % names.size()], static_cast<int64_t>(i)});
  }
  auto table = MakeTable(rows);
  for (size_t row = 0; row < table.WatcherHashes.size(); row += 7) table.WatcherHashes[row] ^= 1;
  table.BuildIndex();
  for (int d = 0; d < 5; ++d) {
    for (const std::string& name : names) {
      const std::string path = "/d" + std::to_string(d) + "/" + name;
      EXPECT_EQ(engine::WatcherInterval(&table, true, path), ScanForInterval(table, path)) << path;
    }
  }
}

}  // namespace
