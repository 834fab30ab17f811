#pragma once
#include <map>
#include <string>
#include <vector>

#include "platform/defrag_volume.h"
#include "platform/file_system.h"

namespace testing_support {

// Files with attributes, compressed sizes and contents, and what a compression does to them; for
// decisions that must be exact.
class FakeFileSystem final : public platform::FileSystem {
 public:
  struct File {
    platform::AttributeRecord record;
    int64_t compressed_size = -1;  // -1: cannot be measured
    std::string contents;
    // What compressing leaves: the compressed size afterwards, or -1 when the change is refused.
    int64_t size_after_compression = -1;
  };
  struct Change {
    std::string path;
    bool compress;
    platform::AttributeRecord record;
  };

  File& Add(const std::string& path, int64_t size, uint32_t attributes = platform::FILE_ATTRIBUTE_NORMAL);

  bool ReadAttributes(const std::string& path, platform::AttributeRecord& record) override;
  int64_t CompressedSize(const std::string& path) override;
  bool GetDiskFreeSpace(const std::string& path, platform::DiskGeometry& geometry) override;
  void SetCompression(const std::string& path, const platform::AttributeRecord& record, bool compress) override;
  int64_t ReadFileStart(const std::string& path, char* buffer, size_t size) override;

  std::map<std::string, File> files;
  std::vector<Change> changes;
  platform::DiskGeometry geometry{8, 512, 1000000, 2000000};  // 4096-byte clusters
  bool geometry_fails = false;
  int geometry_calls = 0;
};

// A volume with a usage bitmap and per-file extents; requests answer "more data" until the caller's
// buffer is large enough, as the real requests do.
class FakeDefragVolume final : public platform::DefragVolume {
 public:
  bool OpenVolume(const std::string& file_path) override;
  void CloseVolume() override { volume_open = false; }
  bool FreeSpace(platform::DiskGeometry& out) override;
  bool TotalPhysicalMemory(uint64_t& bytes) override;
  platform::RequestStatus GetVolumeBitmap(size_t buffer_size, platform::VolumeBitmap& bitmap) override;
  bool OpenFile(const std::string& path) override;
  void CloseFile() override { file_open = false; }
  platform::RequestStatus GetFileExtents(size_t buffer_size, std::vector<platform::FileExtent>& extents) override;
  bool MoveFile(uint64_t volume_cluster, uint32_t cluster_count) override;
  void RestoreTimes(const std::string& path, const platform::AttributeRecord& record) override;

  struct Move {
    std::string path;
    uint64_t volume_cluster;
    uint32_t cluster_count;
  };

  bool has_volume = true;
  platform::DiskGeometry geometry{8, 512, 1000000, 2000000};
  uint64_t memory = 1ULL << 32;
  bool memory_fails = false;
  std::vector<uint8_t> bitmap_bytes = std::vector<uint8_t>(64, 0);
  bool bitmap_fails = false;
  std::map<std::string, std::vector<platform::FileExtent>> extents;  // absent: cannot be opened
  bool extents_fail = false;
  bool move_refused = false;

  std::vector<size_t> bitmap_requests;  // buffer sizes asked with
  std::vector<size_t> extents_requests;
  std::vector<Move> moves;
  std::vector<std::string> restored;
  bool volume_open = false;
  bool file_open = false;

 private:
  std::string open_file_;
};

}  // namespace testing_support
