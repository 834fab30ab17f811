#include "compressor/statistics_lines.h"

#include "compressor/mebibytes.h"

namespace compressor {

std::string AllFilesCountLine(int64_t count) { return "All Files Count: " + std::to_string(count); }

std::string CompressedFilesCountLine(int64_t count) { return "Compressed Files Count: " + std::to_string(count); }

std::string AllFilesSizeLine(int64_t bytes) { return "All Files Size: " + Mebibytes(bytes); }

std::string FilesSizeOnDiskLine(int64_t bytes) { return "Files Size on Disc(s): " + Mebibytes(bytes); }

std::string RealFilesSizeOnDiskLine(int64_t bytes) { return "Real Files Size on Disc(s): " + Mebibytes(bytes); }

std::string AlreadySavedSpaceLine(int64_t files_size_on_disk, int64_t real_files_size_on_disk) {
  return "Already Saved Space: " + Mebibytes(files_size_on_disk - real_files_size_on_disk);
}

std::string SavedSpaceLine(int64_t saved_space, bool stretch_mode, bool try_file) {
  const bool at_least_one = saved_space / 1048576 > 0;
  if (stretch_mode) {
    return "Saved Disk(s) Space: " + (at_least_one ? Mebibytes(saved_space) : std::string("Less than One Mebibyte"));
  }
  if (at_least_one) return "Supposed Save Space: " + Mebibytes(saved_space);
  return try_file ? "Supposed Save Space: Less than One Mebibyte" : "Supposed Save Space: Unknown";
}

}  // namespace compressor
