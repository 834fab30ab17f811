// Which mounted file systems are drives, from the kernel's mount table.
#include <gtest/gtest.h>

#include "platform/drives.h"

namespace {

using platform::MountEntry;

std::vector<std::string> MountPoints(const std::vector<MountEntry>& mounts) {
  std::vector<std::string> points;
  for (const MountEntry& mount : mounts) points.push_back(mount.mount_point);
  return points;
}

TEST(MountInfoTest, ReadsTheFieldsAroundTheOptionalOnes) {
  const auto mounts = platform::ParseMountInfo(
      "28 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw\n"
      "47 28 0:41 / /mnt/my\\040disk rw,relatime shared:5 master:2 - btrfs /dev/loop0 rw,subvol=/\n"
      "48 28 0:41 /sub /home rw - btrfs /dev/loop0 rw,subvol=/sub\n");
  ASSERT_EQ(mounts.size(), 3u);
  EXPECT_EQ(mounts[0].mount_point, "/");
  EXPECT_EQ(mounts[0].file_system, "ext4");
  EXPECT_EQ(mounts[0].source, "/dev/vda");
  EXPECT_EQ(mounts[0].major, 254u);
  EXPECT_EQ(mounts[0].minor, 0u);
  EXPECT_EQ(mounts[1].mount_point, "/mnt/my disk");
  EXPECT_EQ(mounts[1].file_system, "btrfs");
  // Two subvolumes of one file system share its number.
  EXPECT_EQ(mounts[1].major, mounts[2].major);
  EXPECT_EQ(mounts[1].minor, mounts[2].minor);
}

TEST(MountInfoTest, SkipsLinesThatDoNotParse) {
  const auto mounts = platform::ParseMountInfo(
      "\n"
      "garbage\n"
      "1 2 x:y / /bad-device rw - ext4 /dev/sda rw\n"
      "1 2 8:1 / /no-separator rw ext4 /dev/sda rw\n"
      "1 2 8:1 / relative rw - ext4 /dev/sda rw\n"
      "1 2 8:1 / /cut-short rw - ext4\n"
      "1 2 8:1 / /good\\011tab\\134 rw - ext4 /dev/sda1 rw");
  EXPECT_EQ(MountPoints(mounts), std::vector<std::string>{"/good\ttab\\"});
}

TEST(MountInfoTest, OnlyTheTopMountOfAPointCountsAndTheResultIsInPathOrder) {
  auto mounts = platform::ParseMountInfo(
      "1 0 8:1 / /srv rw - ext4 /dev/sda1 rw\n"
      "2 0 8:2 / /boot rw - ext4 /dev/sda2 rw\n"
      "3 0 8:3 / /srv rw - btrfs /dev/sda3 rw\n"
      "4 0 8:4 / / rw - ext4 /dev/sda4 rw\n"
      "5 0 8:5 / /srv-old rw - ext4 /dev/sda5 rw\n");
  const auto visible = platform::VisibleMounts(std::move(mounts));
  // As the root paths read: "/srv-old/" before "/srv/".
  EXPECT_EQ(MountPoints(visible), (std::vector<std::string>{"/", "/boot", "/srv-old", "/srv"}));
  EXPECT_EQ(visible[3].file_system, "btrfs");
}

}  // namespace
