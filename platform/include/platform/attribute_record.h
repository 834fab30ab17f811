#pragma once
#include <cstdint>
#include <ctime>
#include <string>

#include "platform/file_time.h"

namespace platform {

// The attribute bits keep their Windows values: the engine, the formats and a later Win32 layer
// all speak in them.
inline constexpr uint32_t FILE_ATTRIBUTE_READONLY = 0x1;
inline constexpr uint32_t FILE_ATTRIBUTE_HIDDEN = 0x2;
inline constexpr uint32_t FILE_ATTRIBUTE_SYSTEM = 0x4;
inline constexpr uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr uint32_t FILE_ATTRIBUTE_ARCHIVE = 0x20;
inline constexpr uint32_t FILE_ATTRIBUTE_NORMAL = 0x80;
inline constexpr uint32_t FILE_ATTRIBUTE_TEMPORARY = 0x100;
inline constexpr uint32_t FILE_ATTRIBUTE_COMPRESSED = 0x800;
inline constexpr uint32_t FILE_ATTRIBUTE_OFFLINE = 0x1000;

struct AttributeRecord {
  uint32_t attributes = 0;
  FileTime creation;
  FileTime last_access;
  FileTime last_write;
  uint32_t size_high = 0;
  uint32_t size_low = 0;
  // Nanoseconds below the 100 ns tick that the times cannot hold, so that times written back
  // equal the file's own to the nanosecond.
  uint8_t last_access_rest_ns = 0;
  uint8_t last_write_rest_ns = 0;

  int64_t Size() const {
    return static_cast<int64_t>((uint64_t{size_high} << 32) | size_low);
  }
  void SetSize(int64_t size) {
    size_high = static_cast<uint32_t>(static_cast<uint64_t>(size) >> 32);
    size_low = static_cast<uint32_t>(static_cast<uint64_t>(size));
  }
};

// Last access and last write as futimens takes them.
struct AccessAndWriteTimes {
  struct timespec times[2];
};
AccessAndWriteTimes TimesToRestore(const AttributeRecord& record);

// The word for an inode of the given type (st_mode) and inode flags (FS_IOC_GETFLAGS):
// anything but a regular file or a directory is OFFLINE, so the engine never opens it.
uint32_t AttributeWordFor(uint32_t mode, uint32_t inode_flags);

// Reads the record without following a link anywhere in the path. Only regular files and
// directories are opened (to read their inode flags), and never with an access-time update.
bool ReadAttributeRecord(const std::string& path, AttributeRecord& record);
// The same for the entry `name` of the open folder `dir_fd`, without resolving a path again.
bool ReadAttributeRecordAt(int dir_fd, const std::string& name, AttributeRecord& record);

}  // namespace platform
