#pragma once
#include <string>
#include <vector>

#include "platform/drives.h"

namespace compressor {

// The machine's drives narrowed to the mount points named in QUOBRAN_DRIVES (separated by ':',
// each with or without its trailing '/'); all of them when the variable is unset or empty. Lets a
// test or a script give Quobran one scratch file system while other file systems are mounted.
class ListedDrives final : public platform::DriveTable {
 public:
  ListedDrives(const platform::DriveTable& drives, const char* list);

  std::vector<platform::DriveInfo> Drives() const override;
  bool Space(const std::string& root_path, platform::DriveSpace& space) const override;

 private:
  const platform::DriveTable& drives_;
  bool all_ = true;
  std::vector<std::string> roots_;
};

}  // namespace compressor
