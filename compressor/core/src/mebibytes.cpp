#include "compressor/mebibytes.h"

namespace compressor {

std::string Mebibytes(int64_t bytes) { return std::to_string(bytes / 1048576) + " Mebibytes"; }

}  // namespace compressor
