#include "platform/attribute_record.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/safe_open.h"

namespace platform {

uint32_t AttributeWordFor(uint32_t mode, uint32_t inode_flags) {
  uint32_t word = 0;
  if (S_ISDIR(mode)) {
    word |= FILE_ATTRIBUTE_DIRECTORY;
  } else if (!S_ISREG(mode)) {
    return FILE_ATTRIBUTE_OFFLINE;
  }
  if (inode_flags & FS_COMPR_FL) word |= FILE_ATTRIBUTE_COMPRESSED;
  // btrfs cannot compress these, so they are treated like the system's own files.
  if (inode_flags & (FS_IMMUTABLE_FL | FS_APPEND_FL | FS_NOCOW_FL)) word |= FILE_ATTRIBUTE_SYSTEM;
  if ((mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) word |= FILE_ATTRIBUTE_READONLY;
  if (word == 0) word = FILE_ATTRIBUTE_NORMAL;
  return word;
}

namespace {

FileTime FromStatx(const struct statx_timestamp& t) { return FileTimeFromUnix(t.tv_sec, t.tv_nsec); }

// O_NOATIME is refused for files we do not own (without CAP_FOWNER); reading flags does not touch
// atime anyway, so the plain open is the fallback.
int OpenForFlags(const std::string& path, bool directory) {
  const int base = O_RDONLY | O_NONBLOCK | O_NOCTTY | (directory ? O_DIRECTORY : 0);
  int fd = OpenNoFollow(path, base | O_NOATIME);
  if (fd < 0 && errno == EPERM) fd = OpenNoFollow(path, base);
  return fd;
}

}  // namespace

bool ReadAttributeRecord(const std::string& path, AttributeRecord& record) {
  // An O_PATH descriptor pins the inode without opening it, so a FIFO or a device is never opened.
  UniqueFd pinned(OpenNoFollow(path, O_PATH));
  if (!pinned.Valid()) return false;
  struct statx stx {};
  if (statx(pinned.Get(), "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW,
            STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_BTIME | STATX_INO,
            &stx) != 0) {
    return false;
  }
  uint32_t inode_flags = 0;
  const bool regular = S_ISREG(stx.stx_mode);
  if (regular || S_ISDIR(stx.stx_mode)) {
    UniqueFd opened(OpenForFlags(path, !regular));
    struct stat st {};
    // The path may have been swapped between the two opens; only the pinned inode counts.
    if (!opened.Valid() || fstat(opened.Get(), &st) != 0 || st.st_ino != stx.stx_ino) return false;
    int flags = 0;
    if (ioctl(opened.Get(), FS_IOC_GETFLAGS, &flags) == 0) inode_flags = static_cast<uint32_t>(flags);
  }
  record.attributes = AttributeWordFor(stx.stx_mode, inode_flags);
  record.last_access = FromStatx(stx.stx_atime);
  record.last_write = FromStatx(stx.stx_mtime);
  record.creation = (stx.stx_mask & STATX_BTIME) ? FromStatx(stx.stx_btime) : record.last_write;
  record.SetSize(S_ISDIR(stx.stx_mode) ? 0 : static_cast<int64_t>(stx.stx_size));
  return true;
}

}  // namespace platform
