#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A drive: a mounted file system backed by a block device.
struct DriveInfo {
  std::string root_path;         // the mount point with a trailing '/'
  std::string file_system;       // the kernel's type name, "btrfs"
  int32_t serial = 0;            // the low 32 bits of statfs f_fsid
  uint32_t bytes_per_sector = 0;  // the device's logical sector size
  bool compresses = false;       // per-file compression (btrfs)
  // Equal for every mount of one file system (subvolumes, bind mounts), so its size counts once.
  uint64_t file_system_id = 0;
};

struct DriveSpace {
  uint64_t bytes_per_cluster = 0;
  uint64_t free_clusters = 0;  // what an unprivileged user may still fill
  uint64_t total_clusters = 0;
};

// The machine's drives, behind an interface so the tree can be tested on a drive table of our own.
class DriveTable {
 public:
  virtual ~DriveTable() = default;
  // In path order. A drive that cannot be asked for its file system or its sector size is left out.
  virtual std::vector<DriveInfo> Drives() const = 0;
  // False when the drive cannot be asked (gone, no access).
  virtual bool Space(const std::string& root_path, DriveSpace& space) const = 0;
};

class SystemDriveTable final : public DriveTable {
 public:
  std::vector<DriveInfo> Drives() const override;
  bool Space(const std::string& root_path, DriveSpace& space) const override;
};

// One line of /proc/self/mountinfo.
struct MountEntry {
  uint32_t major = 0;  // of the file system (its superblock), not of the device
  uint32_t minor = 0;
  std::string mount_point;  // octal escapes (\040 ...) decoded
  std::string file_system;
  std::string source;
};

// Lines that do not parse are skipped.
std::vector<MountEntry> ParseMountInfo(std::string_view text);
// Of several mounts on one point only the last, the one on top, can be reached; the result is
// ordered by root path (with its trailing '/').
std::vector<MountEntry> VisibleMounts(std::vector<MountEntry> mounts);

}  // namespace platform
