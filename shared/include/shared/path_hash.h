#pragma once
#include <cstdint>
#include <string_view>

namespace shared {

// The 32-bit hash under which both programs file use records: the path splits after its last '/', '\'
// or ':'; h = sum of (byte - 32) over the folder part, shifted left by 16, plus the sum of the
// bytes of the name part; unsigned bytes, 32-bit wrap-around. Callers hash lower-cased paths.
uint32_t PathHash(std::string_view path);

}  // namespace shared
