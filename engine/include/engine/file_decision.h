#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/defragmenter.h"
#include "engine/file_decider.h"
#include "engine/file_rules.h"
#include "engine/trial_compression.h"
#include "platform/file_system.h"

namespace engine {

// The decision on every file the walk meets: measure and count it, judge how often it is used,
// and compress, decompress or defragment it in a stretch pass, or note it as a candidate and its
// supposed saving in an analysis pass. Every action is logged before it is taken.
class FileDecision final : public FileDecider {
 public:
  FileDecision(platform::FileSystem& files, Defragmenter& defragmenter) : files_(files), defragmenter_(defragmenter) {}

  Outcome Decide(DScan& scan, const std::string& path, const platform::DirEntry& entry) override;

 private:
  struct Measured {
    platform::AttributeRecord record;
    int64_t cluster = 0;
    int64_t size = 0;
    int64_t on_disk = 0;
    int64_t actual = 0;
    bool compressed_size_known = true;
    UseJudgement use;
    bool stretch = false;
  };

  // Bytes per cluster of the file's volume, asked again only when the volume changes; 0 until
  // one measurement has succeeded.
  int64_t ClusterSize(DScan& scan, const std::string& path, uint64_t volume);
  void DecideCompressed(DScan& scan, const std::string& path, const Measured& file);
  void DecideUncompressed(DScan& scan, const std::string& path, const Measured& file);
  void Decompress(DScan& scan, const std::string& path, const platform::AttributeRecord& record,
                  std::string_view log_reason);
  void Defragment(DScan& scan, const std::string& path, const platform::AttributeRecord& record,
                  std::string_view reason);

  platform::FileSystem& files_;
  Defragmenter& defragmenter_;
  TrialCompressor trial_;
  bool volume_cached_ = false;
  uint64_t cached_volume_ = 0;
};

}  // namespace engine
