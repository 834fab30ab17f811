#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "btrfs_rewrite.h"
#include "btrfs_trees.h"
#include "platform/file_system.h"
#include "platform/safe_open.h"

namespace platform {

namespace {

constexpr uint32_t kBytesPerSector = 512;

int OpenRegularNoAtime(const std::string& path, int access) {
  int fd = OpenNoFollow(path, access | O_NOATIME | O_NONBLOCK | O_NOCTTY);
  // O_NOATIME is refused on files we do not own without CAP_FOWNER.
  if (fd < 0 && errno == EPERM) fd = OpenNoFollow(path, access | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return -1;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return -1;
  }
  return fd;
}

// A write lease is granted only while nobody else has the file open: the same test as opening
// without read sharing. The lease is given back at once; a break goes to SIGURG, which is ignored
// by default, never to the process-ending SIGIO.
bool OpenedElsewhere(int fd) {
  if (fcntl(fd, F_SETSIG, SIGURG) != 0) return false;
  if (fcntl(fd, F_SETLEASE, F_WRLCK) != 0) return errno == EAGAIN || errno == EBUSY;
  fcntl(fd, F_SETLEASE, F_UNLCK);
  return false;
}

class LinuxFileSystemImpl final : public FileSystem {
 public:
  bool ReadAttributes(const std::string& path, AttributeRecord& record) override {
    return ReadAttributeRecord(path, record);
  }

  bool ReadEntryAttributes(const std::string& path, const DirEntry& entry, AttributeRecord& record) override {
    return entry.folder_fd >= 0 ? ReadAttributeRecordAt(entry.folder_fd, entry.name, record)
                                : ReadAttributeRecord(path, record);
  }

  int64_t CompressedSize(const std::string& path) override {
    UniqueFd fd(OpenRegularNoAtime(path, O_RDONLY));
    std::vector<btrfs::FileExtentItem> items;
    if (!fd.Valid() || !btrfs::ReadFileExtents(fd.Get(), items)) return -1;
    return btrfs::DiskBytes(items);
  }

  bool GetDiskFreeSpace(const std::string& path, DiskGeometry& geometry) override {
    UniqueFd fd(OpenNoFollow(path, O_PATH));
    struct statvfs vfs {};
    if (!fd.Valid() || fstatvfs(fd.Get(), &vfs) != 0 || vfs.f_bsize == 0) return false;
    const uint64_t cluster = vfs.f_bsize;
    geometry.bytes_per_sector = cluster % kBytesPerSector == 0 ? kBytesPerSector : static_cast<uint32_t>(cluster);
    geometry.sectors_per_cluster = static_cast<uint32_t>(cluster / geometry.bytes_per_sector);
    geometry.free_clusters = vfs.f_bfree * vfs.f_frsize / cluster;
    geometry.total_clusters = vfs.f_blocks * vfs.f_frsize / cluster;
    return true;
  }

  void SetCompression(const std::string& path, const AttributeRecord& record, bool compress) override {
    UniqueFd fd(OpenRegularNoAtime(path, O_RDWR));
    if (!fd.Valid()) return;
    struct stat st {};
    // A read-only file stays as it is, even for root.
    if (fstat(fd.Get(), &st) != 0 || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return;
    if (OpenedElsewhere(fd.Get()) || btrfs::HasSharedExtents(fd.Get())) return;
    int flags = 0;
    if (ioctl(fd.Get(), FS_IOC_GETFLAGS, &flags) == 0) {
      // btrfs refuses COMPR and NOCOMP together, and marks files it gave up on with NOCOMP.
      const int wanted = compress ? ((flags | FS_COMPR_FL) & ~FS_NOCOMP_FL) : (flags & ~FS_COMPR_FL);
      const bool flag_set = wanted == flags || ioctl(fd.Get(), FS_IOC_SETFLAGS, &wanted) == 0;
      // Data that did not compress is already stored plain: clearing the flag is all it takes.
      if (flag_set && (compress || btrfs::HasCompressedExtents(fd.Get()))) btrfs::RewriteExtents(fd.Get(), compress);
    }
    futimens(fd.Get(), TimesToRestore(record).times);
  }

  int64_t ReadFileStart(const std::string& path, char* buffer, size_t size) override {
    UniqueFd fd(OpenRegularNoAtime(path, O_RDONLY));
    if (!fd.Valid()) return -1;
    const ssize_t bytes = read(fd.Get(), buffer, size);
    return bytes < 0 ? -1 : bytes;
  }
};

}  // namespace

std::unique_ptr<FileSystem> MakeLinuxFileSystem() { return std::make_unique<LinuxFileSystemImpl>(); }

}  // namespace platform
