// Merging a monitor's table into the use data and hash index files: the bytes on disk, the merge
// rule, missing, foreign and damaged files, and saves that must write nothing.
#include "watcher/save_monitor_data.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/change_notifier.h"
#include "shared/path_hash.h"
#include "shared/use_data_file.h"
#include "shared/use_data_format.h"
#include "shared/use_data_stream.h"
#include "temp_dir.h"
#include "watcher/use_table.h"

namespace {

using testing_support::ReadFile;
using testing_support::WriteFile;
using watcher::SaveResult;

struct Row {
  std::string path;
  int32_t hash;
  int64_t last_use;
  int64_t mean_interval;
  int64_t use_count;
  bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Row& row) {
  return out << "{" << row.path << " #" << row.hash << " last " << row.last_use << " mean " << row.mean_interval
             << " uses " << row.use_count << "}";
}

int32_t HashOf(const std::string& path) { return static_cast<int32_t>(shared::PathHash(path)); }

// `count` uses of `path`, `interval` seconds apart from `first`: after two or more uses the entry's
// mean interval is `interval`.
void Use(watcher::UseTable& table, const std::string& path, int64_t first, int64_t interval = 0, int count = 1) {
  for (int i = 0; i < count; ++i) table.RecordUse(platform::kChangeModified, path, first + i * interval);
}

std::string Int32Bytes(int32_t value) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((static_cast<uint32_t>(value) >> (8 * i)) & 0xFF));
  return bytes;
}

class SaveMonitorDataTest : public ::testing::Test {
 protected:
  SaveResult Save(const watcher::UseTable& table) { return watcher::SaveMonitorData(table, files); }

  // The records of the use data file, which must be a whole stream of our format.
  std::vector<Row> Records() const {
    const shared::UseData data = shared::ReadUseData(files.data_path);
    EXPECT_TRUE(data.Whole()) << "the use data file is not whole";
    std::vector<Row> rows;
    shared::UseRecordReader reader(data.content);
    shared::UseRecord record;
    while (reader.Next(record)) {
      rows.push_back(Row{std::string(record.Path), record.PathHash, record.LastUse, record.MeanInterval, record.UseCount});
    }
    return rows;
  }

  std::vector<int32_t> IndexHashes() const {
    const std::string bytes = ReadFile(files.index_path);
    EXPECT_TRUE(shared::HasFormatTag(bytes)) << "the index has no header";
    EXPECT_EQ((bytes.size() - shared::kHeaderSize) % 4, 0u);
    std::vector<int32_t> hashes;
    for (size_t at = shared::kHeaderSize; at + 4 <= bytes.size(); at += 4) {
      uint32_t bits = 0;
      for (size_t b = 0; b < 4; ++b) bits |= uint32_t{static_cast<unsigned char>(bytes[at + b])} << (8 * b);
      hashes.push_back(static_cast<int32_t>(bits));
    }
    return hashes;
  }

  void WriteUseData(const std::string& content) const { WriteFile(files.data_path, *shared::DeflateUseData(content)); }

  testing_support::TempDir dir;
  const watcher::UseDataFiles files = watcher::UseDataFilesIn(dir.path());
};

TEST_F(SaveMonitorDataTest, FirstSaveCreatesBothFiles) {
  watcher::UseTable table;
  Use(table, "/home/me/a.txt", 1000);
  Use(table, "/home/me/b.txt", 1000, 100, 2);
  Use(table, "/home/me/c.txt", 1000, 30, 3);
  ASSERT_EQ(Save(table), SaveResult::kSaved);

  EXPECT_EQ(Records(), (std::vector<Row>{
                           // Used once: the table's field holds that use's time; the file holds 1.
                           {"/home/me/a.txt", HashOf("/home/me/a.txt"), 1000, 1, 1},
                           {"/home/me/b.txt", HashOf("/home/me/b.txt"), 1100, 100, 2},
                           {"/home/me/c.txt", HashOf("/home/me/c.txt"), 1060, 30, 3},
                       }));
  EXPECT_EQ(IndexHashes(),
            (std::vector<int32_t>{HashOf("/home/me/a.txt"), HashOf("/home/me/b.txt"), HashOf("/home/me/c.txt")}));
  // One zlib stream at level 9.
  EXPECT_EQ(ReadFile(files.data_path).substr(0, 2), "\x78\xDA");
}

