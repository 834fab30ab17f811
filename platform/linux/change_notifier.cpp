#include "platform/change_notifier.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/fanotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace platform {

namespace {

constexpr uint64_t kNamedEvents = FAN_CREATE | FAN_DELETE | FAN_MODIFY | FAN_ATTRIB | FAN_ACCESS |
                                  FAN_MOVED_FROM | FAN_MOVED_TO | FAN_ONDIR;
constexpr uint64_t kDescriptorEvents = FAN_ACCESS | FAN_MODIFY | FAN_CLOSE_WRITE | FAN_ONDIR;
constexpr size_t kMaxCachedDirectories = 4096;
// Reads per DiscardPending call: enough to empty a paused monitor's queue, bounded under a flood.
constexpr int kMaxDiscardReads = 64;

template <typename T>
T ReadAt(const char* bytes) {
  T value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

bool ReadLink(int fd, std::string& target) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  char buffer[8192];
  const ssize_t length = readlink(self.c_str(), buffer, sizeof buffer);
  if (length <= 0 || static_cast<size_t>(length) >= sizeof buffer) return false;
  target.assign(buffer, static_cast<size_t>(length));
  return true;
}

}  // namespace

bool ChangeNotifier::Open(const std::string& root) {
  Close();
  root_ = root;
  while (!root_.empty() && root_.back() == '/') root_.pop_back();
  mount_.Reset(OpenNoFollow(root_.empty() ? "/" : root_, O_RDONLY | O_DIRECTORY));
  if (!mount_.Valid()) return false;
  own_pid_ = static_cast<int>(getpid());
  try {
    buffer_.assign(kBufferSize, 0);
  } catch (const std::bad_alloc&) {
    Close();
    return false;
  }
  if (OpenWholeFileSystem() || OpenMountDescriptors()) return true;
  Close();
  return false;
}

bool ChangeNotifier::OpenWholeFileSystem() {
  // An unlimited queue: the monitor stops reading while a save holds its table, and the default
  // queue overflows within a second of heavy activity.
  group_.Reset(fanotify_init(FAN_CLASS_NOTIF | FAN_CLOEXEC | FAN_NONBLOCK | FAN_UNLIMITED_QUEUE | FAN_REPORT_DFID_NAME,
                             O_RDONLY | O_LARGEFILE | O_CLOEXEC));
  if (!group_.Valid()) return false;
  // Refused with EXDEV on a btrfs subvolume mount.
  if (fanotify_mark(group_.Get(), FAN_MARK_ADD | FAN_MARK_FILESYSTEM, kNamedEvents, mount_.Get(), nullptr) != 0) {
    group_.Reset();
    return false;
  }
  mode_ = Mode::kWholeFileSystem;
  return true;
}

bool ChangeNotifier::OpenMountDescriptors() {
  // O_NONBLOCK: the kernel opens each event's object for us, and a FIFO must not block that.
  group_.Reset(fanotify_init(FAN_CLASS_NOTIF | FAN_CLOEXEC | FAN_NONBLOCK | FAN_UNLIMITED_QUEUE,
                             O_RDONLY | O_LARGEFILE | O_CLOEXEC | O_NONBLOCK));
  if (!group_.Valid()) return false;
  if (fanotify_mark(group_.Get(), FAN_MARK_ADD | FAN_MARK_MOUNT, kDescriptorEvents, mount_.Get(), nullptr) != 0) {
    group_.Reset();
    return false;
  }
  mode_ = Mode::kMountDescriptors;
  return true;
}

void ChangeNotifier::Close() {
  group_.Reset();
  mount_.Reset();
  mode_ = Mode::kClosed;
  directories_.clear();
}

ChangeNotifier::Wait ChangeNotifier::WaitForChanges(const WakeEvent& wake, std::vector<ChangeRecord>& batch) {
  batch.clear();
  if (!group_.Valid()) return Wait::kFailed;
  for (;;) {
    struct pollfd waits[2] = {{group_.Get(), POLLIN, 0}, {wake.Descriptor(), POLLIN, 0}};
    const int ready = poll(waits, 2, -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      return Wait::kFailed;
    }
    if (waits[1].revents != 0) return Wait::kWoken;
    if (waits[0].revents == 0) continue;
    const ssize_t length = read(group_.Get(), buffer_.data(), buffer_.size());
    if (length < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return Wait::kFailed;
    }
    Parse(static_cast<size_t>(length), &batch);
    return Wait::kChanges;
  }
}

void ChangeNotifier::DiscardPending() {
  if (!group_.Valid()) return;
  for (int reads = 0; reads < kMaxDiscardReads; ++reads) {
    const ssize_t length = read(group_.Get(), buffer_.data(), buffer_.size());
    if (length < 0 && errno == EINTR) continue;
    if (length <= 0) return;
    Parse(static_cast<size_t>(length), nullptr);
  }
}

