#include "platform/special_folders.h"

#include <sys/stat.h>

#include <cstdlib>

namespace platform {

namespace {

std::string WithTrailingSlash(std::string path) {
  if (!path.empty() && path.back() != '/') path.push_back('/');
  return path;
}

std::string IfDirectory(const char* path) {
  struct stat st {};
  return (stat(path, &st) == 0 && S_ISDIR(st.st_mode)) ? std::string(path) : std::string();
}

}  // namespace

SpecialFolders ReadSpecialFolders() {
  SpecialFolders folders;
  folders.windows_dir = "/usr/";
  folders.user_windows_dir = "/etc/";
  folders.wow64_system_dir = WithTrailingSlash(IfDirectory("/boot"));
  const char* tmpdir = std::getenv("TMPDIR");
  folders.temp_dir = WithTrailingSlash((tmpdir != nullptr && *tmpdir != '\0') ? tmpdir : "/tmp");
  return folders;
}

}  // namespace platform
