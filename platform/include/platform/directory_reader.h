#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/safe_open.h"

namespace platform {

struct DirEntry {
  std::string name;
  // DIRECTORY for directories, NORMAL for regular files, OFFLINE for everything else. The full
  // word (compressed, system) costs an open per file and comes from ReadAttributeRecord.
  uint32_t attributes = 0;
  // The device of the listed folder: entries with the same value lie on the same volume.
  uint64_t volume = 0;
  // The listed folder, open while the reader is: lets the entry be read without a path lookup.
  int folder_fd = -1;
};

// Lists one directory in the file system's own order, "." and ".." included. Entries that are the
// root of another mount are left out: each mounted file system is walked as its own drive.
class DirectoryReader {
 public:
  DirectoryReader() = default;
  DirectoryReader(const DirectoryReader&) = delete;
  DirectoryReader& operator=(const DirectoryReader&) = delete;

  // False when the folder cannot be listed (gone, no access, a link, not a directory).
  bool Open(const std::string& folder_path);
  bool Next(DirEntry& entry);
  void Close();

 private:
  bool Refill();
  uint32_t AttributesOf(const char* name, unsigned char d_type, bool& other_mount) const;

  UniqueFd fd_;
  uint64_t volume_ = 0;
  std::vector<char> buffer_;
  long filled_ = 0;
  long offset_ = 0;
};

}  // namespace platform
