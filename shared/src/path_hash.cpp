#include "shared/path_hash.h"

namespace shared {

uint32_t PathHash(std::string_view path) {
  PathHasher hasher;
  for (const char c : path) hasher.Add(static_cast<unsigned char>(c));
  return hasher.Value();
}

}  // namespace shared
