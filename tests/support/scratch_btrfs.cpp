#include "scratch_btrfs.h"

#include <unistd.h>

#include <stdexcept>

namespace testing_support {

std::string ScratchBtrfs::WhyUnavailable() {
  if (geteuid() != 0) return "needs root to loop-mount a btrfs image (run scripts/test as root)";
  if (access("/dev/loop-control", F_OK) != 0) return "no loop devices (/dev/loop-control missing)";
  if (Shell("command -v mkfs.btrfs >/dev/null 2>&1") != 0) return "mkfs.btrfs missing (btrfs-progs)";
  return "";
}

ScratchBtrfs::ScratchBtrfs(int megabytes, const std::string& mount_options) {
  image_ = work_.path() + "image.btrfs";
  root_ = work_.path() + "mnt/";
  MakeDirs(root_);
  const std::string options = mount_options.empty() ? "loop" : "loop," + mount_options;
  const std::string command = "truncate -s " + std::to_string(megabytes) + "M '" + image_ +
                              "' && mkfs.btrfs -q -f '" + image_ + "' >/dev/null && mount -o " +
                              options + " '" + image_ + "' '" + root_ + "'";
  if (Shell(command) != 0) throw std::runtime_error("cannot make a scratch btrfs: " + command);
  mounted_ = true;
}

ScratchBtrfs::~ScratchBtrfs() {
  if (mounted_) Shell("umount -l '" + root_ + "'");
}

}  // namespace testing_support
