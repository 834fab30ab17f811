// The monitor's use table: how a use changes an entry, the growth and the cap, renames, and a path
// index that answers exactly as a scan from the first entry.
#include "watcher/use_table.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <string>
#include <vector>

#include "platform/change_notifier.h"

namespace {

using watcher::UseEntry;
using watcher::UseTable;

constexpr int kModified = platform::kChangeModified;

TEST(UseTableTest, MeanIntervalOverUsesAt100_160_280_340) {
  UseTable table;
  const struct {
    int64_t now;
    int64_t mean_interval;
  } steps[] = {{100, 100}, {160, 60}, {280, 80}, {340, 75}};
  int64_t count = 0;
  for (const auto& step : steps) {
    ASSERT_EQ(table.RecordUse(kModified, "/mnt/a.txt", step.now), 0);
    const UseEntry& entry = table.Entries()[0];
    EXPECT_EQ(entry.MeanInterval, step.mean_interval) << "at " << step.now;
    EXPECT_EQ(entry.UseCount, ++count);
    EXPECT_EQ(entry.LastUse, step.now);
  }
  EXPECT_EQ(table.EntryCount(), 1);
}

TEST(UseTableTest, RenamedFileTakesTheOldNamesStatistics) {
  UseTable table;
  table.RecordUse(kModified, "/mnt/a.txt", 1000);
  table.RecordUse(kModified, "/mnt/other", 1010);
  ASSERT_EQ(table.RecordUse(platform::kChangeRenamedOldName, "/mnt/a.txt", 1100), 0);
  const int32_t renamed = table.RecordUse(platform::kChangeRenamedNewName, "/mnt/b.txt", 1100);
  ASSERT_EQ(renamed, 2);
  const UseEntry& old_name = table.Entries()[0];
  const UseEntry& new_name = table.Entries()[2];
  EXPECT_EQ(old_name.UseCount, 2);  // the rename is a use of the old name too
  EXPECT_EQ(old_name.MeanInterval, 100);
  EXPECT_EQ(new_name.UseCount, 2);
  EXPECT_EQ(new_name.MeanInterval, 100);
  EXPECT_EQ(new_name.LastUse, 1100);
  EXPECT_EQ(table.Paths()[2], "/mnt/b.txt");

  // A new name whose old name is not in the table keeps its own first use.
  table.Clear();
  table.RecordUse(platform::kChangeRenamedNewName, "/mnt/c.txt", 2000);
  EXPECT_EQ(table.Entries()[0].UseCount, 1);
  EXPECT_EQ(table.Entries()[0].MeanInterval, 2000);
}

TEST(UseTableTest, GrowsFiftyEntriesAtATime) {
  UseTable table;
  EXPECT_EQ(table.Capacity(), 0u);
  const struct {
    int entries;
    size_t capacity;
  } steps[] = {{1, 51}, {51, 51}, {52, 102}, {102, 102}, {103, 153}};
  int added = 0;
  for (const auto& step : steps) {
    while (added < step.entries) table.RecordUse(kModified, "/p" + std::to_string(added++), 1);
    EXPECT_EQ(table.Capacity(), step.capacity) << step.entries << " entries";
  }
  table.Clear();
  EXPECT_EQ(table.EntryCount(), 0);
  EXPECT_EQ(table.Capacity(), 0u);
  EXPECT_TRUE(table.Paths().empty());
  EXPECT_EQ(table.Find("/p0"), -1);
}

TEST(UseTableTest, PathsBeyondTheCapTakeOverTheLastEntry) {
  UseTable table;
  for (int i = 0; i < UseTable::kMaxEntries; ++i) ASSERT_EQ(table.RecordUse(kModified, "/p" + std::to_string(i), 100), i);
  EXPECT_EQ(table.EntryCount(), 10001);

  // The 10,002nd path replaces the path of entry 10,001, whose counts go on.
  EXPECT_EQ(table.RecordUse(kModified, "/new", 160), 10000);
  EXPECT_EQ(table.EntryCount(), 10001);
  EXPECT_EQ(table.Paths()[10000], "/new");
  EXPECT_EQ(table.Entries()[10000].UseCount, 2);
  EXPECT_EQ(table.Entries()[10000].MeanInterval, 60);
  EXPECT_EQ(table.Find("/p10000"), -1);
  EXPECT_EQ(table.Find("/new"), 10000);
  EXPECT_EQ(table.Find("/p0"), 0);

  // The evicted path comes back the same way.
  EXPECT_EQ(table.RecordUse(kModified, "/p10000", 220), 10000);
  EXPECT_EQ(table.Entries()[10000].UseCount, 3);
  EXPECT_EQ(table.Find("/new"), -1);
  // A path still in the table is found where it is.
  EXPECT_EQ(table.RecordUse(kModified, "/p5", 300), 5);
}

TEST(WeightedMeanTest, TruncatesTowardZeroAndNeverTraps) {
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  const struct {
    int64_t a, weight_a, b, weight_b, expected;
  } cases[] = {
      {1, 1, 600, 3, 450},       // 1801 / 4
      {60, 2, 120, 1, 80},
      {-7, 1, 0, 1, -3},         // toward zero, not down
      {5, 0, 9, 0, 1},           // no weight at all
      {5, 1, 9, -1, 1},
      {kMin, 1, 0, -2, kMin},    // kMin / -1 does not fit: it wraps
      {kMax, 2, 0, 0, -1},       // the product wraps: 2 * kMax is -2 in 64 bits
  };
  for (const auto& c : cases) {
    EXPECT_EQ(watcher::WeightedMean(c.a, c.weight_a, c.b, c.weight_b), c.expected)
        << c.a << "*" << c.weight_a << " + " << c.b << "*" << c.weight_b;
  }
}

// The table as a scan from the first entry defines it, to hold the indexed one against.
class ScannedTable {
 public:
  int32_t RecordUse(int action, const std::string& path, int64_t now) {
    int32_t i = Scan(path);
    if (i < 0) {
      if (static_cast<int32_t>(entries.size()) > 10000) {
        i = static_cast<int32_t>(entries.size()) - 1;
      } else {
        entries.push_back(UseEntry{});
        paths.emplace_back();
        i = static_cast<int32_t>(entries.size()) - 1;
      }
    }
    UseEntry& e = entries[static_cast<size_t>(i)];
    if (e.LastUse == 0) {
      e.MeanInterval = now;
    } else if (e.UseCount <= 1) {
      e.MeanInterval = now - e.MeanInterval;
    } else {
      e.MeanInterval = (e.MeanInterval * e.UseCount + (now - e.LastUse)) / (e.UseCount + 1);
    }
    e.UseCount += 1;
    e.LastUse = now;
    paths[static_cast<size_t>(i)] = path;
    if (action == platform::kChangeRenamedOldName) rename_source = path;
    if (action == platform::kChangeRenamedNewName) {
      const int32_t j = Scan(rename_source);
      if (j >= 0) {
        e.MeanInterval = entries[static_cast<size_t>(j)].MeanInterval;
        e.UseCount = entries[static_cast<size_t>(j)].UseCount;
      }
    }
    return i;
  }
  int32_t Scan(const std::string& path) const {
    for (size_t i = 0; i < paths.size(); ++i) {
      if (paths[i] == path) return static_cast<int32_t>(i);
    }
    return -1;
  }
  void Clear() {
    entries.clear();
    paths.clear();
  }

