// The compressor's side of the use data: loading the table once and handing it to the engine.
#include "compressor/watcher_data.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "engine_harness.h"
#include "shared/path_hash.h"
#include "shared/use_data_format.h"
#include "shared/use_data_stream.h"
#include "temp_dir.h"

namespace {

using testing_support::WriteFile;

struct Row {
  std::string path;
  int32_t hash;
  int64_t interval;
  bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Row& row) {
  return out << "{" << row.path << " #" << row.hash << " " << row.interval << "}";
}

std::vector<Row> RowsOf(const shared::WatcherTable& table) {
  EXPECT_EQ(table.WatcherHashes.size(), table.WatcherPaths.size());
  EXPECT_EQ(table.WatcherIntervals.size(), table.WatcherPaths.size());
  std::vector<Row> rows;
  for (size_t i = 0; i < table.WatcherPaths.size(); ++i) {
    rows.push_back(Row{table.WatcherPaths[i], table.WatcherHashes[i], table.WatcherIntervals[i]});
  }
  return rows;
}

std::string Content(const std::string& header, const std::vector<Row>& rows) {
  std::string content = header;
  for (const Row& row : rows) shared::AppendUseRecord(content, shared::UseRecord{row.path, row.hash, 99, row.interval, 5});
  return content;
}

class LoadWatcherDataTest : public ::testing::Test {
 protected:
  void WriteUseData(const std::string& bytes) const { WriteFile(dir.path() + shared::kUseDataFileName, bytes); }
  std::vector<Row> Load() const { return RowsOf(compressor::LoadWatcherData(dir.path())); }

  testing_support::TempDir dir;
};

TEST_F(LoadWatcherDataTest, NoFileGivesATableWithoutRows) {
  compressor::WatcherData data(dir.path());
  EXPECT_EQ(data.Table(), nullptr);
  data.LoadOnce();
  ASSERT_NE(data.Table(), nullptr);
  EXPECT_TRUE(data.Table()->WatcherPaths.empty());
  EXPECT_EQ(data.Table()->FindRow(static_cast<int32_t>(shared::PathHash("/d/a")), "/d/a"), -1);
}

TEST_F(LoadWatcherDataTest, EveryRecordIsARowInFileOrder) {
  const std::vector<Row> rows = {{"/d/a", 1, 100}, {"/d/b", 2, 1}, {"/d/a", 1, 300}};
  WriteUseData(*shared::DeflateUseData(Content(shared::LoneHeader(), rows)));
  const shared::WatcherTable table = compressor::LoadWatcherData(dir.path());
  EXPECT_EQ(RowsOf(table), rows);
  // A path stored twice: the first row answers.
  EXPECT_EQ(table.FindRow(1, "/d/a"), 0);
  EXPECT_EQ(table.FindRow(2, "/d/b"), 1);
}

TEST_F(LoadWatcherDataTest, DamagedOrForeignFilesGiveTheRowsBeforeTheDamage) {
  const std::vector<Row> rows = {{"/d/a", 1, 100}, {"/d/b", 2, 200}};
  const std::string content = Content(shared::LoneHeader(), rows);
  std::string older_header = shared::LoneHeader();
  older_header[8] = '3';
  const struct {
    const char* name;
    std::string file;
    std::vector<Row> rows;
  } cases[] = {
      {"foreign header 1.3.3", *shared::DeflateUseData(Content(older_header, rows)), {}},
      {"not a zlib stream", content, {}},
      {"empty file", "", {}},
      {"last record cut", *shared::DeflateUseData(content.substr(0, content.size() - 1)), {rows[0]}},
      {"stream cut", shared::DeflateUseData(content)->substr(0, 12), {}},
  };
  for (const auto& c : cases) {
    WriteUseData(c.file);
    EXPECT_EQ(Load(), c.rows) << c.name;
  }
}

TEST_F(LoadWatcherDataTest, TheGoldenFileLoads) {
  WriteUseData(testing_support::ReadFile(QUOBRAN_TEST_DATA_DIR "/watcher/Morvast.velnr"));
  EXPECT_EQ(Load(), (std::vector<Row>{{"c:\\a.txt", 10027503, 1}, {"c:\\windows\\notepad.exe", 50332763, 90}}));
}

TEST_F(LoadWatcherDataTest, TheTableIsLoadedOncePerRun) {
  WriteUseData(*shared::DeflateUseData(Content(shared::LoneHeader(), {{"/d/a", 1, 100}})));
  compressor::WatcherData data(dir.path());
  data.LoadOnce();
  const shared::WatcherTable* first = data.Table();
  WriteUseData(*shared::DeflateUseData(Content(shared::LoneHeader(), {{"/d/b", 2, 200}})));
  data.LoadOnce();
  EXPECT_EQ(data.Table(), first);
  EXPECT_EQ(RowsOf(*data.Table()), (std::vector<Row>{{"/d/a", 1, 100}}));
}

TEST_F(LoadWatcherDataTest, TheEngineSeesNoTableBeforeTheLoadAndAWholeOneAfter) {
  std::vector<Row> rows;
  for (int i = 0; i < 20000; ++i) rows.push_back(Row{"/d/f" + std::to_string(i), i, i});
  WriteUseData(*shared::DeflateUseData(Content(shared::LoneHeader(), rows)));
  testing_support::EngineHarness harness;  // the engine object, not started: a reader stands in for it
  engine::DScan& scan = harness.scan();
  compressor::WatcherData data(dir.path());
  data.HandOver(scan);
  EXPECT_EQ(scan.Watcher.load(), nullptr);

  std::atomic<bool> seen{false};
  std::thread reader([&] {
    const shared::WatcherTable* table = nullptr;
    while ((table = scan.Watcher.load(std::memory_order_acquire)) == nullptr) std::this_thread::yield();
    // Every column complete, every row readable: the thread sanitizer checks the publication.
    EXPECT_EQ(table->WatcherPaths.size(), 20000u);
    EXPECT_EQ(table->WatcherHashes.size(), 20000u);
    EXPECT_EQ(table->WatcherIntervals.size(), 20000u);
    EXPECT_EQ(table->FindRow(19999, "/d/f19999"), 19999);
    seen = true;
  });
  data.LoadOnce();
  data.HandOver(scan);
  reader.join();
  EXPECT_TRUE(seen);
  EXPECT_EQ(scan.Watcher.load(), data.Table());
}

}  // namespace
