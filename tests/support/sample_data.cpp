#include "sample_data.h"

namespace testing_support {

std::string CompressibleText(size_t size, int seed) {
  std::string text;
  for (int i = 0; text.size() < size; ++i) {
    text += "line " + std::to_string((i * 7 + seed) % 977) + " of some quite repetitive words\n";
  }
  text.resize(size);
  return text;
}

std::string IncompressibleBytes(size_t size, uint32_t seed) {
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>((seed = seed * 1664525u + 1013904223u) >> 24);
  return bytes;
}

}  // namespace testing_support
