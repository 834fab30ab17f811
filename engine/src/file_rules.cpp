#include "engine/file_rules.h"

#include <array>

namespace engine {

namespace {

constexpr std::array<std::string_view, 4> kSystemFileNames = {"pagefile.sys", "hiberfil.sys", "ntdetect.com", "ntldr"};
constexpr std::array<std::string_view, 16> kPoorlyCompressingExtensions = {
    ".gz",  ".zip", ".rar", ".mp3", ".avi", ".mpeg", ".mp4", ".wma",
    ".wmv", ".ogg", ".jpg", ".jpeg", ".gif", ".sys", ".wxd", ".png"};
constexpr uint32_t kAgeUnitDivisor = 46;
constexpr int64_t kMebibyte = 1048576;
constexpr int64_t kLargeFile = 314572800;  // 300 MiB

template <size_t N>
bool ContainsAny(std::string_view text, const std::array<std::string_view, N>& needles) {
  for (std::string_view needle : needles) {
    if (text.find(needle) != std::string_view::npos) return true;
  }
  return false;
}

}  // namespace

int64_t RoundUpToClusters(int64_t size, int64_t cluster_size) {
  const int64_t rounded = size / cluster_size * cluster_size;
  return size % cluster_size != 0 ? rounded + cluster_size : rounded;
}

std::string_view ExtractFileName(std::string_view path) {
  const size_t split = path.find_last_of("/\\:");
  return split == std::string_view::npos ? path : path.substr(split + 1);
}

std::string_view ExtractFileExt(std::string_view file_name) {
  const size_t dot = file_name.find_last_of('.');
  return dot == std::string_view::npos ? std::string_view() : file_name.substr(dot);
}

bool IsSystemFileName(std::string_view lowered_name) { return ContainsAny(lowered_name, kSystemFileNames); }

bool HasPoorlyCompressingExtension(std::string_view lowered_extension) {
  return ContainsAny(lowered_extension, kPoorlyCompressingExtensions);
}

uint32_t AgeUnits(platform::FileTime now, platform::FileTime last_access) {
  return now.high / kAgeUnitDivisor - last_access.high / kAgeUnitDivisor;
}

int64_t UseDays(int64_t interval_seconds) { return interval_seconds / 60 / 60 / 24; }

UseJudgement JudgeUse(bool watcher_rule, int64_t use_days, uint32_t age_units) {
  if (watcher_rule) return UseJudgement{use_days == 0 || use_days == 1, use_days >= 5};
  return UseJudgement{age_units < 4, age_units >= 6};
}

bool TrialPays(int64_t on_disk_size, int64_t trial_size, int64_t bytes_read) {
  if (bytes_read <= 0) return false;
  const int64_t ratio = trial_size * 100 / bytes_read;
  if (on_disk_size < kMebibyte) return ratio < 75;
  if (on_disk_size < kLargeFile) return ratio < 90;
  return ratio < 95;
}

}  // namespace engine
