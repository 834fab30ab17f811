// The drive tree over the machine's real mount table, with loop-mounted btrfs and ext4 images.
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "compressor/drive_tree.h"
#include "platform/drives.h"
#include "scratch_btrfs.h"
#include "temp_dir.h"

namespace {

using compressor::DriveTree;
using compressor::TreeNode;
using testing_support::MakeDirs;
using testing_support::Shell;
using testing_support::TempDir;
using testing_support::WriteFile;

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// An ext4 image loop-mounted in a temporary folder.
class ScratchExt4 {
 public:
  ScratchExt4() : root_(work_.path() + "mnt/") {
    MakeDirs(root_);
    const std::string image = work_.path() + "image.ext4";
    if (Shell("truncate -s 32M " + Quoted(image) + " && mkfs.ext4 -q -F " + Quoted(image) +
              " >/dev/null 2>&1 && mount -o loop " + Quoted(image) + " " + Quoted(root_)) != 0) {
      throw std::runtime_error("cannot make a scratch ext4");
    }
  }
  ~ScratchExt4() { Shell("umount -l " + Quoted(root_)); }
  const std::string& root() const { return root_; }

 private:
  TempDir work_;
  std::string root_;
};

// A second mount of a subvolume of a mounted btrfs.
class SubvolumeMount {
 public:
  SubvolumeMount(const std::string& btrfs_root, const std::string& subvolume) : root_(work_.path() + "mnt/") {
    MakeDirs(root_);
    if (Shell("btrfs -q subvolume create " + Quoted(btrfs_root + subvolume) + " >/dev/null && mount -o subvol=" +
              subvolume + " \"$(findmnt -n -o SOURCE " + Quoted(btrfs_root) + ")\" " + Quoted(root_)) != 0) {
      throw std::runtime_error("cannot mount a btrfs subvolume");
    }
  }
  ~SubvolumeMount() { Shell("umount -l " + Quoted(root_)); }
  const std::string& root() const { return root_; }

 private:
  TempDir work_;
  std::string root_;
};

// The machine's drives, of which only the test's own are kept.
class OwnDrives final : public platform::DriveTable {
 public:
  explicit OwnDrives(std::vector<std::string> roots) : roots_(std::move(roots)) {}
  std::vector<platform::DriveInfo> Drives() const override {
    std::vector<platform::DriveInfo> drives = system_.Drives();
    std::erase_if(drives, [&](const platform::DriveInfo& drive) {
      return std::find(roots_.begin(), roots_.end(), drive.root_path) == roots_.end();
    });
    return drives;
  }
  bool Space(const std::string& root_path, platform::DriveSpace& space) const override {
    return system_.Space(root_path, space);
  }

