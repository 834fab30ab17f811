#include "platform/safe_open.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

int OpenNoFollow(const std::string& path, int flags, mode_t mode) {
  struct open_how how {};
  how.flags = static_cast<uint64_t>(flags | O_NOFOLLOW | O_CLOEXEC);
  how.mode = (flags & O_CREAT) ? mode : 0;
  how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
  const long fd = syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof how);
  if (fd >= 0 || errno != ENOSYS) return static_cast<int>(fd);
  // Kernels before 5.6: only the last component can be guarded.
  return open(path.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode);
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) Reset(other.Release());
  return *this;
}

void UniqueFd::Reset(int fd) {
  if (fd_ >= 0) close(fd_);
  fd_ = fd;
}

}  // namespace platform
