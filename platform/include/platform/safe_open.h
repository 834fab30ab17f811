#pragma once
#include <sys/types.h>

#include <string>

namespace platform {

// Opens `path` refusing a symbolic link in any of its components, so a folder swapped for a link
// under a walk cannot redirect it. Returns the descriptor, or -1 with errno set.
int OpenNoFollow(const std::string& path, int flags, mode_t mode = 0);

// Owns a descriptor; closes it once.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { Reset(); }

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset(int fd = -1);

 private:
  int fd_ = -1;
};

}  // namespace platform