 private:
  platform::SystemDriveTable system_;
  std::vector<std::string> roots_;
};

const TreeNode& DriveAt(const DriveTree& tree, const std::string& root) {
  for (size_t i = 0; i < tree.DriveCount(); ++i) {
    if (tree.Drive(i).Text().rfind(root + " [", 0) == 0) return tree.Drive(i);
  }
  throw std::runtime_error("no drive " + root);
}

std::vector<std::string> Texts(const TreeNode& node) {
  std::vector<std::string> texts;
  for (size_t i = 0; i < node.ChildCount(); ++i) texts.push_back(node.Child(i).Text());
  return texts;
}

void RequireExt4() {
  if (Shell("command -v mkfs.ext4 >/dev/null 2>&1") != 0) GTEST_SKIP() << "mkfs.ext4 missing (e2fsprogs)";
}

TEST(DriveTreeMountTest, BtrfsIsCheckedWithItsRootEntriesAndExt4IsALineWithoutBox) {
  REQUIRE_SCRATCH_BTRFS();
  RequireExt4();
  testing_support::ScratchBtrfs btrfs;
  ScratchExt4 ext4;
  MakeDirs(btrfs.root() + "Docs");
  MakeDirs(btrfs.root() + ".snapshots");
  WriteFile(btrfs.root() + "data.bin", std::string(100000, 'x'));
  MakeDirs(ext4.root() + "folder");
  ASSERT_EQ(Shell("sync"), 0);

  OwnDrives drives({btrfs.root(), ext4.root()});
  const std::vector<platform::DriveInfo> listed = drives.Drives();
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_LT(listed[0].root_path, listed[1].root_path) << "in path order";

  DriveTree tree(drives);
  tree.FillDriveTree();
  ASSERT_EQ(tree.DriveCount(), 2u);

  struct statfs fs {};
  ASSERT_EQ(statfs(btrfs.root().c_str(), &fs), 0);
  int32_t fsid[2];
  std::copy_n(reinterpret_cast<const char*>(&fs.f_fsid), sizeof fsid, reinterpret_cast<char*>(fsid));
  const TreeNode& compressing = DriveAt(tree, btrfs.root());
  EXPECT_EQ(compressing.Text(), btrfs.root() + " [btrfs], " + std::to_string(fsid[0]) + ", Sector: 512 Bytes");
  EXPECT_EQ(compressing.State(), compressor::kStateChecked);
  EXPECT_EQ(compressing.Kind(), compressor::kKindCompressingDrive);
  EXPECT_EQ(Texts(compressing), (std::vector<std::string>{"Docs", "data.bin"}));
  EXPECT_TRUE(compressing.Child(0).HasPlaceholder());

  const TreeNode& plain = DriveAt(tree, ext4.root());
  EXPECT_EQ(plain.Text(), ext4.root() + " [ext4], Skiped because not NTFS");
  EXPECT_EQ(plain.State(), compressor::kStateNone);
  EXPECT_EQ(plain.Data(), nullptr);
  EXPECT_EQ(plain.ChildCount(), 0u) << "no expand button";

  struct statvfs vfs {};
  ASSERT_EQ(statvfs(btrfs.root().c_str(), &vfs), 0);
  const compressor::DiskSizes sizes = tree.UpdateDiskSizes(nullptr);
  EXPECT_EQ(sizes.CheckedDisksSize, static_cast<int64_t>(vfs.f_frsize * vfs.f_blocks)) << "only the btrfs counts";
  EXPECT_EQ(sizes.CheckedDisksFree, static_cast<int64_t>(vfs.f_frsize * vfs.f_bavail));
  EXPECT_EQ(sizes.Label1, "Full Disk(s) Size: " + std::to_string(sizes.CheckedDisksSize / 1048576) + " Mebibytes");
}

TEST(DriveTreeMountTest, TwoMountsOfOneBtrfsAreTwoDrivesCountedOnce) {
  REQUIRE_SCRATCH_BTRFS();
  testing_support::ScratchBtrfs btrfs;
  SubvolumeMount second(btrfs.root(), "home");
  WriteFile(second.root() + "inside-subvolume", "x");

  OwnDrives drives({btrfs.root(), second.root()});
  DriveTree tree(drives);
  tree.FillDriveTree();
  ASSERT_EQ(tree.DriveCount(), 2u);
  EXPECT_EQ(Texts(DriveAt(tree, second.root())), std::vector<std::string>{"inside-subvolume"});

  struct statvfs vfs {};
  ASSERT_EQ(statvfs(btrfs.root().c_str(), &vfs), 0);
  EXPECT_EQ(tree.UpdateDiskSizes(nullptr).CheckedDisksSize, static_cast<int64_t>(vfs.f_frsize * vfs.f_blocks));
}

TEST(DriveTreeMountTest, VirtualFileSystemsAreNoDrives) {
  const std::vector<platform::DriveInfo> drives = platform::SystemDriveTable().Drives();
  for (const platform::DriveInfo& drive : drives) {
    EXPECT_NE(drive.root_path, "/proc/");
    EXPECT_NE(drive.root_path, "/sys/");
    EXPECT_NE(drive.file_system, "tmpfs") << drive.root_path;
    EXPECT_EQ(drive.root_path.back(), '/');
    EXPECT_GT(drive.bytes_per_sector, 0u) << drive.root_path;
  }
  EXPECT_TRUE(std::is_sorted(drives.begin(), drives.end(), [](const auto& a, const auto& b) {
    return a.root_path < b.root_path;
  }));
}

}  // namespace
