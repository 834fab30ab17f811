#include "engine/file_decision.h"

#include "engine/dscan.h"
#include "engine/watcher_interval.h"
#include "shared/ascii_case.h"

namespace engine {

namespace {

using platform::FILE_ATTRIBUTE_COMPRESSED;
using platform::FILE_ATTRIBUTE_DIRECTORY;
using platform::FILE_ATTRIBUTE_OFFLINE;
using platform::FILE_ATTRIBUTE_SYSTEM;
using platform::FILE_ATTRIBUTE_TEMPORARY;

bool Get(const std::atomic<bool>& flag) { return flag.load(std::memory_order_relaxed); }
void Add(std::atomic<int64_t>& counter, int64_t value) { counter.fetch_add(value, std::memory_order_relaxed); }

}  // namespace

int64_t FileDecision::ClusterSize(DScan& scan, const std::string& path, uint64_t volume) {
  if (!volume_cached_ || volume != cached_volume_) {
    volume_cached_ = true;
    cached_volume_ = volume;
    platform::DiskGeometry geometry;
    // On failure the previous volume's values stay.
    if (files_.GetDiskFreeSpace(path, geometry)) {
      scan.SectorsPerCluster = geometry.sectors_per_cluster;
      scan.BytesPerSector = geometry.bytes_per_sector;
    }
  }
  return static_cast<int64_t>(scan.SectorsPerCluster) * scan.BytesPerSector;
}

FileDecider::Outcome FileDecision::Decide(DScan& scan, const std::string& path, const platform::DirEntry& entry) {
  Measured file;
  if (!files_.ReadEntryAttributes(path, entry, file.record)) return Outcome::kExamined;
  const uint32_t attributes = file.record.attributes;
  if ((attributes & (FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_DIRECTORY)) ||
      (Get(scan.PreserveSystem) && (attributes & FILE_ATTRIBUTE_SYSTEM))) {
    return Outcome::kSkipped;
  }
  file.cluster = ClusterSize(scan, path, entry.volume);
  // No volume measured yet: rounding would divide by zero, so the file is passed over uncounted.
  if (file.cluster <= 0) return Outcome::kSkipped;

  Add(scan.AllFilesCount, 1);
  const bool compressed = (attributes & FILE_ATTRIBUTE_COMPRESSED) != 0;
  int64_t compressed_size = 0;
  if (compressed) {
    Add(scan.CompressedFilesCount, 1);
    compressed_size = files_.CompressedSize(path);
    file.compressed_size_known = compressed_size >= 0;
  }
  file.size = file.record.Size();
  Add(scan.AllFilesSize, file.size);
  file.on_disk = RoundUpToClusters(file.size, file.cluster);
  Add(scan.FilesSizeOnDisk, file.on_disk);
  // An unmeasurable compressed size counts as the plain on-disk size rather than as nothing.
  file.actual = compressed && file.compressed_size_known ? RoundUpToClusters(compressed_size, file.cluster) : file.on_disk;

  const shared::WatcherTable* table = scan.Watcher.load(std::memory_order_acquire);
  const bool use_velnor = Get(scan.UseVelnor);
  const uint32_t age = AgeUnits(scan.Clock().SystemTimeAsFileTime(), file.record.last_access);
  const int64_t use_days = UseDays(WatcherInterval(table, use_velnor, path));
  file.use = JudgeUse(use_velnor && table != nullptr, use_days, age);
  file.stretch = Get(scan.StretchMode);

  if (compressed) {
    DecideCompressed(scan, path, file);
  } else {
    DecideUncompressed(scan, path, file);
  }
  Add(scan.RealFilesSizeOnDisk, file.actual);
  if (Get(scan.DefragmentAny) && file.stretch) Defragment(scan, path, file.record, "Defragment by request");
  return Outcome::kExamined;
}

void FileDecision::DecideCompressed(DScan& scan, const std::string& path, const Measured& file) {
  if (!Get(scan.DecompWorthy)) return;
  // Two independent tests on the values as met: a file can be decompressed, and listed, twice.
  if (file.use.frequently_used) {
    if (file.stretch) {
      Decompress(scan, path, file.record, "Frequently used");
      if (Get(scan.Defragment)) Defragment(scan, path, file.record, "Defragment after decompression");
    } else {
      scan.CandidateFiles.push_back(path);
    }
  }
  if (file.compressed_size_known && file.actual >= file.size) {
    if (file.stretch) {
      Decompress(scan, path, file.record, "Too small file");
      if (Get(scan.Defragment)) Defragment(scan, path, file.record, "Defragment after decompress");
    } else {
      scan.CandidateFiles.push_back(path);
    }
  }
}

void FileDecision::DecideUncompressed(DScan& scan, const std::string& path, const Measured& file) {
  const std::string name = shared::AsciiLower(ExtractFileName(path));
  if (IsSystemFileName(name)) return;
  if (Get(scan.SmartFile) && (HasPoorlyCompressingExtension(ExtractFileExt(name)) || !file.use.seldom_used)) return;
  if (file.on_disk <= 2 * file.cluster) return;
  const bool try_file = Get(scan.TryFile);
  TrialResult trial;
  if (try_file && (!trial_.Try(files_, path, trial) || !TrialPays(file.on_disk, trial.trial_size, trial.bytes_read))) {
    return;
  }
  if (!file.stretch) {
    scan.CandidateFiles.push_back(path);
    Add(scan.SavedSpace, try_file ? file.on_disk - file.on_disk * trial.trial_size / trial.bytes_read : file.on_disk / 2);
    return;
  }
  scan.WriteLog("Compress", path, "Seldom used");
  files_.SetCompression(path, file.record, true);
  platform::AttributeRecord after;
  if (!files_.ReadAttributes(path, after) || !(after.attributes & FILE_ATTRIBUTE_COMPRESSED)) return;
  const int64_t new_compressed = files_.CompressedSize(path);
  // Without a measurement nothing is known to be saved, and nothing is undone either.
  if (new_compressed < 0) return;
  const int64_t new_actual = RoundUpToClusters(new_compressed, file.cluster);
  if (after.Size() > new_actual) {
    Add(scan.SavedSpace, after.Size() - new_actual);
    if (Get(scan.Defragment)) Defragment(scan, path, file.record, "Defragment after compression");
  } else {
    Decompress(scan, path, after, "Not advantageously");
    if (Get(scan.Defragment)) Defragment(scan, path, file.record, "Defragment after decompression");
  }
}

void FileDecision::Decompress(DScan& scan, const std::string& path, const platform::AttributeRecord& record,
                              std::string_view log_reason) {
  scan.WriteLog("Decompress", path, log_reason);
  files_.SetCompression(path, record, false);
}

void FileDecision::Defragment(DScan& scan, const std::string& path, const platform::AttributeRecord& record,
                              std::string_view reason) {
  defragmenter_.DefragmentFile(scan, path, record, reason);
  scan.Defragmenting.store(false, std::memory_order_relaxed);
}

}  // namespace engine
