#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace shared {

// The use data file is one zlib stream (RFC 1950) made by deflate at level 9 with a 15-bit window,
// memory level 8 and the default strategy. Both programs read it back with zlib: no other deflate
// implementation may stand in, or the bytes on disk would differ.

enum class StreamEnd {
  kComplete,  // the stream ended with its checksum
  kCut,       // the input ran out first: what was decoded up to there
  kCapped,    // it would inflate past the bound: the first `max_bytes` bytes
  kInvalid,   // not a zlib stream, or damaged: nothing
};

struct Inflated {
  std::string bytes;
  StreamEnd end = StreamEnd::kInvalid;
};

// Inflates in steps of 100,000 bytes, never more than `max_bytes` in all. Bytes after the end of
// the stream are ignored.
Inflated InflateUseData(std::string_view stream, size_t max_bytes);

// Nothing when zlib cannot get the memory.
std::optional<std::string> DeflateUseData(std::string_view content);

}  // namespace shared
