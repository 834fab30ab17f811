// The decision on single files, on a fake volume whose sizes, times and refusals are exact.
#include "engine/file_decision.h"

#include <zlib.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/dscan.h"
#include "engine_harness.h"
#include "fake_volume.h"
#include "shared/ascii_case.h"
#include "shared/path_hash.h"

namespace {

using platform::FILE_ATTRIBUTE_COMPRESSED;
using platform::FILE_ATTRIBUTE_NORMAL;
using platform::FILE_ATTRIBUTE_OFFLINE;
using platform::FILE_ATTRIBUTE_SYSTEM;
using platform::FILE_ATTRIBUTE_TEMPORARY;
using testing::ElementsAre;
using testing::IsEmpty;
using testing_support::FakeFileSystem;

constexpr uint32_t kNowHigh = 46 * 1000;

// One engine, never started: the test thread plays the engine thread.
class DecisionTest : public testing::Test {
 protected:
  DecisionTest() {
    clock_.SetSystemTime(platform::FileTime{0, kNowHigh});
    scan_.LogFile = log_.get();
  }

  FakeFileSystem::File& AddFile(const std::string& path, int64_t size, uint32_t attributes = FILE_ATTRIBUTE_NORMAL,
                                uint32_t age_units = 100) {
    FakeFileSystem::File& file = files_.Add(path, size, attributes);
    file.record.last_access = platform::FileTime{0, kNowHigh - 46 * age_units};
    file.record.last_write = platform::FileTime{123, 456};
    return file;
  }

  engine::FileDecider::Outcome Decide(const std::string& path, uint64_t volume = 1) {
    platform::DirEntry entry{path.substr(path.rfind('/') + 1), FILE_ATTRIBUTE_NORMAL, volume};
    return decision_.Decide(scan_, path, entry);
  }

  std::vector<std::string> Events() const { return testing_support::ReadLogEvents(dir_.path() + "log"); }

  void UseTable(const std::vector<std::pair<std::string, int64_t>>& rows) {
    for (const auto& [path, interval] : rows) {
      table_.WatcherPaths.push_back(path);
      table_.WatcherHashes.push_back(static_cast<int32_t>(shared::PathHash(path)));
      table_.WatcherIntervals.push_back(interval);
    }
    table_.BuildIndex();
    scan_.Watcher.store(&table_);
  }

