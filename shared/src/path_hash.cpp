#include "shared/path_hash.h"

namespace shared {

uint32_t PathHash(std::string_view path) {
  const size_t split = path.find_last_of("/\\:");
  const size_t name_start = split == std::string_view::npos ? 0 : split + 1;
  uint32_t folder_sum = 0;
  for (size_t i = 0; i < name_start; ++i) folder_sum += static_cast<uint32_t>(static_cast<unsigned char>(path[i])) - 32u;
  uint32_t name_sum = 0;
  for (size_t i = name_start; i < path.size(); ++i) name_sum += static_cast<unsigned char>(path[i]);
  return (folder_sum << 16) + name_sum;
}

}  // namespace shared