  std::vector<UseEntry> entries;
  std::vector<std::string> paths;
  std::string rename_source;
};

TEST(UseTableTest, IndexAnswersAsAScanFromTheFirstEntry) {
  std::mt19937 random(7);
  UseTable table;
  ScannedTable scanned;
  // Enough names to pass the cap, so entries are taken over and paths leave the index.
  const int names = 10100;
  int64_t now = 1000;
  for (int step = 0; step < 18000; ++step) {
    const int pick = static_cast<int>(random() % 10);
    int action = kModified;
    if (pick == 0) action = platform::kChangeRenamedOldName;
    if (pick == 1) action = platform::kChangeRenamedNewName;
    if (pick == 2) action = platform::kChangeAdded;
    // Mostly new paths early on, mostly known ones later.
    const int name = step < 12000 ? step % names : static_cast<int>(random() % names);
    const std::string path = "/mnt/d" + std::to_string(name % 7) + "/f" + std::to_string(name);
    now += static_cast<int64_t>(random() % 90);
    ASSERT_EQ(table.RecordUse(action, path, now), scanned.RecordUse(action, path, now)) << "step " << step;
    if (step % 997 == 0) {
      ASSERT_EQ(table.Paths(), scanned.paths) << "step " << step;
      for (size_t i = 0; i < scanned.entries.size(); ++i) {
        ASSERT_EQ(table.Entries()[i].LastUse, scanned.entries[i].LastUse) << "entry " << i;
        ASSERT_EQ(table.Entries()[i].MeanInterval, scanned.entries[i].MeanInterval) << "entry " << i;
        ASSERT_EQ(table.Entries()[i].UseCount, scanned.entries[i].UseCount) << "entry " << i;
      }
      for (int probe = 0; probe < 50; ++probe) {
        const int other = static_cast<int>(random() % names);
        const std::string probe_path = "/mnt/d" + std::to_string(other % 7) + "/f" + std::to_string(other);
        ASSERT_EQ(table.Find(probe_path), scanned.Scan(probe_path)) << probe_path;
      }
    }
    if (step == 14000) {
      table.Clear();
      scanned.Clear();
    }
  }
}

}  // namespace
