#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// Whole-file access for the programs' own data files: reads are bounded and never follow a link;
// a replacement is atomic, so a crash or a kill leaves the old file or the new one, never a cut one.

enum class FileRead {
  kRead,
  kMissing,     // no such file
  kUnreadable,  // it exists but cannot be read: a link, not a regular file, no access, an I/O error
};

// Reads at most `max_bytes` bytes into `contents` (a longer file yields its first `max_bytes`).
FileRead ReadWholeFile(const std::string& path, size_t max_bytes, std::string& contents);

// Reads an open file from its current position to its end, at most `max_bytes`; false on a read
// error.
bool ReadAll(int fd, size_t max_bytes, std::string& contents);

// Writes `contents` to a temporary file in the same folder, syncs it, renames it over `path` and
// syncs the folder. On failure `path` is left as it was and false is returned.
bool ReplaceWholeFile(const std::string& path, std::string_view contents);
// The same for the entry `name` of the open folder `folder_fd`; the new file gets `mode` exactly
// (a replaced file keeps its own that way), or 0644 less the umask when `mode` is negative.
bool ReplaceFileAt(int folder_fd, const std::string& name, std::string_view contents, int mode = -1);

// Writes all of `data` at `offset` of an open file and syncs it; false on any shortfall.
bool WriteAllAt(int fd, std::string_view data, size_t offset);

}  // namespace platform
