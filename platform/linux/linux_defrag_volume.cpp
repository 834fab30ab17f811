#include <fcntl.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include "btrfs_rewrite.h"
#include "btrfs_trees.h"
#include "platform/defrag_volume.h"
#include "platform/safe_open.h"

namespace platform {

namespace {

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

// On btrfs the volume is the file system holding the file; btrfs picks the place of a move itself,
// so the requested clusters only say that a move is wanted.
class LinuxDefragVolumeImpl final : public DefragVolume {
 public:
  bool OpenVolume(const std::string& file_path) override {
    volume_.Reset(OpenNoFollow(FolderOf(file_path), O_RDONLY | O_DIRECTORY));
    struct statfs fs {};
    if (!volume_.Valid() || fstatfs(volume_.Get(), &fs) != 0 || fs.f_type != BTRFS_SUPER_MAGIC) {
      volume_.Reset();
      return false;
    }
    struct statvfs vfs {};
    cluster_size_ = fstatvfs(volume_.Get(), &vfs) == 0 ? vfs.f_bsize : 0;
    return cluster_size_ != 0;
  }

  void CloseVolume() override { volume_.Reset(); }

  bool FreeSpace(DiskGeometry& geometry) override {
    struct statvfs vfs {};
    if (!volume_.Valid() || fstatvfs(volume_.Get(), &vfs) != 0) return false;
    geometry.bytes_per_sector = 512;
    geometry.sectors_per_cluster = static_cast<uint32_t>(cluster_size_ / 512);
    geometry.free_clusters = vfs.f_bfree * vfs.f_frsize / cluster_size_;
    geometry.total_clusters = vfs.f_blocks * vfs.f_frsize / cluster_size_;
    return true;
  }

  bool TotalPhysicalMemory(uint64_t& bytes) override {
    struct sysinfo info {};
    if (sysinfo(&info) != 0) return false;
    bytes = static_cast<uint64_t>(info.totalram) * info.mem_unit;
    return true;
  }

  RequestStatus GetVolumeBitmap(size_t buffer_size, VolumeBitmap& bitmap) override {
    if (!volume_.Valid() || !btrfs::ReadUsageBitmap(volume_.Get(), cluster_size_, bitmap)) return RequestStatus::kFailed;
    return kBitmapAnswerHeader + bitmap.bits.size() > buffer_size ? RequestStatus::kMoreData : RequestStatus::kOk;
  }

  bool OpenFile(const std::string& path) override {
    file_.Reset(OpenNoFollow(path, O_RDONLY | O_NOATIME | O_NONBLOCK));
    if (!file_.Valid()) file_.Reset(OpenNoFollow(path, O_RDONLY | O_NONBLOCK));
    struct stat st {};
    if (file_.Valid() && (fstat(file_.Get(), &st) != 0 || !S_ISREG(st.st_mode))) file_.Reset();
    return file_.Valid();
  }

  void CloseFile() override { file_.Reset(); }

  RequestStatus GetFileExtents(size_t buffer_size, std::vector<FileExtent>& extents) override {
    std::vector<btrfs::FileExtentItem> items;
    if (!file_.Valid() || !btrfs::ReadFileExtents(file_.Get(), items)) return RequestStatus::kFailed;
    extents = btrfs::Fragments(items, cluster_size_);
    const size_t needed = kExtentsAnswerHeader + extents.size() * kExtentsAnswerPerExtent;
    return needed > buffer_size ? RequestStatus::kMoreData : RequestStatus::kOk;
  }

  bool MoveFile(uint64_t, uint32_t) override {
    if (!file_.Valid() || btrfs::HasSharedExtents(file_.Get())) return false;
    int flags = 0;
    if (ioctl(file_.Get(), FS_IOC_GETFLAGS, &flags) != 0) return false;
    return btrfs::RewriteExtents(file_.Get(), (flags & FS_COMPR_FL) != 0);
  }

  void RestoreTimes(const std::string& path, const AttributeRecord& record) override {
    UniqueFd fd(OpenNoFollow(path, O_RDONLY | O_NONBLOCK));
    struct stat st {};
    if (!fd.Valid() || fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return;
    futimens(fd.Get(), TimesToRestore(record).times);
  }

 private:
  UniqueFd volume_;
  UniqueFd file_;
  uint64_t cluster_size_ = 0;
};

}  // namespace

std::unique_ptr<DefragVolume> MakeLinuxDefragVolume() { return std::make_unique<LinuxDefragVolumeImpl>(); }

}  // namespace platform
