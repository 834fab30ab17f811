#include "shared/use_data_stream.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

namespace shared {

namespace {

constexpr size_t kInflateStep = 100000;

class InflateStream {
 public:
  InflateStream() { ok_ = inflateInit(&stream_) == Z_OK; }
  ~InflateStream() {
    if (ok_) inflateEnd(&stream_);
  }
  InflateStream(const InflateStream&) = delete;
  InflateStream& operator=(const InflateStream&) = delete;
  bool ok() const { return ok_; }
  z_stream& get() { return stream_; }

 private:
  z_stream stream_{};
  bool ok_ = false;
};

}  // namespace

Inflated InflateUseData(std::string_view input, size_t max_bytes) {
  Inflated result;
  if (input.size() > UINT_MAX) input = input.substr(0, UINT_MAX);  // zlib counts input in 32 bits
  InflateStream inflater;
  if (!inflater.ok()) return result;
  z_stream& stream = inflater.get();
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
  stream.avail_in = static_cast<uInt>(input.size());
  for (;;) {
    const size_t before = result.bytes.size();
    const size_t room = std::min(kInflateStep, max_bytes - before);
    // At the bound, one more byte tells a stream that ends there from one that goes on.
    char probe = 0;
    if (room > 0) {
      result.bytes.resize(before + room);
      stream.next_out = reinterpret_cast<Bytef*>(result.bytes.data() + before);
      stream.avail_out = static_cast<uInt>(room);
    } else {
      stream.next_out = reinterpret_cast<Bytef*>(&probe);
      stream.avail_out = 1;
    }
    const int status = inflate(&stream, Z_NO_FLUSH);
    if (room > 0) {
      result.bytes.resize(before + room - stream.avail_out);
    } else if (stream.avail_out == 0) {
      result.end = StreamEnd::kCapped;
      return result;
    }
    if (status == Z_STREAM_END) {
      result.end = StreamEnd::kComplete;
      return result;
    }
    if (status == Z_OK) continue;
    if (status == Z_BUF_ERROR && stream.avail_in == 0) {
      result.end = StreamEnd::kCut;
      return result;
    }
    result.bytes.clear();
    result.end = StreamEnd::kInvalid;
    return result;
  }
}

std::optional<std::string> DeflateUseData(std::string_view content) {
  z_stream stream{};
  if (deflateInit2(&stream, 9, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return std::nullopt;
  std::string output(deflateBound(&stream, static_cast<uLong>(content.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
  stream.avail_in = static_cast<uInt>(content.size());
  stream.next_out = reinterpret_cast<Bytef*>(output.data());
  stream.avail_out = static_cast<uInt>(output.size());
  const int status = deflate(&stream, Z_FINISH);
  const size_t length = output.size() - stream.avail_out;
  deflateEnd(&stream);
  if (status != Z_STREAM_END) return std::nullopt;
  output.resize(length);
  return output;
}

}  // namespace shared