TEST_F(SaveMonitorDataTest, TwoPathsWithOneHashShareAnIndexEntryAndKeepTheirRecords) {
  // Anagram names in one folder have the same hash.
  ASSERT_EQ(HashOf("/d/ab.txt"), HashOf("/d/ba.txt"));
  const int32_t hash = HashOf("/d/ab.txt");
  watcher::UseTable first;
  Use(first, "/d/ab.txt", 500);
  Use(first, "/d/ba.txt", 600);
  ASSERT_EQ(Save(first), SaveResult::kSaved);
  EXPECT_EQ(IndexHashes(), std::vector<int32_t>{hash});

  // Each later use finds its own record by length and bytes.
  watcher::UseTable second;
  Use(second, "/d/ba.txt", 700);
  ASSERT_EQ(Save(second), SaveResult::kSaved);
  EXPECT_EQ(Records(), (std::vector<Row>{{"/d/ab.txt", hash, 500, 1, 1}, {"/d/ba.txt", hash, 700, 1, 2}}));
  EXPECT_EQ(IndexHashes(), std::vector<int32_t>{hash});
}

TEST_F(SaveMonitorDataTest, MergeWeighsBothMeansByTheirUses) {
  watcher::UseTable stored;
  Use(stored, "/d/f", 1000, 600, 3);  // 3 uses, mean 600
  ASSERT_EQ(Save(stored), SaveResult::kSaved);
  ASSERT_EQ(Records(), (std::vector<Row>{{"/d/f", HashOf("/d/f"), 2200, 600, 3}}));

  watcher::UseTable once;
  Use(once, "/d/f", 9000);
  ASSERT_EQ(Save(once), SaveResult::kSaved);
  // (1 * 1 + 600 * 3) / 4 = 1801 / 4, truncated.
  EXPECT_EQ(Records(), (std::vector<Row>{{"/d/f", HashOf("/d/f"), 9000, 450, 4}}));
}

TEST_F(SaveMonitorDataTest, AfterTheIndexIsDeletedThePathsFirstRecordStaysTheOneMergedInto) {
  watcher::UseTable table;
  Use(table, "/d/f", 100);
  ASSERT_EQ(Save(table), SaveResult::kSaved);
  ASSERT_EQ(unlink(files.index_path.c_str()), 0);

  ASSERT_EQ(Save(table), SaveResult::kSaved);
  EXPECT_EQ(Records(), (std::vector<Row>{{"/d/f", HashOf("/d/f"), 100, 1, 1}, {"/d/f", HashOf("/d/f"), 100, 1, 1}}));
  EXPECT_EQ(IndexHashes(), std::vector<int32_t>{HashOf("/d/f")});

  watcher::UseTable later;
  Use(later, "/d/f", 400);
  ASSERT_EQ(Save(later), SaveResult::kSaved);
  EXPECT_EQ(Records(), (std::vector<Row>{{"/d/f", HashOf("/d/f"), 400, 1, 2}, {"/d/f", HashOf("/d/f"), 100, 1, 1}}));
}

TEST_F(SaveMonitorDataTest, AfterTheUseDataIsDeletedKnownHashesAreSearchedAndAppended) {
  watcher::UseTable table;
  Use(table, "/d/a", 100);
  Use(table, "/d/b", 100);
  ASSERT_EQ(Save(table), SaveResult::kSaved);
  const std::string index_before = ReadFile(files.index_path);
  ASSERT_EQ(unlink(files.data_path.c_str()), 0);

  watcher::UseTable again;
  Use(again, "/d/b", 300);
  ASSERT_EQ(Save(again), SaveResult::kSaved);
  EXPECT_EQ(Records(), (std::vector<Row>{{"/d/b", HashOf("/d/b"), 300, 1, 1}}));
  EXPECT_EQ(ReadFile(files.index_path), index_before);
}

TEST_F(SaveMonitorDataTest, AForeignTagDropsTheStoredRecords) {
  std::string older = Int32Bytes(5) + "1.3.3";
  shared::AppendUseRecord(older, shared::UseRecord{"/d/old", HashOf("/d/old"), 1, 1, 1});
  WriteUseData(older);
  watcher::UseTable table;
  Use(table, "/d/new", 50);
  ASSERT_EQ(Save(table), SaveResult::kSaved);
  EXPECT_EQ(Records(), (std::vector<Row>{{"/d/new", HashOf("/d/new"), 50, 1, 1}}));

  // A foreign index is made anew too.
  WriteFile(files.index_path, Int32Bytes(5) + "1.3.3" + Int32Bytes(HashOf("/d/old")));
  watcher::UseTable other;
  Use(other, "/d/other", 60);
  ASSERT_EQ(Save(other), SaveResult::kSaved);
  EXPECT_EQ(IndexHashes(), std::vector<int32_t>{HashOf("/d/other")});
}

