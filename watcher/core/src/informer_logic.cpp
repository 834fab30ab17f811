#include "watcher/informer_logic.h"

#include <algorithm>

namespace watcher {

InformerFeed FeedInformer(std::vector<uint8_t>& levels, const std::vector<bool>& activity,
                          const std::vector<std::string>& drives) {
  InformerFeed feed;
  for (size_t i = 0; i < levels.size(); ++i) {
    if (i < activity.size() && activity[i]) levels[i] = kActivityLevel;
    if (levels[i] <= kLevelStep) {
      levels[i] = 0;
      continue;
    }
    levels[i] = static_cast<uint8_t>(levels[i] - kLevelStep);
    if (i < drives.size()) feed.text += drives[i] + "  ";
    feed.highest = std::max<int>(feed.highest, levels[i]);
  }
  return feed;
}

std::string DriveLabel(const std::string& root_path) {
  if (root_path.size() <= 1) return root_path.empty() ? "/" : root_path;
  return root_path.back() == '/' ? root_path.substr(0, root_path.size() - 1) : root_path;
}

int InformerPicture(int alpha) { return alpha > 150 ? 0 : 1; }

Point DragTarget(Point proposed, Size window, Size screen) {
  Point target = proposed;
  if (target.x + window.width > screen.width - 1) target.x = screen.width - window.width - 1;
  if (target.x < 1) target.x = 1;
  if (target.y + window.height > screen.height - 1) target.y = screen.height - window.height - 1;
  if (target.y < 1) target.y = 1;
  return target;
}

Point CheckedInformerPosition(Point stored, Size window, Size screen) {
  const bool off_screen = stored.x < 0 || stored.y < 0 || stored.x + window.width > screen.width ||
                          stored.y + window.height > screen.height;
  return off_screen ? kInformerFallback : stored;
}

}  // namespace watcher
