#include "fake_volume.h"

#include <algorithm>
#include <cstring>

namespace testing_support {

FakeFileSystem::File& FakeFileSystem::Add(const std::string& path, int64_t size, uint32_t attributes) {
  File& file = files[path];
  file.record.attributes = attributes;
  file.record.SetSize(size);
  return file;
}

bool FakeFileSystem::ReadAttributes(const std::string& path, platform::AttributeRecord& record) {
  const auto found = files.find(path);
  if (found == files.end()) return false;
  record = found->second.record;
  return true;
}

int64_t FakeFileSystem::CompressedSize(const std::string& path) {
  const auto found = files.find(path);
  return found == files.end() ? -1 : found->second.compressed_size;
}

bool FakeFileSystem::GetDiskFreeSpace(const std::string&, platform::DiskGeometry& out) {
  ++geometry_calls;
  if (geometry_fails) return false;
  out = geometry;
  return true;
}

void FakeFileSystem::SetCompression(const std::string& path, const platform::AttributeRecord& record, bool compress) {
  changes.push_back({path, compress, record});
  const auto found = files.find(path);
  if (found == files.end()) return;
  File& file = found->second;
  if (compress && file.size_after_compression >= 0) {
    file.record.attributes |= platform::FILE_ATTRIBUTE_COMPRESSED;
    file.compressed_size = file.size_after_compression;
  } else if (!compress) {
    file.record.attributes &= ~platform::FILE_ATTRIBUTE_COMPRESSED;
  }
}

int64_t FakeFileSystem::ReadFileStart(const std::string& path, char* buffer, size_t size) {
  const auto found = files.find(path);
  if (found == files.end()) return -1;
  const size_t bytes = std::min(size, found->second.contents.size());
  std::memcpy(buffer, found->second.contents.data(), bytes);
  return static_cast<int64_t>(bytes);
}

bool FakeDefragVolume::OpenVolume(const std::string&) {
  volume_open = has_volume;
  return has_volume;
}

bool FakeDefragVolume::FreeSpace(platform::DiskGeometry& out) {
  out = geometry;
  return true;
}

bool FakeDefragVolume::TotalPhysicalMemory(uint64_t& bytes) {
  bytes = memory;
  return !memory_fails;
}

platform::RequestStatus FakeDefragVolume::GetVolumeBitmap(size_t buffer_size, platform::VolumeBitmap& bitmap) {
  bitmap_requests.push_back(buffer_size);
  if (bitmap_fails) return platform::RequestStatus::kFailed;
  if (platform::kBitmapAnswerHeader + bitmap_bytes.size() > buffer_size) return platform::RequestStatus::kMoreData;
  bitmap.starting_cluster = 0;
  bitmap.cluster_count = bitmap_bytes.size() * 8;
  bitmap.bits = bitmap_bytes;
  return platform::RequestStatus::kOk;
}

bool FakeDefragVolume::OpenFile(const std::string& path) {
  if (extents.count(path) == 0) return false;
  open_file_ = path;
  file_open = true;
  return true;
}

platform::RequestStatus FakeDefragVolume::GetFileExtents(size_t buffer_size, std::vector<platform::FileExtent>& out) {
  extents_requests.push_back(buffer_size);
  if (extents_fail) return platform::RequestStatus::kFailed;
  const auto& file_extents = extents[open_file_];
  const size_t needed = platform::kExtentsAnswerHeader + file_extents.size() * platform::kExtentsAnswerPerExtent;
  if (needed > buffer_size) return platform::RequestStatus::kMoreData;
  out = file_extents;
  return platform::RequestStatus::kOk;
}

bool FakeDefragVolume::MoveFile(uint64_t volume_cluster, uint32_t cluster_count) {
  if (move_refused) return false;
  moves.push_back({open_file_, volume_cluster, cluster_count});
  return true;
}

void FakeDefragVolume::RestoreTimes(const std::string& path, const platform::AttributeRecord&) {
  restored.push_back(path);
}

}  // namespace testing_support
