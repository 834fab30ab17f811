#include "btrfs_rewrite.h"

#include <linux/btrfs.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <vector>

#include "btrfs_trees.h"

// Kernels from 6.15 rewrite uncompressed on request; older headers lack the flag.
#ifndef BTRFS_DEFRAG_RANGE_NOCOMPRESS
#define BTRFS_DEFRAG_RANGE_NOCOMPRESS 8
#endif

namespace platform::btrfs {

namespace {

constexpr uint32_t kCompressZstd = 3;
constexpr uint32_t kExtentsPerRequest = 512;

}  // namespace

bool HasSharedExtents(int fd) {
  std::vector<uint8_t> storage(sizeof(fiemap) + kExtentsPerRequest * sizeof(fiemap_extent));
  auto* map = reinterpret_cast<fiemap*>(storage.data());
  uint64_t start = 0;
  for (;;) {
    *map = fiemap{};
    map->fm_start = start;
    map->fm_length = FIEMAP_MAX_OFFSET - start;
    map->fm_extent_count = kExtentsPerRequest;
    // Unknown answers count as shared: refusing is the safe side.
    if (ioctl(fd, FS_IOC_FIEMAP, map) != 0) return true;
    if (map->fm_mapped_extents == 0) return false;
    for (uint32_t i = 0; i < map->fm_mapped_extents; ++i) {
      const fiemap_extent& extent = map->fm_extents[i];
      if (extent.fe_flags & FIEMAP_EXTENT_SHARED) return true;
      if (extent.fe_flags & FIEMAP_EXTENT_LAST) return false;
      start = extent.fe_logical + extent.fe_length;
    }
  }
}

bool RewriteExtents(int fd, bool compressed) {
  btrfs_ioctl_defrag_range_args args{};
  args.start = 0;
  args.len = UINT64_MAX;
  args.extent_thresh = UINT32_MAX;  // every extent is a target
  args.flags = BTRFS_DEFRAG_RANGE_START_IO |
               (compressed ? BTRFS_DEFRAG_RANGE_COMPRESS : BTRFS_DEFRAG_RANGE_NOCOMPRESS);
  args.compress_type = compressed ? kCompressZstd : 0;
  int result = ioctl(fd, BTRFS_IOC_DEFRAG_RANGE, &args);
  if (result != 0 && errno == EOPNOTSUPP && !compressed) {
    // Before 6.15: a plain rewrite follows the inode flag, which the caller has cleared.
    args.flags = BTRFS_DEFRAG_RANGE_START_IO;
    result = ioctl(fd, BTRFS_IOC_DEFRAG_RANGE, &args);
  }
  WaitForWriteback(fd);
  return result == 0;
}

void WaitForWriteback(int fd) {
  // A synced FIEMAP waits for the data's writeback and for btrfs to record the new extents, which
  // is all a size measured next needs; fdatasync would add a log commit and a disk cache flush
  // per file, several times the cost of the rewrite itself.
  fiemap map{};
  map.fm_start = 0;
  map.fm_length = FIEMAP_MAX_OFFSET;
  map.fm_flags = FIEMAP_FLAG_SYNC;
  map.fm_extent_count = 0;
  if (ioctl(fd, FS_IOC_FIEMAP, &map) != 0) fdatasync(fd);
}

bool HasCompressedExtents(int fd) {
  std::vector<FileExtentItem> items;
  if (!ReadFileExtents(fd, items)) return true;  // unknown: rewrite to be sure
  for (const FileExtentItem& item : items) {
    if (item.compression != 0) return true;
  }
  return false;
}

}  // namespace platform::btrfs
