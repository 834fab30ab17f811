// trial_baseline [--reuse-stream] FOLDER...: the least a trial pass can cost. Every regular file
// above two 4 KiB clusters has its first mebibyte read in one call and compressed at level 1; no
// attributes, no rules, no log. Prints the same kind of lines as bench_walk.
// compress2 sets up and frees a stream per file, which glibc serves by growing and trimming the
// heap each time; --reuse-stream resets one stream instead, the tighter floor of the two.
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

namespace {

constexpr size_t kTrialBytes = 1048576;
constexpr uintmax_t kSmallestTried = 8192;

}  // namespace

int main(int argc, char** argv) {
  int first = 1;
  const bool reuse = argc > 1 && std::strcmp(argv[1], "--reuse-stream") == 0;
  if (reuse) ++first;
  if (argc <= first) {
    std::fprintf(stderr, "usage: %s [--reuse-stream] FOLDER...\n", argv[0]);
    return 2;
  }
  z_stream stream{};
  if (reuse && deflateInit(&stream, 1) != Z_OK) return 1;
  std::vector<char> input(kTrialBytes);
  std::vector<Bytef> output(compressBound(kTrialBytes));
  int64_t files = 0;
  int64_t tried = 0;
  int64_t bytes_read = 0;
  int64_t compressed = 0;

  const auto start = std::chrono::steady_clock::now();
  for (int a = first; a < argc; ++a) {
    std::error_code error;
    // Same as the engine: names starting with '.' are passed over.
    std::filesystem::recursive_directory_iterator it(argv[a], std::filesystem::directory_options::skip_permission_denied, error);
    for (; !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
      const auto& entry = *it;
      if (entry.path().filename().native()[0] == '.') {
        if (entry.is_directory(error)) it.disable_recursion_pending();
        continue;
      }
      if (entry.is_symlink(error) || !entry.is_regular_file(error)) continue;
      ++files;
      if (entry.file_size(error) <= kSmallestTried || error) continue;
      const int fd = open(entry.path().c_str(), O_RDONLY | O_NOATIME | O_CLOEXEC);
      if (fd < 0) continue;
      const ssize_t got = read(fd, input.data(), input.size());
      close(fd);
      if (got <= 0) continue;
      uLongf out_size = static_cast<uLongf>(output.size());
      if (reuse) {
        if (deflateReset(&stream) != Z_OK) continue;
        stream.next_in = reinterpret_cast<Bytef*>(input.data());
        stream.avail_in = static_cast<uInt>(got);
        stream.next_out = output.data();
        stream.avail_out = static_cast<uInt>(output.size());
        if (deflate(&stream, Z_FINISH) != Z_STREAM_END) continue;
        out_size = stream.total_out;
      } else if (compress2(output.data(), &out_size, reinterpret_cast<const Bytef*>(input.data()),
                           static_cast<uLong>(got), 1) != Z_OK) {
        continue;
      }
      ++tried;
      bytes_read += got;
      compressed += static_cast<int64_t>(out_size);
    }
    if (error) std::fprintf(stderr, "%s: %s: %s\n", argv[0], argv[a], error.message().c_str());
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (reuse) deflateEnd(&stream);

  std::printf("files %lld\n", static_cast<long long>(files));
  std::printf("tried %lld\n", static_cast<long long>(tried));
  std::printf("bytes_read %lld\n", static_cast<long long>(bytes_read));
  std::printf("compressed %lld\n", static_cast<long long>(compressed));
  std::printf("seconds %.6f\n", seconds);
  return 0;
}
