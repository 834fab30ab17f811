#include "engine/special_folder_match.h"

#include "shared/ascii_case.h"

namespace engine {

bool IsSpecialFolder(std::string_view folder, const std::array<std::string_view, 4>& special_folders) {
  const std::string upper = shared::AsciiUpper(folder);
  for (std::string_view special : special_folders) {
    if (!special.empty() && upper.find(shared::AsciiUpper(special)) != std::string::npos) return true;
  }
  return false;
}

}  // namespace engine
