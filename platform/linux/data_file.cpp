#include "platform/data_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

#include "platform/safe_open.h"

namespace platform {

namespace {

bool WriteAll(int fd, std::string_view data) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t written = write(fd, data.data() + done, data.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<size_t>(written);
  }
  return true;
}

// Unique per process and call, so two writers never share a temporary file.
std::string TemporaryName(const std::string& name) {
  static std::atomic<unsigned> counter{0};
  return "." + name + "." + std::to_string(getpid()) + "." + std::to_string(counter.fetch_add(1)) + ".tmp";
}

}  // namespace

FileRead ReadWholeFile(const std::string& path, size_t max_bytes, std::string& contents) {
  contents.clear();
  // O_NONBLOCK: a FIFO planted under the name must not hang the reader; it is refused below.
  UniqueFd fd(OpenNoFollow(path, O_RDONLY | O_NOCTTY | O_NONBLOCK));
  if (!fd.Valid()) return errno == ENOENT ? FileRead::kMissing : FileRead::kUnreadable;
  struct stat info {};
  if (fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return FileRead::kUnreadable;
  const size_t expected = info.st_size > 0 ? static_cast<size_t>(info.st_size) : 0;
  contents.reserve(expected < max_bytes ? expected : max_bytes);
  if (!ReadAll(fd.Get(), max_bytes, contents)) return FileRead::kUnreadable;
  return FileRead::kRead;
}

bool ReadAll(int fd, size_t max_bytes, std::string& contents) {
  contents.clear();
  char buffer[65536];
  while (contents.size() < max_bytes) {
    const size_t want = std::min(sizeof buffer, max_bytes - contents.size());
    const ssize_t got = read(fd, buffer, want);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      contents.clear();
      return false;
    }
    if (got == 0) break;
    contents.append(buffer, static_cast<size_t>(got));
  }
  return true;
}

bool ReplaceWholeFile(const std::string& path, std::string_view contents) {
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty()) return false;
  UniqueFd dir(OpenNoFollow(folder, O_RDONLY | O_DIRECTORY));
  return dir.Valid() && ReplaceFileAt(dir.Get(), name, contents);
}

bool ReplaceFileAt(int folder_fd, const std::string& name, std::string_view contents, int mode) {
  if (name.empty() || name.find('/') != std::string::npos) return false;
  const std::string temporary = TemporaryName(name);
  // An unnamed file gets its name only once it is complete, so a kill while writing leaves nothing.
  UniqueFd file(openat(folder_fd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644));
  const bool unnamed = file.Valid();
  if (!unnamed) {
    file.Reset(openat(folder_fd, temporary.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!file.Valid()) return false;
  }
  bool named = !unnamed;
  bool ok = (mode < 0 || fchmod(file.Get(), static_cast<mode_t>(mode)) == 0) && WriteAll(file.Get(), contents) &&
            fsync(file.Get()) == 0;
  if (ok && unnamed) {
    const std::string self = "/proc/self/fd/" + std::to_string(file.Get());
    ok = linkat(AT_FDCWD, self.c_str(), folder_fd, temporary.c_str(), AT_SYMLINK_FOLLOW) == 0;
    named = ok;
  }
  file.Reset();
  if (ok) ok = renameat(folder_fd, temporary.c_str(), folder_fd, name.c_str()) == 0;
  if (!ok) {
    if (named) unlinkat(folder_fd, temporary.c_str(), 0);
    return false;
  }
  // The rename itself must survive a power loss too.
  fsync(folder_fd);
  return true;
}

bool WriteAllAt(int fd, std::string_view data, size_t offset) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t written = pwrite(fd, data.data() + done, data.size() - done, static_cast<off_t>(offset + done));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<size_t>(written);
  }
  return fsync(fd) == 0;
}

}  // namespace platform
