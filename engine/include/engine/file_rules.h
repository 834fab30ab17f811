#pragma once
// The measures and rules the decision on one file rests on, free of any file system.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_time.h"

namespace engine {

// Whole clusters: 0 stays 0.
int64_t RoundUpToClusters(int64_t size, int64_t cluster_size);

// The text from the last dot of the file name on ("" without a dot): ".gz" for backup.tar.gz.
std::string_view ExtractFileExt(std::string_view file_name);
std::string_view ExtractFileName(std::string_view path);

// Substring matches on lower-cased text: MyNtldr.bak is a system file, .gzip a listed extension.
bool IsSystemFileName(std::string_view lowered_name);
bool HasPoorlyCompressingExtension(std::string_view lowered_extension);

// Coarse age of the last access in units of 46 x 2^32 ticks (about 5 h 29 min); each time is
// truncated on its own, and a last access in the future wraps to a very large age.
uint32_t AgeUnits(platform::FileTime now, platform::FileTime last_access);
// Whole days of the watcher's mean interval between uses.
int64_t UseDays(int64_t interval_seconds);

struct UseJudgement {
  bool frequently_used = false;
  bool seldom_used = false;
};
// With the watcher's data the interval decides, else the last access.
UseJudgement JudgeUse(bool watcher_rule, int64_t use_days, uint32_t age_units);

// Compressing pays when the first mebibyte shrinks below a bound that grows with the file.
bool TrialPays(int64_t on_disk_size, int64_t trial_size, int64_t bytes_read);

}  // namespace engine
