#include "platform/attribute_record.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

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

AccessAndWriteTimes TimesToRestore(const AttributeRecord& record) {
  AccessAndWriteTimes result{{TimespecFromFileTime(record.last_access), TimespecFromFileTime(record.last_write)}};
  result.times[0].tv_nsec += record.last_access_rest_ns % 100;
  result.times[1].tv_nsec += record.last_write_rest_ns % 100;
  return result;
}

namespace {

constexpr unsigned kRecordMask = STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_BTIME | STATX_INO;

FileTime FromStatx(const struct statx_timestamp& t) { return FileTimeFromUnix(t.tv_sec, t.tv_nsec); }

// Opens the inode `stx` describes to read its flags; -1 when the name now stands for another one.
// O_NOATIME is refused on files we do not own without CAP_FOWNER; reading flags does not touch
// the access time anyway, so the plain open is the fallback.
int OpenSameInode(int dir_fd, const char* name, const struct statx& stx) {
  const int base = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (S_ISDIR(stx.stx_mode) ? O_DIRECTORY : 0);
  int fd = openat(dir_fd, name, base | O_NOATIME);
  if (fd < 0 && errno == EPERM) fd = openat(dir_fd, name, base);
  if (fd < 0) return -1;
  struct stat st {};
  if (fstat(fd, &st) != 0 || st.st_ino != stx.stx_ino || (st.st_mode & S_IFMT) != (stx.stx_mode & S_IFMT)) {
    close(fd);
    return -1;
  }
  return fd;
}

bool ReadRecord(int dir_fd, const char* name, int stat_flags, AttributeRecord& record) {
  struct statx stx {};
  if (statx(dir_fd, name, stat_flags | AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kRecordMask, &stx) != 0) return false;
  uint32_t inode_flags = 0;
  // Only regular files and directories are opened; the statx came first, so a FIFO or a device
  // never is.
  if (S_ISREG(stx.stx_mode) || S_ISDIR(stx.stx_mode)) {
    UniqueFd opened(OpenSameInode(dir_fd, name, stx));
    if (!opened.Valid()) return false;
    int flags = 0;
    if (ioctl(opened.Get(), FS_IOC_GETFLAGS, &flags) == 0) inode_flags = static_cast<uint32_t>(flags);
  }
  record.attributes = AttributeWordFor(stx.stx_mode, inode_flags);
  record.last_access = FromStatx(stx.stx_atime);
  record.last_write = FromStatx(stx.stx_mtime);
  record.last_access_rest_ns = static_cast<uint8_t>(stx.stx_atime.tv_nsec % 100);
  record.last_write_rest_ns = static_cast<uint8_t>(stx.stx_mtime.tv_nsec % 100);
  record.creation = (stx.stx_mask & STATX_BTIME) ? FromStatx(stx.stx_btime) : record.last_write;
  record.SetSize(S_ISDIR(stx.stx_mode) ? 0 : static_cast<int64_t>(stx.stx_size));
  return true;
}

}  // namespace

bool ReadAttributeRecordAt(int dir_fd, const std::string& name, AttributeRecord& record) {
  if (name.empty() || name.find('/') != std::string::npos) return false;
  return ReadRecord(dir_fd, name.c_str(), 0, record);
}

bool ReadAttributeRecord(const std::string& path, AttributeRecord& record) {
  // The folder is opened refusing links anywhere on the way; the name itself is never followed.
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ReadAttributeRecordAt(AT_FDCWD, path, record);
  if (slash + 1 == path.size()) {
    UniqueFd folder(OpenNoFollow(path, O_RDONLY | O_DIRECTORY));
    return folder.Valid() && ReadRecord(folder.Get(), "", AT_EMPTY_PATH, record);
  }
  UniqueFd folder(OpenNoFollow(path.substr(0, slash + 1), O_RDONLY | O_DIRECTORY));
  return folder.Valid() && ReadAttributeRecordAt(folder.Get(), path.substr(slash + 1), record);
}

}  // namespace platform