TEST_F(SaveMonitorDataTest, ASaveOfKnownPathsLeavesTheIndexUntouched) {
  watcher::UseTable table;
  Use(table, "/d/a", 100);
  Use(table, "/d/b", 100);
  ASSERT_EQ(Save(table), SaveResult::kSaved);
  struct stat before {};
  ASSERT_EQ(stat(files.index_path.c_str(), &before), 0);
  const std::string bytes_before = ReadFile(files.index_path);
  // Past the file system's time stamp granularity, so a write would show.
  std::this_thread::sleep_for(std::chrono::milliseconds(30));

  watcher::UseTable known;
  Use(known, "/d/b", 200);
  Use(known, "/d/a", 300);
  ASSERT_EQ(Save(known), SaveResult::kSaved);
  struct stat after {};
  ASSERT_EQ(stat(files.index_path.c_str(), &after), 0);
  EXPECT_EQ(ReadFile(files.index_path), bytes_before);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(Records(), (std::vector<Row>{{"/d/a", HashOf("/d/a"), 300, 1, 2}, {"/d/b", HashOf("/d/b"), 200, 1, 2}}));
}

TEST_F(SaveMonitorDataTest, ADamagedTailKeepsTheRecordsBeforeIt) {
  std::string content = shared::LoneHeader();
  shared::AppendUseRecord(content, shared::UseRecord{"/d/kept", HashOf("/d/kept"), 10, 1, 1});
  const size_t damaged_at = content.size();
  shared::AppendUseRecord(content, shared::UseRecord{"/d/lost", HashOf("/d/lost"), 10, 1, 1});
  const struct {
    const char* name;
    std::string use_data;
  } cases[] = {
      {"record cut short", content.substr(0, content.size() - 3)},
      {"PathLength beyond the end", content.substr(0, damaged_at) + std::string("\xFF\xFF", 2) +
                                        content.substr(damaged_at + 2)},
  };
  for (const auto& c : cases) {
    WriteUseData(c.use_data);
    unlink(files.index_path.c_str());
    watcher::UseTable table;
    Use(table, "/d/new", 20);
    ASSERT_EQ(Save(table), SaveResult::kSaved) << c.name;
    EXPECT_EQ(Records(), (std::vector<Row>{{"/d/kept", HashOf("/d/kept"), 10, 1, 1},
                                           {"/d/new", HashOf("/d/new"), 20, 1, 1}}))
        << c.name;
  }
  // A file cut inside the zlib stream itself.
  unlink(files.data_path.c_str());
  unlink(files.index_path.c_str());
  watcher::UseTable many;
  for (int i = 0; i < 3000; ++i) Use(many, "/d/f" + std::to_string(i), 100);
  ASSERT_EQ(Save(many), SaveResult::kSaved);
  const std::string stream = ReadFile(files.data_path);
  WriteFile(files.data_path, stream.substr(0, stream.size() / 2));
  watcher::UseTable one;
  Use(one, "/d/new", 20);
  ASSERT_EQ(Save(one), SaveResult::kSaved);
  const std::vector<Row> rows = Records();
  ASSERT_GT(rows.size(), 2u);
  EXPECT_LT(rows.size(), 3001u);
  EXPECT_EQ(rows.front().path, "/d/f0");
  EXPECT_EQ(rows.back().path, "/d/new");
}

