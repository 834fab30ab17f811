#include "compressor/listed_drives.h"

#include <algorithm>
#include <sstream>

namespace compressor {

ListedDrives::ListedDrives(const platform::DriveTable& drives, const char* list) : drives_(drives) {
  if (list == nullptr || *list == '\0') return;
  all_ = false;
  std::istringstream in(list);
  std::string root;
  while (std::getline(in, root, ':')) {
    if (root.empty()) continue;
    if (root.back() != '/') root += '/';
    roots_.push_back(root);
  }
}

std::vector<platform::DriveInfo> ListedDrives::Drives() const {
  std::vector<platform::DriveInfo> drives = drives_.Drives();
  if (all_) return drives;
  std::erase_if(drives, [this](const platform::DriveInfo& drive) {
    return std::find(roots_.begin(), roots_.end(), drive.root_path) == roots_.end();
  });
  return drives;
}

bool ListedDrives::Space(const std::string& root_path, platform::DriveSpace& space) const {
  return drives_.Space(root_path, space);
}

}  // namespace compressor
