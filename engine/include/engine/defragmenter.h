#pragma once
#include <string>
#include <string_view>

#include "platform/attribute_record.h"
#include "platform/defrag_volume.h"
#include "platform/file_system.h"

namespace engine {

class DScan;

// Moves a fragmented file, whole, into the first free area of its volume that is large enough,
// then puts the file's times back from the record the engine read before it changed the file.
class Defragmenter {
 public:
  static constexpr size_t kGrowth = 8000;

  Defragmenter(platform::FileSystem& files, platform::DefragVolume& volume) : files_(files), volume_(volume) {}

  void DefragmentFile(DScan& scan, const std::string& path, const platform::AttributeRecord& record,
                      std::string_view reason);

  // Bytes of the usage bitmap are eight clusters each; the first run of `needed_clusters` free
  // bytes wins. Returns the index of its first byte, or -1.
  static int64_t FindFreeArea(const std::vector<uint8_t>& bitmap_bytes, uint64_t needed_clusters);

 private:
  bool ReadExtents(uint64_t needed_clusters, std::vector<platform::FileExtent>& extents);
  bool ReadBitmap(const platform::DiskGeometry& geometry, platform::VolumeBitmap& bitmap);

  platform::FileSystem& files_;
  platform::DefragVolume& volume_;
};

}  // namespace engine