  testing_support::TempDir dir_;
  testing_support::FakeClock clock_;
  platform::QueuedDispatcher dispatcher_;
  FakeFileSystem files_;
  testing_support::FakeDefragVolume volume_;
  engine::Defragmenter defragmenter_{files_, volume_};
  engine::FileDecision decision_{files_, defragmenter_};
  std::unique_ptr<engine::ActivityLog> log_ = engine::ActivityLog::Open(dir_.path() + "log", true, clock_);
  engine::DScan scan_{{clock_, dispatcher_, decision_}};
  shared::WatcherTable table_;
};

TEST_F(DecisionTest, OnlyFilesOfThreeClustersOrMoreAreCompressed) {
  scan_.StretchMode = true;
  AddFile("/v/two", 8192).size_after_compression = 100;
  AddFile("/v/three", 8193).size_after_compression = 100;
  Decide("/v/two");
  Decide("/v/three");
  EXPECT_THAT(Events(), ElementsAre("Compress|/v/three|Seldom used"));
  EXPECT_EQ(scan_.SavedSpace, 8193 - 4096);
  EXPECT_EQ(scan_.AllFilesCount, 2);
  EXPECT_EQ(scan_.FilesSizeOnDisk, 8192 + 12288);
  EXPECT_EQ(scan_.RealFilesSizeOnDisk, 8192 + 12288);  // as met, before the change
  ASSERT_EQ(files_.changes.size(), 1u);
  EXPECT_EQ(files_.changes[0].record.last_write, (platform::FileTime{123, 456}));
}

TEST_F(DecisionTest, SystemNamesAlwaysAndListedExtensionsWithSmartFileAreLeftAlone) {
  scan_.StretchMode = true;
  struct Case {
    const char* name;
    bool smart_file;
    bool compressed;
  } cases[] = {
      {"Pagefile.sys", false, false}, {"MyNtldr.bak", false, false},  {"hiberfil.sys.old", false, false},
      {"photo.JPG", true, false},     {"backup.tar.gz", true, false}, {"notes.gzip", true, false},
      {"photo.JPG", false, true},     {"notes.txt", true, true},
  };
  for (const Case& c : cases) {
    const std::string path = std::string("/v/") + (c.smart_file ? "smart/" : "plain/") + c.name;
    AddFile(path, 100000).size_after_compression = 1000;
    scan_.SmartFile = c.smart_file;
    Decide(path);
    EXPECT_EQ(files_.changes.size() == 1, c.compressed) << c.name;
    files_.changes.clear();
  }
}

TEST_F(DecisionTest, LastAccessRuleWithoutTheTable) {
  scan_.StretchMode = true;
  scan_.SmartFile = true;
  scan_.DecompWorthy = true;
  struct Case {
    uint32_t age_units;
    bool compressed_file;
    const char* event;  // null: nothing done
  } cases[] = {
      {3, true, "Decompress|/v/f|Frequently used"}, {4, true, nullptr}, {5, true, nullptr},
      {6, true, nullptr},  {5, false, nullptr}, {6, false, "Compress|/v/f|Seldom used"},
  };
  for (const Case& c : cases) {
    files_.files.clear();
    auto& file = AddFile("/v/f", 100000, c.compressed_file ? FILE_ATTRIBUTE_COMPRESSED : FILE_ATTRIBUTE_NORMAL, c.age_units);
    file.compressed_size = 20000;
    file.size_after_compression = 20000;
    const size_t before = Events().size();
    Decide("/v/f");
    const auto events = Events();
    if (c.event == nullptr) {
      EXPECT_EQ(events.size(), before) << c.age_units;
    } else {
      ASSERT_EQ(events.size(), before + 1) << c.age_units;
      EXPECT_EQ(events.back(), c.event);
    }
  }
}

TEST_F(DecisionTest, WatcherRuleBoundsAndFilesMissingFromTheTable) {
  scan_.StretchMode = true;
  scan_.SmartFile = true;
  scan_.DecompWorthy = true;
  scan_.UseVelnor = true;
  UseTable({{"/v/c1", 172799}, {"/v/c2", 172800}, {"/v/u1", 431999}, {"/v/u2", 432000}});
  for (const char* name : {"/v/c1", "/v/c2", "/v/c-missing"}) AddFile(name, 100000, FILE_ATTRIBUTE_COMPRESSED, 100).compressed_size = 20000;
  for (const char* name : {"/v/u1", "/v/u2", "/v/u-missing"}) AddFile(name, 100000, FILE_ATTRIBUTE_NORMAL, 100).size_after_compression = 20000;
  for (const char* name : {"/v/c1", "/v/c2", "/v/c-missing", "/v/u1", "/v/u2", "/v/u-missing"}) Decide(name);
  EXPECT_THAT(Events(), ElementsAre("Decompress|/v/c1|Frequently used", "Decompress|/v/c-missing|Frequently used",
                                    "Compress|/v/u2|Seldom used"));

  // With the option off the table is ignored: the last access (100 units ago) decides.
  scan_.UseVelnor = false;
  Decide("/v/u1");
  EXPECT_EQ(Events().back(), "Compress|/v/u1|Seldom used");
}

TEST_F(DecisionTest, CompressedFileThatGainsNothingAndIsUsedOftenIsDecompressedTwice) {
  scan_.StretchMode = true;
  scan_.DecompWorthy = true;
  AddFile("/v/small", 100, FILE_ATTRIBUTE_COMPRESSED, 1).compressed_size = 100;
  Decide("/v/small");
  EXPECT_THAT(Events(), ElementsAre("Decompress|/v/small|Frequently used", "Decompress|/v/small|Too small file"));
  EXPECT_EQ(scan_.CompressedFilesCount, 1);
  EXPECT_EQ(scan_.RealFilesSizeOnDisk, 4096);
  EXPECT_EQ(scan_.SavedSpace, 0);

  // In an analysis pass it is listed twice.
  AddFile("/v/small", 100, FILE_ATTRIBUTE_COMPRESSED, 1).compressed_size = 100;
  scan_.StretchMode = false;
  Decide("/v/small");
  EXPECT_THAT(scan_.CandidateFiles, ElementsAre("/v/small", "/v/small"));
}

TEST_F(DecisionTest, UnmeasurableCompressedSizeNeverLooksUnprofitable) {
  scan_.StretchMode = true;
  scan_.DecompWorthy = true;
  AddFile("/v/unknown", 100000, FILE_ATTRIBUTE_COMPRESSED, 5).compressed_size = -1;
  Decide("/v/unknown");
  EXPECT_THAT(Events(), IsEmpty());
  EXPECT_EQ(scan_.RealFilesSizeOnDisk, scan_.FilesSizeOnDisk.load());
}

TEST_F(DecisionTest, CompressionThatSavesNothingIsUndone) {
  scan_.StretchMode = true;
  scan_.Defragment = true;
  AddFile("/v/noise", 10000).size_after_compression = 9000;  // 12288 on disk, not below 10000
  volume_.extents["/v/noise"] = {{1, 10}, {3, 50}};
  Decide("/v/noise");
  EXPECT_THAT(Events(), ElementsAre("Compress|/v/noise|Seldom used", "Decompress|/v/noise|Not advantageously",
                                    "Defragmented |/v/noise|Defragment after decompression"));
  EXPECT_EQ(scan_.SavedSpace, 0);
  ASSERT_EQ(files_.changes.size(), 2u);
  EXPECT_TRUE(files_.changes[1].record.attributes & FILE_ATTRIBUTE_COMPRESSED);  // the record read after
}

TEST_F(DecisionTest, RefusedCompressionCountsNothingAndUndoesNothing) {
  scan_.StretchMode = true;
  scan_.Defragment = true;
  AddFile("/v/readonly", 100000).size_after_compression = -1;
  Decide("/v/readonly");
  EXPECT_THAT(Events(), ElementsAre("Compress|/v/readonly|Seldom used"));
  EXPECT_EQ(scan_.SavedSpace, 0);
  EXPECT_THAT(volume_.restored, IsEmpty());
}

TEST_F(DecisionTest, BothDefragmentOptionsHandACompressedFileOverTwice) {
  scan_.StretchMode = true;
  scan_.Defragment = true;
  scan_.DefragmentAny = true;
  AddFile("/v/f", 100000).size_after_compression = 30000;
  volume_.extents["/v/f"] = {{1, 10}, {8, 50}};
  Decide("/v/f");
  EXPECT_THAT(Events(), ElementsAre("Compress|/v/f|Seldom used", "Defragmented |/v/f|Defragment after compression",
                                    "Defragmented |/v/f|Defragment by request"));
  EXPECT_EQ(scan_.SavedSpace, 100000 - 32768);
  EXPECT_FALSE(scan_.Defragmenting);
}

TEST_F(DecisionTest, AnalysisPassOnlyListsAndEstimates) {
  AddFile("/v/a", 100000).size_after_compression = 10;
  AddFile("/v/b", 10000).contents = std::string(10000, 'q');
  Decide("/v/a");
  EXPECT_EQ(scan_.SavedSpace, 102400 / 2);
  scan_.TryFile = true;
  scan_.SavedSpace = 0;
  Decide("/v/b");
  uLongf trial = compressBound(10000);
  std::vector<Bytef> out(trial);
  compress2(out.data(), &trial, reinterpret_cast<const Bytef*>(files_.files["/v/b"].contents.data()), 10000, 1);
  EXPECT_EQ(scan_.SavedSpace, 12288 - 12288 * static_cast<int64_t>(trial) / 10000);
  EXPECT_THAT(scan_.CandidateFiles, ElementsAre("/v/a", "/v/b"));
  EXPECT_THAT(files_.changes, IsEmpty());
  EXPECT_THAT(Events(), IsEmpty());
}

TEST_F(DecisionTest, IncompressibleTrialOrUnreadableFileIsNotCompressed) {
  scan_.StretchMode = true;
  scan_.TryFile = true;
  std::string noise(20000, '\0');
  uint32_t x = 1;
  for (char& c : noise) c = static_cast<char>((x = x * 1103515245 + 12345) >> 24);
  AddFile("/v/noise", 20000).contents = noise;
  AddFile("/v/empty-read", 20000);  // reads nothing
  Decide("/v/noise");
  Decide("/v/empty-read");
  EXPECT_THAT(files_.changes, IsEmpty());
  EXPECT_EQ(scan_.AllFilesCount, 2);
}

TEST_F(DecisionTest, SkippedFilesReachNoCounter) {
  AddFile("/v/offline", 100000, FILE_ATTRIBUTE_OFFLINE);
  AddFile("/v/temp", 100000, FILE_ATTRIBUTE_TEMPORARY);
  AddFile("/v/system", 100000, FILE_ATTRIBUTE_SYSTEM);
  scan_.PreserveSystem = true;
  scan_.DefragmentAny = true;
  scan_.StretchMode = true;
  for (const char* path : {"/v/offline", "/v/temp", "/v/system"}) {
    EXPECT_EQ(Decide(path), engine::FileDecider::Outcome::kSkipped) << path;
  }
  EXPECT_EQ(Decide("/v/vanished"), engine::FileDecider::Outcome::kExamined);
  EXPECT_EQ(scan_.AllFilesCount, 0);
  EXPECT_EQ(scan_.AllFilesSize, 0);
  EXPECT_THAT(volume_.restored, IsEmpty());
  scan_.PreserveSystem = false;
  Decide("/v/system");
  EXPECT_EQ(scan_.AllFilesCount, 1);
}

TEST_F(DecisionTest, VolumeGeometryIsAskedOncePerVolumeAndAFirstFailureSkipsTheFile) {
  files_.geometry_fails = true;
  AddFile("/v/a", 5000);
  AddFile("/v/b", 5000);
  EXPECT_EQ(Decide("/v/a", 1), engine::FileDecider::Outcome::kSkipped);
  EXPECT_EQ(scan_.AllFilesCount, 0);
  files_.geometry_fails = false;
  Decide("/v/a", 2);
  Decide("/v/b", 2);
  EXPECT_EQ(files_.geometry_calls, 2);
  EXPECT_EQ(scan_.FilesSizeOnDisk, 2 * 8192);
  // A failure on another volume keeps the last values.
  files_.geometry_fails = true;
  Decide("/v/a", 3);
  EXPECT_EQ(files_.geometry_calls, 3);
  EXPECT_EQ(scan_.FilesSizeOnDisk, 3 * 8192);
  EXPECT_EQ(scan_.SectorsPerCluster * scan_.BytesPerSector, 4096u);
}

}  // namespace
