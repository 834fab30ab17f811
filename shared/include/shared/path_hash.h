#pragma once
#include <cstdint>
#include <string_view>

namespace shared {

// The 32-bit hash under which both programs file use records: the path splits after its last '/', '\'
// or ':'; h = sum of (byte - 32) over the folder part, shifted left by 16, plus the sum of the
// bytes of the name part; unsigned bytes, 32-bit wrap-around. Callers hash lower-cased paths.
uint32_t PathHash(std::string_view path);

// The same hash built byte by byte, for callers that pass over the path anyway.
class PathHasher {
 public:
  void Add(unsigned char byte) {
    all_less_32_ += byte - 32u;
    if (byte == '/' || byte == '\\' || byte == ':') {
      folder_sum_ = all_less_32_;
      name_sum_ = 0;
    } else {
      name_sum_ += byte;
    }
  }
  uint32_t Value() const { return (folder_sum_ << 16) + name_sum_; }

 private:
  uint32_t all_less_32_ = 0;
  uint32_t folder_sum_ = 0;
  uint32_t name_sum_ = 0;
};

}  // namespace shared