void ChangeNotifier::Parse(size_t length, std::vector<ChangeRecord>* batch) {
  bool overflow = false;
  size_t offset = 0;
  while (length - offset >= sizeof(fanotify_event_metadata)) {
    const auto event = ReadAt<fanotify_event_metadata>(buffer_.data() + offset);
    if (event.vers != FANOTIFY_METADATA_VERSION || event.event_len < event.metadata_len ||
        event.metadata_len < sizeof(fanotify_event_metadata) || event.event_len > length - offset) {
      break;
    }
    const bool ours = event.pid == own_pid_;
    if (event.mask & FAN_Q_OVERFLOW) {
      overflow = true;
    } else if (mode_ == Mode::kMountDescriptors) {
      if (event.fd >= 0) {
        if (batch != nullptr && !ours) AddDescriptorEvent(event.fd, *batch);
        close(event.fd);
      }
    } else if (batch != nullptr && !ours) {
      AddNamedEvent(event.mask, buffer_.data() + offset + event.metadata_len, event.event_len - event.metadata_len,
                    *batch);
    }
    // Every path below a directory that moved or went is stale, whoever moved it.
    if (mode_ == Mode::kWholeFileSystem && (event.mask & FAN_ONDIR) &&
        (event.mask & (FAN_MOVED_FROM | FAN_MOVED_TO | FAN_DELETE))) {
      directories_.clear();
    }
    offset += event.event_len;
  }
  if (overflow && batch != nullptr) batch->clear();
}

void ChangeNotifier::AddNamedEvent(uint64_t mask, const char* info, size_t info_length,
                                   std::vector<ChangeRecord>& batch) {
  size_t offset = 0;
  while (info_length - offset >= sizeof(fanotify_event_info_header)) {
    const auto header = ReadAt<fanotify_event_info_header>(info + offset);
    if (header.len < sizeof header || header.len > info_length - offset) return;
    const char* record = info + offset;
    offset += header.len;
    if (header.info_type != FAN_EVENT_INFO_TYPE_DFID_NAME && header.info_type != FAN_EVENT_INFO_TYPE_DFID) continue;
    // Header, file system id, then a struct file_handle and, for DFID_NAME, a terminated name.
    const size_t handle_at = sizeof(fanotify_event_info_header) + sizeof(__kernel_fsid_t);
    const size_t bytes_at = handle_at + 2 * sizeof(int);
    if (header.len < bytes_at) return;
    const auto handle_bytes = ReadAt<unsigned int>(record + handle_at);
    const auto handle_type = ReadAt<int>(record + handle_at + sizeof(unsigned int));
    if (handle_bytes > MAX_HANDLE_SZ || handle_bytes > header.len - bytes_at) return;
    std::string name;
    if (header.info_type == FAN_EVENT_INFO_TYPE_DFID_NAME) {
      const char* start = record + bytes_at + handle_bytes;
      const size_t room = header.len - bytes_at - handle_bytes;
      const void* end = std::memchr(start, '\0', room);
      if (end == nullptr) return;
      name.assign(start, static_cast<size_t>(static_cast<const char*>(end) - start));
    }
    std::string path;
    if (!ResolveDirectory(handle_type, reinterpret_cast<const unsigned char*>(record + bytes_at), handle_bytes, path)) {
      return;
    }
    if (name.empty() || name == ".") {
      // An event on a directory itself.
      if (path.empty()) return;  // the root has no name of its own
      path.pop_back();
    } else {
      path += name;
    }
    const auto add = [&](int action) { batch.push_back(ChangeRecord{action, path}); };
    if (mask & FAN_CREATE) add(kChangeAdded);
    if (mask & FAN_DELETE) add(kChangeRemoved);
    if (mask & (FAN_MODIFY | FAN_ATTRIB | FAN_ACCESS)) add(kChangeModified);
    if (mask & FAN_MOVED_FROM) add(kChangeRenamedOldName);
    if (mask & FAN_MOVED_TO) add(kChangeRenamedNewName);
    return;
  }
}

void ChangeNotifier::AddDescriptorEvent(int fd, std::vector<ChangeRecord>& batch) const {
  std::string path;
  if (!PathOfDescriptor(fd, false, path) || path.empty()) return;
  batch.push_back(ChangeRecord{kChangeModified, path});
}

bool ChangeNotifier::ResolveDirectory(int handle_type, const unsigned char* handle, size_t handle_bytes,
                                      std::string& relative) {
  std::string key(reinterpret_cast<const char*>(&handle_type), sizeof handle_type);
  key.append(reinterpret_cast<const char*>(handle), handle_bytes);
  if (const auto found = directories_.find(key); found != directories_.end()) {
    relative = found->second;
    return true;
  }
  alignas(struct file_handle) unsigned char storage[sizeof(struct file_handle) + MAX_HANDLE_SZ];
  auto* file_handle = reinterpret_cast<struct file_handle*>(storage);
  file_handle->handle_bytes = static_cast<unsigned int>(handle_bytes);
  file_handle->handle_type = handle_type;
  std::memcpy(storage + sizeof(struct file_handle), handle, handle_bytes);
  UniqueFd directory(open_by_handle_at(mount_.Get(), file_handle, O_PATH | O_CLOEXEC));
  if (!directory.Valid() || !PathOfDescriptor(directory.Get(), true, relative)) return false;
  if (!relative.empty()) relative.push_back('/');
  if (directories_.size() >= kMaxCachedDirectories) directories_.clear();
  directories_.emplace(std::move(key), relative);
  return true;
}

bool ChangeNotifier::PathOfDescriptor(int fd, bool want_directory, std::string& relative) const {
  struct stat info {};
  if (fstat(fd, &info) != 0 || info.st_nlink == 0) return false;  // gone: its path would be stale
  if (want_directory && !S_ISDIR(info.st_mode)) return false;
  std::string absolute;
  if (!ReadLink(fd, absolute)) return false;
  if (absolute == (root_.empty() ? "/" : root_)) {
    relative.clear();
    return true;
  }
  if (absolute.size() <= root_.size() + 1 || absolute.compare(0, root_.size(), root_) != 0 ||
      absolute[root_.size()] != '/') {
    return false;  // outside the watched mount
  }
  relative = absolute.substr(root_.size() + 1);
  return true;
}

}  // namespace platform