TEST_F(SaveMonitorDataTest, SavesThatCannotReadOrWriteTheirFilesWriteNothing) {
  watcher::UseTable table;
  Use(table, "/d/a", 100);
  const std::string elsewhere = dir.path() + "elsewhere";
  WriteFile(elsewhere, *shared::DeflateUseData(shared::LoneHeader()));
  const struct {
    const char* name;
    std::string command;  // run in the program directory
    SaveResult result;
  } cases[] = {
      // The use data file exists but cannot be read: rewriting it would lose its records.
      {"use data is a link", "ln -s elsewhere Morvast.velnr", SaveResult::kDataUnreadable},
      {"use data is a folder", "mkdir Morvast.velnr", SaveResult::kDataUnreadable},
      {"use data is a FIFO", "mkfifo Morvast.velnr", SaveResult::kDataUnreadable},
      // The index can neither be opened nor made.
      {"index is a link", "ln -s elsewhere Morvast.velni", SaveResult::kIndexUnavailable},
      {"index is a folder", "mkdir Morvast.velni", SaveResult::kIndexUnavailable},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(testing_support::Shell("cd '" + dir.path() + "' && rm -rf Morvast.velnr Morvast.velni && " + c.command), 0);
    const std::string elsewhere_before = testing_support::ReadFile(elsewhere);
    EXPECT_EQ(Save(table), c.result) << c.name;
    struct stat info {};
    const bool data_is_file = lstat(files.data_path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
    const bool index_is_file = lstat(files.index_path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
    EXPECT_FALSE(data_is_file) << c.name << ": a use data file was written";
    EXPECT_FALSE(index_is_file) << c.name << ": an index file was written";
    EXPECT_EQ(testing_support::ReadFile(elsewhere), elsewhere_before) << c.name << ": the link was followed";
  }
  // No folder to write in at all.
  watcher::UseDataFiles nowhere = watcher::UseDataFilesIn(dir.path() + "missing/");
  EXPECT_EQ(watcher::SaveMonitorData(table, nowhere), SaveResult::kWriteFailed);
}

TEST_F(SaveMonitorDataTest, PathsThatNoRecordCanHoldAreLeftOut) {
  watcher::UseTable table;
  Use(table, "/d/a", 100);
  Use(table, "/d/" + std::string(70000, 'x'), 100);  // PathLength has 16 bits
  Use(table, "/d/b", 100);
  ASSERT_EQ(Save(table), SaveResult::kSaved);
  EXPECT_EQ(Records(), (std::vector<Row>{{"/d/a", HashOf("/d/a"), 100, 1, 1}, {"/d/b", HashOf("/d/b"), 100, 1, 1}}));
}

TEST_F(SaveMonitorDataTest, TheUseDataStopsGrowingAtItsBound) {
  watcher::UseTable table;
  for (int i = 0; i < 10; ++i) Use(table, "/d/f" + std::to_string(i), 100);
  const size_t bound = shared::kHeaderSize + 4 * shared::UseRecordSize(5);
  ASSERT_EQ(watcher::SaveMonitorData(table, files, bound), SaveResult::kSaved);
  const std::vector<Row> rows = Records();
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows.back().path, "/d/f3");
  // Only hashes of stored records enter the index.
  EXPECT_EQ(IndexHashes().size(), 4u);
  // Stored paths are still merged.
  watcher::UseTable again;
  Use(again, "/d/f1", 200);
  Use(again, "/d/f9", 200);
  ASSERT_EQ(watcher::SaveMonitorData(again, files, bound), SaveResult::kSaved);
  EXPECT_EQ(Records()[1], (Row{"/d/f1", HashOf("/d/f1"), 200, 1, 2}));
  EXPECT_EQ(Records().size(), 4u);
}

// The bytes of both files for a known table, checked in under tests/data/watcher.
TEST_F(SaveMonitorDataTest, GoldenFiles) {
  watcher::UseTable table;
  Use(table, "c:\\a.txt", 1200000000);
  Use(table, "c:\\windows\\notepad.exe", 1200000000, 90, 2);
  ASSERT_EQ(Save(table), SaveResult::kSaved);
  const std::string golden = QUOBRAN_TEST_DATA_DIR "/watcher/";
  EXPECT_EQ(ReadFile(files.data_path), ReadFile(golden + "Morvast.velnr"));
  EXPECT_EQ(ReadFile(files.index_path), ReadFile(golden + "Morvast.velni"));

  // What the golden use data holds, field by field.
  const std::string expected = std::string("\x05\x00\x00\x00" "1.3.4", 9) +
                               std::string("\x08\x00" "\xEF\x01\x99\x00", 6) + "c:\\a.txt" +
                               std::string("\x00\x8C\x86\x47\x00\x00\x00\x00", 8) +  // LastUse 1,200,000,000
                               std::string("\x01\x00\x00\x00\x00\x00\x00\x00", 8) +  // MeanInterval 1
                               std::string("\x01\x00\x00\x00\x00\x00\x00\x00", 8) +  // UseCount 1
                               std::string("\x16\x00" "\x5B\x04\x00\x03", 6) + "c:\\windows\\notepad.exe" +
                               std::string("\x5A\x8C\x86\x47\x00\x00\x00\x00", 8) +  // LastUse 1,200,000,090
                               std::string("\x5A\x00\x00\x00\x00\x00\x00\x00", 8) +  // MeanInterval 90
                               std::string("\x02\x00\x00\x00\x00\x00\x00\x00", 8);   // UseCount 2
  const shared::Inflated inflated = shared::InflateUseData(ReadFile(golden + "Morvast.velnr"), shared::kMaxUseDataBytes);
  EXPECT_EQ(inflated.end, shared::StreamEnd::kComplete);
  EXPECT_EQ(inflated.bytes, expected);
  EXPECT_EQ(ReadFile(golden + "Morvast.velni"),
            std::string("\x05\x00\x00\x00" "1.3.4", 9) + std::string("\xEF\x01\x99\x00" "\x5B\x04\x00\x03", 8));
}

}  // namespace
