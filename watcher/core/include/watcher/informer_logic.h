#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace watcher {

// The informer's activity levels: a change sets a drive's level to kActivityLevel, each 200 ms
// tick takes kLevelStep off, and a level of kLevelStep or less drops to 0.
inline constexpr uint8_t kActivityLevel = 200;
inline constexpr uint8_t kLevelStep = 7;

struct InformerFeed {
  std::string text;  // each shown drive followed by two blanks
  int highest = 0;   // the informer's alpha; 0 leaves the informer as it is
};

// One tick of the feed. `activity[i]` is whether monitor i saw a change since the last tick (the
// caller has read and cleared the flag); `drives[i]` is its label.
InformerFeed FeedInformer(std::vector<uint8_t>& levels, const std::vector<bool>& activity,
                          const std::vector<std::string>& drives);

// How the informer names a drive: its mount point without the trailing '/', "/" for the root.
std::string DriveLabel(const std::string& root_path);

// Picture 0 while the tile is fairly opaque, picture 1 once it has faded to 150 or less.
int InformerPicture(int alpha);

struct Point {
  int x = 0;
  int y = 0;
  bool operator==(const Point&) const = default;
};
struct Size {
  int width = 0;
  int height = 0;
};

// Where a drag puts the window: its right and bottom edges stay at or before screen size - 1 and
// its top-left at 1, 1 or beyond; when it is larger than the screen the top-left limit wins.
Point DragTarget(Point proposed, Size window, Size screen);

// Where the informer first appears: the stored position when the window lies wholly on the
// screen there, else 60, 40.
inline constexpr Point kInformerFallback{60, 40};
// Without a stored position the tile starts where the drive scan shows it.
inline constexpr Point kInformerFirstStart{30, 30};
Point CheckedInformerPosition(Point stored, Size window, Size screen);

}  // namespace watcher
