#pragma once
#include <string>

#include "temp_dir.h"

namespace testing_support {

// A btrfs file system made with mkfs.btrfs on an image file and loop-mounted in a temporary
// folder; unmounted and removed at the end. Needs root, loop devices and btrfs-progs.
class ScratchBtrfs {
 public:
  // Empty when such a file system can be made here, else why not.
  static std::string WhyUnavailable();

  explicit ScratchBtrfs(int megabytes = 256, const std::string& mount_options = "");
  ScratchBtrfs(const ScratchBtrfs&) = delete;
  ScratchBtrfs& operator=(const ScratchBtrfs&) = delete;
  ~ScratchBtrfs();

  bool Mounted() const { return mounted_; }
  // The mount point, with a trailing '/'.
  const std::string& root() const { return root_; }

 private:
  TempDir work_;
  std::string image_;
  std::string root_;
  bool mounted_ = false;
};

}  // namespace testing_support

// Skips the current test, saying why, where a scratch btrfs cannot be made.
#define REQUIRE_SCRATCH_BTRFS()                                              \
  do {                                                                       \
    const std::string why = ::testing_support::ScratchBtrfs::WhyUnavailable(); \
    if (!why.empty()) GTEST_SKIP() << why;                                   \
  } while (false)
