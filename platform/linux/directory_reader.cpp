#include "platform/directory_reader.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

#include "platform/attribute_record.h"

namespace platform {

namespace {

constexpr size_t kBufferSize = 64 * 1024;

struct LinuxDirent64 {
  uint64_t d_ino;
  int64_t d_off;
  unsigned short d_reclen;
  unsigned char d_type;
  char d_name[1];
};

bool IsDotOrDotDot(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

}  // namespace

bool DirectoryReader::Open(const std::string& folder_path) {
  Close();
  fd_.Reset(OpenNoFollow(folder_path, O_RDONLY | O_DIRECTORY));
  if (!fd_.Valid()) return false;
  struct stat self {};
  volume_ = fstat(fd_.Get(), &self) == 0 ? self.st_dev : 0;
  buffer_.resize(kBufferSize);
  return true;
}

void DirectoryReader::Close() {
  fd_.Reset();
  filled_ = 0;
  offset_ = 0;
}

bool DirectoryReader::Refill() {
  const long read = syscall(SYS_getdents64, fd_.Get(), buffer_.data(), buffer_.size());
  if (read <= 0) return false;
  filled_ = read;
  offset_ = 0;
  return true;
}

uint32_t DirectoryReader::AttributesOf(const char* name, unsigned char d_type, bool& other_mount) const {
  other_mount = false;
  if (d_type == DT_REG) return FILE_ATTRIBUTE_NORMAL;
  if (d_type != DT_DIR && d_type != DT_UNKNOWN) return FILE_ATTRIBUTE_OFFLINE;
  if (IsDotOrDotDot(name)) return FILE_ATTRIBUTE_DIRECTORY;
  struct statx stx {};
  if (statx(fd_.Get(), name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE, &stx) != 0) {
    // Gone since the listing: let the walk find that out on its own.
    return d_type == DT_DIR ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
  }
  if (S_ISDIR(stx.stx_mode)) {
    if (stx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) {
      other_mount = (stx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    } else {
      struct stat self {};
      other_mount = fstat(fd_.Get(), &self) == 0 &&
                    makedev(stx.stx_dev_major, stx.stx_dev_minor) != self.st_dev;
    }
    return FILE_ATTRIBUTE_DIRECTORY;
  }
  return S_ISREG(stx.stx_mode) ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_OFFLINE;
}

bool DirectoryReader::Next(DirEntry& entry) {
  if (!fd_.Valid()) return false;
  for (;;) {
    if (offset_ >= filled_ && !Refill()) return false;
    const char* record = buffer_.data() + offset_;
    unsigned short length = 0;
    std::memcpy(&length, record + offsetof(LinuxDirent64, d_reclen), sizeof length);
    const unsigned char type = static_cast<unsigned char>(record[offsetof(LinuxDirent64, d_type)]);
    const char* name = record + offsetof(LinuxDirent64, d_name);
    offset_ += length;
    bool other_mount = false;
    const uint32_t attributes = AttributesOf(name, type, other_mount);
    if (other_mount) continue;
    entry.name.assign(name);
    entry.attributes = attributes;
    entry.volume = volume_;
    entry.folder_fd = fd_.Get();
    return true;
  }
}

}  // namespace platform
