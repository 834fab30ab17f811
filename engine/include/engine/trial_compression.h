#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/file_system.h"

namespace engine {

struct TrialResult {
  int64_t bytes_read = 0;
  int64_t trial_size = 0;  // length of the complete zlib stream at level 1
};

// Compresses the first mebibyte of a file at zlib's fastest level. One buffer and one stream serve
// every trial of the thread: resetting the stream gives the same bytes as a fresh compress2 at
// level 1, without the allocation that would make a trial pass several times slower.
class TrialCompressor {
 public:
  static constexpr size_t kTrialBytes = 1048576;

  TrialCompressor();
  ~TrialCompressor();
  TrialCompressor(const TrialCompressor&) = delete;
  TrialCompressor& operator=(const TrialCompressor&) = delete;

  // False when the file cannot be opened or read, or yields nothing: compressing does not pay.
  bool Try(platform::FileSystem& files, const std::string& path, TrialResult& result);
  // The same on bytes in memory.
  bool Compress(const char* data, size_t size, TrialResult& result);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace engine
