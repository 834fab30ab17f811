#pragma once
// Reading btrfs's own trees (needs CAP_SYS_ADMIN): a file's extent items and the free-space tree.
#include <cstdint>
#include <vector>

#include "platform/defrag_volume.h"

namespace platform::btrfs {

struct FileExtentItem {
  uint64_t file_offset = 0;
  uint8_t type = 0;         // inline, regular or preallocated
  uint8_t compression = 0;  // 0 = none
  uint64_t disk_bytenr = 0;  // 0 = a hole
  uint64_t disk_num_bytes = 0;
  uint64_t extent_offset = 0;
  uint64_t num_bytes = 0;
  uint64_t inline_bytes = 0;  // data stored in the item itself
};

// The file's extent items in file order; false when the tree cannot be read.
bool ReadFileExtents(int fd, std::vector<FileExtentItem>& items);

// Bytes the items take on disk: each referenced extent counted once, inline data as stored.
int64_t DiskBytes(const std::vector<FileExtentItem>& items);

// Physically contiguous runs of the file's data, in clusters of `cluster_size` bytes.
std::vector<FileExtent> Fragments(const std::vector<FileExtentItem>& items, uint64_t cluster_size);

// The volume's clusters, block group after block group, with a set bit for each used one.
bool ReadUsageBitmap(int fd, uint64_t cluster_size, VolumeBitmap& bitmap);

}  // namespace platform::btrfs
