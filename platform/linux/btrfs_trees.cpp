#include "btrfs_trees.h"

#include <linux/btrfs.h>
#include <linux/btrfs_tree.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <cstring>
#include <map>
#include <set>

namespace platform::btrfs {

namespace {

constexpr size_t kSearchBufferBytes = 256 * 1024;

template <typename T>
T Load(const uint8_t* data) {
  T value;
  std::memcpy(&value, data, sizeof value);
  return value;
}

struct SearchItem {
  uint64_t objectid;
  uint32_t type;
  uint64_t offset;
  const uint8_t* data;
  uint32_t length;
};

// Runs a tree search over [min, max] keys, calling `visit` for every item, batch after batch.
template <typename Visit>
bool SearchTree(int fd, btrfs_ioctl_search_key key, Visit visit) {
  std::vector<uint64_t> storage((sizeof(btrfs_ioctl_search_args_v2) + kSearchBufferBytes) / sizeof(uint64_t) + 1);
  auto* args = reinterpret_cast<btrfs_ioctl_search_args_v2*>(storage.data());
  for (;;) {
    args->key = key;
    args->key.nr_items = UINT32_MAX;
    args->buf_size = kSearchBufferBytes;
    if (ioctl(fd, BTRFS_IOC_TREE_SEARCH_V2, args) != 0) return false;
    if (args->key.nr_items == 0) return true;
    const auto* buffer = reinterpret_cast<const uint8_t*>(args->buf);
    size_t position = 0;
    btrfs_ioctl_search_header last{};
    for (uint32_t i = 0; i < args->key.nr_items; ++i) {
      if (position + sizeof(btrfs_ioctl_search_header) > kSearchBufferBytes) return false;
      const auto header = Load<btrfs_ioctl_search_header>(buffer + position);
      position += sizeof header;
      if (position + header.len > kSearchBufferBytes) return false;
      visit(SearchItem{header.objectid, header.type, header.offset, buffer + position, header.len});
      position += header.len;
      last = header;
    }
    // Continue after the last key seen.
    key.min_objectid = last.objectid;
    key.min_type = last.type;
    key.min_offset = last.offset + 1;
    if (last.offset == UINT64_MAX) {
      key.min_offset = 0;
      if (++key.min_type > 255) {
        key.min_type = 0;
        if (key.min_objectid == UINT64_MAX) return true;
        ++key.min_objectid;
      }
    }
    if (key.min_objectid > key.max_objectid) return true;
  }
}

}  // namespace

bool ReadFileExtents(int fd, std::vector<FileExtentItem>& items) {
  struct stat st {};
  if (fstat(fd, &st) != 0) return false;
  btrfs_ioctl_search_key key{};
  key.tree_id = 0;  // the subvolume of `fd`
  key.min_objectid = key.max_objectid = st.st_ino;
  key.min_type = key.max_type = BTRFS_EXTENT_DATA_KEY;
  key.min_offset = 0;
  key.max_offset = UINT64_MAX;
  key.min_transid = 0;
  key.max_transid = UINT64_MAX;
  items.clear();
  constexpr size_t kHeader = offsetof(btrfs_file_extent_item, disk_bytenr);
  return SearchTree(fd, key, [&](const SearchItem& found) {
    if (found.type != BTRFS_EXTENT_DATA_KEY || found.objectid != st.st_ino || found.length < kHeader) return;
    FileExtentItem item;
    item.file_offset = found.offset;
    item.compression = found.data[offsetof(btrfs_file_extent_item, compression)];
    item.type = found.data[offsetof(btrfs_file_extent_item, type)];
    if (item.type == BTRFS_FILE_EXTENT_INLINE) {
      item.inline_bytes = found.length - kHeader;
      item.num_bytes = Load<uint64_t>(found.data + offsetof(btrfs_file_extent_item, ram_bytes));
    } else if (found.length >= sizeof(btrfs_file_extent_item)) {
      item.disk_bytenr = Load<uint64_t>(found.data + offsetof(btrfs_file_extent_item, disk_bytenr));
      item.disk_num_bytes = Load<uint64_t>(found.data + offsetof(btrfs_file_extent_item, disk_num_bytes));
      item.extent_offset = Load<uint64_t>(found.data + offsetof(btrfs_file_extent_item, offset));
      item.num_bytes = Load<uint64_t>(found.data + offsetof(btrfs_file_extent_item, num_bytes));
    }
    items.push_back(item);
  });
}

int64_t DiskBytes(const std::vector<FileExtentItem>& items) {
  std::set<uint64_t> counted;
  int64_t bytes = 0;
  for (const FileExtentItem& item : items) {
    if (item.type == BTRFS_FILE_EXTENT_INLINE) {
      bytes += static_cast<int64_t>(item.inline_bytes);
    } else if (item.disk_bytenr != 0 && counted.insert(item.disk_bytenr).second) {
      bytes += static_cast<int64_t>(item.disk_num_bytes);
    }
  }
  return bytes;
}

std::vector<FileExtent> Fragments(const std::vector<FileExtentItem>& items, uint64_t cluster_size) {
  std::vector<FileExtent> fragments;
  if (cluster_size == 0) return fragments;
  uint64_t run_end = 0;
  bool in_run = false;
  for (const FileExtentItem& item : items) {
    if (item.type == BTRFS_FILE_EXTENT_INLINE || item.disk_bytenr == 0) continue;
    // A compressed extent is read whole; a plain one only for the part the file uses.
    const bool compressed = item.compression != 0;
    const uint64_t start = compressed ? item.disk_bytenr : item.disk_bytenr + item.extent_offset;
    const uint64_t length = compressed ? item.disk_num_bytes : item.num_bytes;
    const uint64_t file_end_cluster = (item.file_offset + item.num_bytes + cluster_size - 1) / cluster_size;
    if (in_run && start == run_end) {
      fragments.back().next_file_cluster = file_end_cluster;
    } else {
      fragments.push_back(FileExtent{file_end_cluster, start / cluster_size});
    }
    run_end = start + length;
    in_run = true;
  }
  return fragments;
}

bool ReadUsageBitmap(int fd, uint64_t cluster_size, VolumeBitmap& bitmap) {
  if (cluster_size == 0) return false;
  btrfs_ioctl_search_key key{};
  key.tree_id = BTRFS_FREE_SPACE_TREE_OBJECTID;
  key.min_objectid = 0;
  key.max_objectid = UINT64_MAX;
  key.min_type = BTRFS_FREE_SPACE_INFO_KEY;
  key.max_type = BTRFS_FREE_SPACE_BITMAP_KEY;
  key.min_offset = 0;
  key.max_offset = UINT64_MAX;
  key.min_transid = 0;
  key.max_transid = UINT64_MAX;
  struct Range {
    uint64_t start, length;
  };
  std::map<uint64_t, uint64_t> groups;  // start -> length
  std::vector<Range> free_ranges;
  const bool read = SearchTree(fd, key, [&](const SearchItem& item) {
    if (item.type == BTRFS_FREE_SPACE_INFO_KEY) {
      groups[item.objectid] = item.offset;
    } else if (item.type == BTRFS_FREE_SPACE_EXTENT_KEY) {
      free_ranges.push_back({item.objectid, item.offset});
    } else if (item.type == BTRFS_FREE_SPACE_BITMAP_KEY) {
      // One bit per cluster-sized unit, set for free space.
      const uint64_t units = item.offset / cluster_size;
      for (uint64_t unit = 0; unit < units && unit / 8 < item.length; ++unit) {
        if (item.data[unit / 8] & (1u << (unit % 8))) free_ranges.push_back({item.objectid + unit * cluster_size, cluster_size});
      }
    }
  });
  if (!read || groups.empty()) return false;
  std::map<uint64_t, uint64_t> first_cluster;  // group start -> its first cluster in the bitmap
  uint64_t clusters = 0;
  for (const auto& [start, length] : groups) {
    first_cluster[start] = clusters;
    clusters += length / cluster_size;
  }
  bitmap.starting_cluster = 0;
  bitmap.cluster_count = clusters;
  bitmap.bits.assign((clusters + 7) / 8, 0xFF);
  for (const Range& range : free_ranges) {
    auto group = groups.upper_bound(range.start);
    if (group == groups.begin()) continue;
    --group;
    const uint64_t base = first_cluster[group->first] + (range.start - group->first) / cluster_size;
    const uint64_t end = std::min(base + range.length / cluster_size, clusters);
    for (uint64_t cluster = base; cluster < end; ++cluster) {
      bitmap.bits[cluster / 8] &= static_cast<uint8_t>(~(1u << (cluster % 8)));
    }
  }
  return true;
}

}  // namespace platform::btrfs
