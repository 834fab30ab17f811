// The defragmenter's arithmetic and its search, over an in-memory volume.
#include "engine/defragmenter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/dscan.h"
#include "engine_harness.h"
#include "fake_volume.h"

namespace {

using testing::ElementsAre;
using testing::IsEmpty;

class DefragmenterTest : public testing::Test {
 protected:
  DefragmenterTest() { scan_.LogFile = log_.get(); }

  void AddFragmented(const std::string& path, int64_t size, uint32_t attributes = platform::FILE_ATTRIBUTE_NORMAL) {
    files_.Add(path, size, attributes);
    volume_.extents[path] = {{1, 100}, {2, 7}};
  }
  void Run(const std::string& path) {
    platform::AttributeRecord record;
    files_.ReadAttributes(path, record);
    defragmenter_.DefragmentFile(scan_, path, record, "Defragment by request");
  }
  std::vector<std::string> Events() const { return testing_support::ReadLogEvents(dir_.path() + "log"); }

  testing_support::TempDir dir_;
  testing_support::FakeClock clock_;
  platform::QueuedDispatcher dispatcher_;
  testing_support::FakeFileSystem files_;
  testing_support::FakeDefragVolume volume_;
  testing_support::RecordingDecider decider_;
  engine::Defragmenter defragmenter_{files_, volume_};
  std::unique_ptr<engine::ActivityLog> log_ = engine::ActivityLog::Open(dir_.path() + "log", true, clock_);
  engine::DScan scan_{{clock_, dispatcher_, decider_}};
};

TEST_F(DefragmenterTest, MovesToTheFirstRunOfFreeBytesAndLogsWithTheBlank) {
  // 10,000 bytes: 20 sectors, 3 clusters, so three free bytes (24 clusters) are looked for.
  volume_.bitmap_bytes = {0xFF, 0, 0, 0x01, 0, 0, 0, 0, 0};
  AddFragmented("/v/f", 10000);
  Run("/v/f");
  ASSERT_EQ(volume_.moves.size(), 1u);
  EXPECT_EQ(volume_.moves[0].volume_cluster, 32u);
  EXPECT_EQ(volume_.moves[0].cluster_count, 3u);
  EXPECT_THAT(Events(), ElementsAre("Defragmented |/v/f|Defragment by request"));
  EXPECT_THAT(volume_.restored, ElementsAre("/v/f"));
  EXPECT_FALSE(scan_.Defragmenting);
  EXPECT_FALSE(volume_.volume_open);
  EXPECT_FALSE(volume_.file_open);
}

TEST_F(DefragmenterTest, NeededClustersComeFromTheCompressedSizeAndBothHalves) {
  AddFragmented("/v/c", 1048576, platform::FILE_ATTRIBUTE_COMPRESSED);
  files_.files["/v/c"].compressed_size = 65536;
  AddFragmented("/v/big", 5000000000LL);
  volume_.bitmap_bytes.assign(2000000, 0);
  volume_.geometry.free_clusters = 2000000;
  Run("/v/c");
  Run("/v/big");
  ASSERT_EQ(volume_.moves.size(), 2u);
  EXPECT_EQ(volume_.moves[0].cluster_count, 16u);
  EXPECT_EQ(volume_.moves[1].cluster_count, 1220704u);
}

TEST_F(DefragmenterTest, OneExtentOrNoRoomMovesNothingButRestoresTimes) {
  files_.Add("/v/whole", 50000);
  volume_.extents["/v/whole"] = {{13, 100}};
  AddFragmented("/v/crowded", 50000);
  volume_.bitmap_bytes = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0};  // runs of 12 and 1 bytes, 13 needed
  Run("/v/whole");
  Run("/v/crowded");
  volume_.move_refused = true;
  volume_.bitmap_bytes.assign(100, 0);
  Run("/v/crowded");
  EXPECT_THAT(volume_.moves, IsEmpty());
  EXPECT_THAT(Events(), IsEmpty());
  EXPECT_THAT(volume_.restored, ElementsAre("/v/whole", "/v/crowded", "/v/crowded"));
}

TEST_F(DefragmenterTest, AnswersThatDoNotFitGrowTheBufferBy8000Bytes) {
  volume_.geometry.total_clusters = 8000;  // first bitmap buffer: 1,024 bytes
  volume_.bitmap_bytes.assign(17000, 0);   // the answer needs 17,016
  AddFragmented("/v/f", 4096 * 3);
  volume_.extents["/v/f"].assign(600, platform::FileExtent{1, 1});  // 9,616 bytes, first buffer 23
  Run("/v/f");
  EXPECT_THAT(volume_.bitmap_requests, ElementsAre(1024, 9024, 17024));
  EXPECT_THAT(volume_.extents_requests, ElementsAre(23, 8023, 16023));
  EXPECT_EQ(volume_.moves.size(), 1u);
}

TEST_F(DefragmenterTest, StopsEarlyWithoutTouchingTimes) {
  struct Case {
    const char* what;
    std::function<void(testing_support::FakeDefragVolume&)> arrange;
  } cases[] = {
      {"no volume", [](auto& v) { v.has_volume = false; }},
      {"free clusters not more than needed", [](auto& v) { v.geometry.free_clusters = 3; }},
      {"memory status fails", [](auto& v) { v.memory_fails = true; }},
      {"too little memory", [](auto& v) { v.memory = 0, v.geometry.bytes_per_sector = 1; }},
      {"bitmap request fails", [](auto& v) { v.bitmap_fails = true; }},
      {"file cannot be opened", [](auto& v) { v.extents.clear(); }},
      {"extents request fails", [](auto& v) { v.extents_fail = true; }},
  };
  for (const Case& c : cases) {
    testing_support::FakeDefragVolume fresh;
    volume_ = fresh;
    AddFragmented("/v/f", 10000);
    c.arrange(volume_);
    Run("/v/f");
    EXPECT_THAT(volume_.moves, IsEmpty()) << c.what;
    EXPECT_THAT(volume_.restored, IsEmpty()) << c.what;
    EXPECT_FALSE(volume_.volume_open) << c.what;
    EXPECT_FALSE(volume_.file_open) << c.what;
  }
  EXPECT_THAT(Events(), IsEmpty());
}

TEST(FindFreeAreaTest, FirstFitByteByByte) {
  using engine::Defragmenter;
  EXPECT_EQ(Defragmenter::FindFreeArea({0, 0, 0}, 3), 0);
  EXPECT_EQ(Defragmenter::FindFreeArea({1, 0, 0, 2, 0, 0, 0}, 3), 4);
  EXPECT_EQ(Defragmenter::FindFreeArea({0, 0, 0x80, 0, 0}, 3), -1);
  EXPECT_EQ(Defragmenter::FindFreeArea({}, 1), -1);
}

}  // namespace
