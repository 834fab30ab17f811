#pragma once
#include <cstdint>
#include <string>

namespace compressor {

struct EngineCounters {
  int64_t AllFilesCount = 0;
  int64_t CompressedFilesCount = 0;
  int64_t AllFilesSize = 0;
  int64_t FilesSizeOnDisk = 0;
  int64_t RealFilesSizeOnDisk = 0;
  int64_t SavedSpace = 0;
};

// The texts of the statistics lines 3 to 9 as the status panel shows them.
std::string AllFilesCountLine(int64_t count);
std::string CompressedFilesCountLine(int64_t count);
std::string AllFilesSizeLine(int64_t bytes);
std::string FilesSizeOnDiskLine(int64_t bytes);
std::string RealFilesSizeOnDiskLine(int64_t bytes);
std::string AlreadySavedSpaceLine(int64_t files_size_on_disk, int64_t real_files_size_on_disk);
// A stretch counts what it saved; an analysis what it would save, which is unknown without a trial
// when it comes to less than a mebibyte.
std::string SavedSpaceLine(int64_t saved_space, bool stretch_mode, bool try_file);

}  // namespace compressor
