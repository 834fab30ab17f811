#pragma once
#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/safe_open.h"
#include "platform/wake_event.h"

namespace platform {

// The action codes of a change, as the watcher counts them.
inline constexpr int kChangeAdded = 1;
inline constexpr int kChangeRemoved = 2;
inline constexpr int kChangeModified = 3;  // content, attributes, times or an access
inline constexpr int kChangeRenamedOldName = 4;
inline constexpr int kChangeRenamedNewName = 5;

struct ChangeRecord {
  int action = 0;
  // Relative to the watched root, '/'-separated, without a leading '/'.
  std::string name;
};

// Change notification for one whole mounted file system (fanotify, needs CAP_SYS_ADMIN).
// Changes made by our own process are left out: the watcher's saves are not uses.
class ChangeNotifier {
 public:
  enum class Mode {
    kClosed,
    // Every change with its name: created, removed, modified, renamed (old and new name).
    kWholeFileSystem,
    // Where the file system refuses the first mode (a btrfs subvolume mount): only accesses and
    // modifications of open files, all as kChangeModified; removals and renames are not seen.
    kMountDescriptors,
  };
  enum class Wait { kChanges, kWoken, kFailed };

  static constexpr size_t kBufferSize = 100000;

  ChangeNotifier() = default;
  ChangeNotifier(const ChangeNotifier&) = delete;
  ChangeNotifier& operator=(const ChangeNotifier&) = delete;
  ~ChangeNotifier() { Close(); }

  // `root` is the mount point with its trailing '/'. False when neither mode can be set up.
  bool Open(const std::string& root);
  void Close();
  Mode mode() const { return mode_; }

  // Blocks until changes are queued or `wake` is set. kChanges hands over the records of one read,
  // which may be none (only our own changes, or a queue overflow: the batch is then dropped).
  Wait WaitForChanges(const WakeEvent& wake, std::vector<ChangeRecord>& batch);
  // Drops everything queued now, without blocking.
  void DiscardPending();

 private:
  bool OpenWholeFileSystem();
  bool OpenMountDescriptors();
  // Turns one read into records (or, with `batch` null, only releases what the read holds).
  void Parse(size_t length, std::vector<ChangeRecord>* batch);
  void AddNamedEvent(uint64_t mask, const char* info, size_t info_length, std::vector<ChangeRecord>& batch);
  void AddDescriptorEvent(int fd, std::vector<ChangeRecord>& batch) const;
  bool ResolveDirectory(int handle_type, const unsigned char* handle, size_t handle_bytes, std::string& relative);
  bool PathOfDescriptor(int fd, bool want_directory, std::string& relative) const;

  Mode mode_ = Mode::kClosed;
  std::string root_;  // without its trailing '/'; empty for '/'
  UniqueFd mount_;
  UniqueFd group_;
  int own_pid_ = 0;
  std::vector<char> buffer_;
  // Directory handle -> path relative to the root with a trailing '/'; emptied when a directory
  // moves or goes, since every path below it changes.
  std::unordered_map<std::string, std::string> directories_;
};

}  // namespace platform
