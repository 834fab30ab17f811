// The Disk Informer's arithmetic: the fading feed, the picture by alpha, drag limits and the
// start position.
#include "watcher/informer_logic.h"

#include <gtest/gtest.h>

namespace {

using watcher::FeedInformer;
using watcher::Point;

TEST(InformerFeedTest, OneBurstFadesFrom193To4In28TicksAndThenLeavesTheInformerAlone) {
  std::vector<uint8_t> levels{0};
  const std::vector<std::string> drives{"/mnt/data"};
  std::vector<int> alphas;
  auto first = FeedInformer(levels, {true}, drives);
  EXPECT_EQ(first.text, "/mnt/data  ");
  alphas.push_back(first.highest);
  for (int tick = 0; tick < 40; ++tick) {
    const auto feed = FeedInformer(levels, {false}, drives);
    if (feed.highest == 0) {
      EXPECT_EQ(feed.text, "");
      break;
    }
    EXPECT_EQ(feed.text, "/mnt/data  ");
    alphas.push_back(feed.highest);
  }
  ASSERT_EQ(alphas.size(), 28u);
  EXPECT_EQ(alphas.front(), 193);
  EXPECT_EQ(alphas.back(), 4);
  for (size_t i = 1; i < alphas.size(); ++i) EXPECT_EQ(alphas[i - 1] - alphas[i], 7);
  EXPECT_EQ(levels[0], 0);
}

TEST(InformerFeedTest, EachActiveDriveIsListedInOrderAndTheHighestLevelWins) {
  std::vector<uint8_t> levels{0, 0, 0};
  const std::vector<std::string> drives{"/", "/home", "/mnt/data"};
  FeedInformer(levels, {true, false, false}, drives);   // "/" at 193
  FeedInformer(levels, {false, false, false}, drives);  // "/" at 186
  const auto feed = FeedInformer(levels, {false, false, true}, drives);
  EXPECT_EQ(feed.text, "/  /mnt/data  ");
  EXPECT_EQ(feed.highest, 193);
  EXPECT_EQ(levels, (std::vector<uint8_t>{179, 0, 193}));
  // Activity on two drives in one tick: both shown at 193.
  std::vector<uint8_t> fresh{0, 0, 0};
  const auto both = FeedInformer(fresh, {true, true, false}, drives);
  EXPECT_EQ(both.text, "/  /home  ");
  EXPECT_EQ(both.highest, 193);
}

TEST(InformerFeedTest, LevelsOf7OrLessDropToZeroWithoutShowing) {
  for (const int level : {1, 6, 7}) {
    std::vector<uint8_t> levels{static_cast<uint8_t>(level)};
    const auto feed = FeedInformer(levels, {false}, {"/"});
    EXPECT_EQ(feed.highest, 0) << level;
    EXPECT_EQ(levels[0], 0) << level;
  }
  std::vector<uint8_t> eight{8};
  EXPECT_EQ(FeedInformer(eight, {false}, {"/"}).highest, 1);
  std::vector<uint8_t> none;
  EXPECT_EQ(FeedInformer(none, {}, {}).highest, 0);  // no monitors
}

TEST(InformerLogicTest, DriveLabels) {
  EXPECT_EQ(watcher::DriveLabel("/"), "/");
  EXPECT_EQ(watcher::DriveLabel("/home/"), "/home");
  EXPECT_EQ(watcher::DriveLabel("/mnt/data/"), "/mnt/data");
}

TEST(InformerLogicTest, PictureByAlpha) {
  const struct {
    int alpha;
    int picture;
  } cases[] = {{255, 0}, {193, 0}, {151, 0}, {150, 1}, {100, 1}, {4, 1}, {0, 1}};
  for (const auto& c : cases) EXPECT_EQ(watcher::InformerPicture(c.alpha), c.picture) << c.alpha;
}

TEST(InformerLogicTest, DragLimits) {
  const watcher::Size tile{114, 52};
  const watcher::Size screen{1024, 768};
  const struct {
    Point proposed;
    Point expected;
  } cases[] = {
      {{500, 300}, {500, 300}},
      {{2000, 300}, {909, 300}},    // 1024 - 114 - 1
      {{909, 715}, {909, 715}},     // right at both limits
      {{910, 716}, {909, 715}},
      {{-50, -50}, {1, 1}},
      {{0, 0}, {1, 1}},
      {{1, 1}, {1, 1}},
      {{5000, -9}, {909, 1}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(watcher::DragTarget(c.proposed, tile, screen), c.expected) << c.proposed.x << "," << c.proposed.y;
  }
  // Larger than the screen: the top-left limit wins.
  EXPECT_EQ(watcher::DragTarget({400, 400}, {300, 200}, {200, 100}), (Point{1, 1}));
}

TEST(InformerLogicTest, StartPositionIsTheStoredOneWhenTheTileIsWhollyOnTheScreen) {
  const watcher::Size tile{114, 52};
  const watcher::Size screen{1024, 768};
  const struct {
    Point stored;
    Point expected;
  } cases[] = {
      {{0, 0}, {0, 0}},         {{30, 30}, {30, 30}},     {{910, 716}, {910, 716}},  // edges on the screen's
      {{911, 100}, {60, 40}},   {{100, 717}, {60, 40}},   {{-1, 100}, {60, 40}},
      {{100, -1}, {60, 40}},    {{5000, 5000}, {60, 40}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(watcher::CheckedInformerPosition(c.stored, tile, screen), c.expected) << c.stored.x << "," << c.stored.y;
  }
}

}  // namespace
