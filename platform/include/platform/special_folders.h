#pragma once
#include <string>

namespace platform {

// The folders the engine can be told to leave alone, each with its trailing '/'; empty where the
// system has none.
struct SpecialFolders {
  std::string windows_dir;
  std::string user_windows_dir;
  std::string wow64_system_dir;
  std::string temp_dir;
};

SpecialFolders ReadSpecialFolders();

}  // namespace platform
