#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/attribute_record.h"
#include "platform/directory_reader.h"

namespace platform {

struct DiskGeometry {
  uint32_t sectors_per_cluster = 0;
  uint32_t bytes_per_sector = 0;
  uint64_t free_clusters = 0;
  uint64_t total_clusters = 0;
};

// The file-level primitives the engine decides with. None reports a failure of a change: the
// engine reads the attributes again to learn what happened.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual bool ReadAttributes(const std::string& path, AttributeRecord& record) = 0;
  // The same for an entry of a folder being listed: no path lookup where the system allows it.
  virtual bool ReadEntryAttributes(const std::string& path, const DirEntry& entry, AttributeRecord& record) {
    (void)entry;
    return ReadAttributes(path, record);
  }
  // Bytes the file's data takes on disk; -1 when it cannot be measured.
  virtual int64_t CompressedSize(const std::string& path) = 0;
  virtual bool GetDiskFreeSpace(const std::string& path, DiskGeometry& geometry) = 0;
  // Switches the file system's compression of the file on or off and puts the record's times
  // back. A file that cannot be opened for writing, is in use, or shares its data with another
  // file or a snapshot stays as it was.
  virtual void SetCompression(const std::string& path, const AttributeRecord& record, bool compress) = 0;
  // Reads up to `size` bytes from the start without marking the file as used; -1 on failure.
  virtual int64_t ReadFileStart(const std::string& path, char* buffer, size_t size) = 0;
};

std::unique_ptr<FileSystem> MakeLinuxFileSystem();

}  // namespace platform
