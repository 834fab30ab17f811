#include "watcher/hash_index_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/data_file.h"
#include "shared/use_data_format.h"

namespace watcher {

namespace {

// One hash per record of the largest use data we read: anything longer was not written by us.
constexpr size_t kMaxIndexBytes = shared::kHeaderSize + 4 * (shared::kMaxUseDataBytes / shared::kRecordFixedBytes);

}  // namespace

HashIndexFile::HashIndexFile(std::string path) : path_(std::move(path)) {
  fd_.Reset(platform::OpenNoFollow(path_, O_RDWR | O_NONBLOCK));
  if (!fd_.Valid()) {
    state_ = errno == ENOENT ? State::kMissing : State::kUnavailable;
    return;
  }
  struct stat info {};
  if (fstat(fd_.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    fd_.Reset();
    state_ = State::kUnavailable;
    return;
  }
  std::string bytes;
  if (!platform::ReadAll(fd_.Get(), kMaxIndexBytes + 1, bytes)) {
    fd_.Reset();
    state_ = State::kUnavailable;
    return;
  }
  if (bytes.size() > kMaxIndexBytes || !shared::HasFormatTag(bytes)) {
    state_ = State::kForeign;
    return;
  }
  state_ = State::kValid;
  whole_hashes_ = (bytes.size() - shared::kHeaderSize) / 4;
  hashes_.reserve(whole_hashes_);
  for (size_t i = 0; i < whole_hashes_; ++i) {
    uint32_t bits = 0;
    for (size_t b = 0; b < 4; ++b) bits |= uint32_t{static_cast<unsigned char>(bytes[shared::kHeaderSize + 4 * i + b])} << (8 * b);
    hashes_.insert(static_cast<int32_t>(bits));
  }
}

void HashIndexFile::Add(int32_t hash) {
  if (!hashes_.insert(hash).second) return;
  const auto bits = static_cast<uint32_t>(hash);
  for (size_t b = 0; b < 4; ++b) added_.push_back(static_cast<char>((bits >> (8 * b)) & 0xFF));
}

bool HashIndexFile::Commit() {
  if (state_ == State::kUnavailable) return false;
  if (state_ == State::kValid) {
    if (added_.empty()) return true;
    // After the last whole hash: a partial one left by a cut write is overwritten.
    if (!platform::WriteAllAt(fd_.Get(), added_, shared::kHeaderSize + 4 * whole_hashes_)) return false;
  } else {
    if (!platform::ReplaceWholeFile(path_, shared::LoneHeader() + added_)) return false;
    state_ = State::kValid;
    fd_.Reset(platform::OpenNoFollow(path_, O_RDWR | O_NONBLOCK));
    if (!fd_.Valid()) state_ = State::kUnavailable;
  }
  whole_hashes_ += added_.size() / 4;
  added_.clear();
  return true;
}

}  // namespace watcher
