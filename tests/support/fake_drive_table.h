#pragma once
#include <map>
#include <string>
#include <vector>

#include "platform/drives.h"

namespace testing_support {

// A drive table of our own: the drives in the order added, and the space each one answers with
// (a drive without an entry does not answer).
class FakeDriveTable final : public platform::DriveTable {
 public:
  std::vector<platform::DriveInfo> Drives() const override { return drives; }
  bool Space(const std::string& root_path, platform::DriveSpace& space) const override {
    const auto found = spaces.find(root_path);
    if (found == spaces.end()) return false;
    space = found->second;
    return true;
  }
  // btrfs compresses; every drive is its own file system unless given one's id.
  platform::DriveInfo& Add(const std::string& root, const std::string& file_system, int32_t serial = 7,
                           uint64_t file_system_id = 0) {
    platform::DriveInfo drive;
    drive.root_path = root;
    drive.file_system = file_system;
    drive.serial = serial;
    drive.bytes_per_sector = 512;
    drive.compresses = file_system == "btrfs";
    drive.file_system_id = file_system_id == 0 ? drives.size() + 1 : file_system_id;
    drives.push_back(drive);
    return drives.back();
  }

  std::vector<platform::DriveInfo> drives;
  std::map<std::string, platform::DriveSpace> spaces;
};

}  // namespace testing_support
