#pragma once
// Rewrites through btrfs itself: the file system copies the data, our code never writes it.

namespace platform::btrfs {

// True when any extent of the open file is shared with another file or a snapshot: rewriting it
// would unshare the data and grow the disk usage.
bool HasSharedExtents(int fd);

// Rewrites every extent of the open file, compressed (zstd) or uncompressed, and waits until the
// new extents are on disk, so a size measured afterwards is the new one. False when refused.
bool RewriteExtents(int fd, bool compressed);

// Waits until the open file's data is written and its extents are recorded.
void WaitForWriteback(int fd);

// True when any extent of the open file is stored compressed, or when that cannot be told.
bool HasCompressedExtents(int fd);

}  // namespace platform::btrfs
