#include "engine/defragmenter.h"

#include "engine/dscan.h"

namespace engine {

namespace {

uint64_t DivideRoundingUp(uint64_t value, uint64_t divisor) { return (value + divisor - 1) / divisor; }

// Closes what the call opened, whichever way it ends.
class OpenedVolume {
 public:
  explicit OpenedVolume(platform::DefragVolume& volume) : volume_(volume) {}
  ~OpenedVolume() {
    if (file_open_) volume_.CloseFile();
    volume_.CloseVolume();
  }
  void FileOpened() { file_open_ = true; }

 private:
  platform::DefragVolume& volume_;
  bool file_open_ = false;
};

}  // namespace

int64_t Defragmenter::FindFreeArea(const std::vector<uint8_t>& bitmap_bytes, uint64_t needed_clusters) {
  uint64_t run = 0;
  size_t run_start = 0;
  for (size_t i = 0; i < bitmap_bytes.size(); ++i) {
    if (bitmap_bytes[i] != 0) {
      run = 0;
      continue;
    }
    if (run == 0) run_start = i;
    if (++run >= needed_clusters) return static_cast<int64_t>(run_start);
  }
  return -1;
}

bool Defragmenter::ReadBitmap(const platform::DiskGeometry& geometry, platform::VolumeBitmap& bitmap) {
  size_t buffer_size = geometry.total_clusters / 8 + 24;
  for (;;) {
    switch (volume_.GetVolumeBitmap(buffer_size, bitmap)) {
      case platform::RequestStatus::kOk: return true;
      case platform::RequestStatus::kMoreData: buffer_size += kGrowth; break;
      case platform::RequestStatus::kFailed: return false;
    }
  }
}

bool Defragmenter::ReadExtents(uint64_t needed_clusters, std::vector<platform::FileExtent>& extents) {
  size_t buffer_size = needed_clusters + 20;
  for (;;) {
    switch (volume_.GetFileExtents(buffer_size, extents)) {
      case platform::RequestStatus::kOk: return true;
      case platform::RequestStatus::kMoreData: buffer_size += kGrowth; break;
      case platform::RequestStatus::kFailed: return false;
    }
  }
}

void Defragmenter::DefragmentFile(DScan& scan, const std::string& path, const platform::AttributeRecord& record,
                                  std::string_view reason) {
  platform::AttributeRecord current;
  if (!files_.ReadAttributes(path, current)) return;
  if (!volume_.OpenVolume(path)) return;
  {
    OpenedVolume opened(volume_);
    platform::DiskGeometry geometry;
    if (!volume_.FreeSpace(geometry) || geometry.bytes_per_sector == 0 || geometry.sectors_per_cluster == 0) return;
    int64_t size = current.Size();
    if (current.attributes & platform::FILE_ATTRIBUTE_COMPRESSED) {
      const int64_t compressed = files_.CompressedSize(path);
      if (compressed >= 0) size = compressed;  // unknown: the logical size asks for more, never less
    }
    const uint64_t needed = DivideRoundingUp(DivideRoundingUp(static_cast<uint64_t>(size), geometry.bytes_per_sector),
                                             geometry.sectors_per_cluster);
    if (geometry.free_clusters <= needed) return;
    uint64_t memory = 0;
    if (!volume_.TotalPhysicalMemory(memory) || memory / 3 * 2 < needed / 8) return;
    platform::VolumeBitmap bitmap;
    if (!ReadBitmap(geometry, bitmap)) return;
    if (!volume_.OpenFile(path)) return;
    opened.FileOpened();
    std::vector<platform::FileExtent> extents;
    if (!ReadExtents(needed, extents)) return;
    if (extents.size() > 1) {
      const int64_t area = FindFreeArea(bitmap.bits, needed);
      if (area >= 0) {
        scan.Defragmenting.store(true, std::memory_order_relaxed);
        if (volume_.MoveFile(static_cast<uint64_t>(area) * 8, static_cast<uint32_t>(needed))) {
          scan.WriteLog("Defragmented ", path, reason);
        }
      }
    }
  }
  volume_.RestoreTimes(path, record);
  scan.Defragmenting.store(false, std::memory_order_relaxed);
}

}  // namespace engine
