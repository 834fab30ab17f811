#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/attribute_record.h"
#include "platform/file_system.h"

namespace platform {

enum class RequestStatus { kOk, kMoreData, kFailed };

// One bit per cluster of the volume, set for a used cluster.
struct VolumeBitmap {
  uint64_t starting_cluster = 0;
  uint64_t cluster_count = 0;
  std::vector<uint8_t> bits;
};

struct FileExtent {
  uint64_t next_file_cluster = 0;
  uint64_t volume_cluster = 0;
};

// Header bytes of the answers, as the buffers the defragmenter allocates are counted.
inline constexpr size_t kBitmapAnswerHeader = 16;
inline constexpr size_t kExtentsAnswerHeader = 16;
inline constexpr size_t kExtentsAnswerPerExtent = 16;

// The volume requests the defragmenter works through. Requests whose answer does not fit the
// caller's buffer size answer kMoreData, so the caller grows its buffer and asks again.
class DefragVolume {
 public:
  virtual ~DefragVolume() = default;
  // The volume that holds `file_path`; false when it has none or cannot be opened.
  virtual bool OpenVolume(const std::string& file_path) = 0;
  virtual void CloseVolume() = 0;
  virtual bool FreeSpace(DiskGeometry& geometry) = 0;
  virtual bool TotalPhysicalMemory(uint64_t& bytes) = 0;
  virtual RequestStatus GetVolumeBitmap(size_t buffer_size, VolumeBitmap& bitmap) = 0;
  virtual bool OpenFile(const std::string& path) = 0;
  virtual void CloseFile() = 0;
  virtual RequestStatus GetFileExtents(size_t buffer_size, std::vector<FileExtent>& extents) = 0;
  // Moves the open file, whole, to the given clusters (a system may choose the place itself).
  virtual bool MoveFile(uint64_t volume_cluster, uint32_t cluster_count) = 0;
  virtual void RestoreTimes(const std::string& path, const AttributeRecord& record) = 0;
};

std::unique_ptr<DefragVolume> MakeLinuxDefragVolume();

}  // namespace platform
