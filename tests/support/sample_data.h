#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace testing_support {

// Text that compresses to well under half its size, different for each seed.
std::string CompressibleText(size_t size, int seed = 0);
// Bytes that do not compress at all, the same for the same seed.
std::string IncompressibleBytes(size_t size, uint32_t seed = 1);

}  // namespace testing_support
