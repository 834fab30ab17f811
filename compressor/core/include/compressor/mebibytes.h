#pragma once
#include <cstdint>
#include <string>

namespace compressor {

// Whole mebibytes, truncated toward zero like the signed division it is: "12 Mebibytes".
std::string Mebibytes(int64_t bytes);

}  // namespace compressor
