#include "engine/trial_compression.h"

#include <zlib.h>

#include <vector>

namespace engine {

struct TrialCompressor::State {
  z_stream stream{};
  bool stream_ready = false;
  std::vector<char> input;
  std::vector<Bytef> output;
};

TrialCompressor::TrialCompressor() : state_(std::make_unique<State>()) {}

TrialCompressor::~TrialCompressor() {
  if (state_->stream_ready) deflateEnd(&state_->stream);
}

bool TrialCompressor::Try(platform::FileSystem& files, const std::string& path, TrialResult& result) {
  if (state_->input.empty()) state_->input.resize(kTrialBytes);
  const int64_t read = files.ReadFileStart(path, state_->input.data(), kTrialBytes);
  if (read <= 0) return false;
  return Compress(state_->input.data(), static_cast<size_t>(read), result);
}

bool TrialCompressor::Compress(const char* data, size_t size, TrialResult& result) {
  State& s = *state_;
  if (!s.stream_ready) {
    if (deflateInit(&s.stream, 1) != Z_OK) return false;
    s.stream_ready = true;
  } else if (deflateReset(&s.stream) != Z_OK) {
    return false;
  }
  const uLong bound = deflateBound(&s.stream, static_cast<uLong>(size));
  if (s.output.size() < bound) s.output.resize(bound);
  s.stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
  s.stream.avail_in = static_cast<uInt>(size);
  s.stream.next_out = s.output.data();
  s.stream.avail_out = static_cast<uInt>(s.output.size());
  if (deflate(&s.stream, Z_FINISH) != Z_STREAM_END) return false;
  result.bytes_read = static_cast<int64_t>(size);
  result.trial_size = static_cast<int64_t>(s.stream.total_out);
  return true;
}

}  // namespace engine
