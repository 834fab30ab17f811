#include "platform/drives.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>

#include "platform/safe_open.h"

namespace platform {

namespace {

// A machine with thousands of mounts stays well below this; a longer table is read this far.
constexpr size_t kMaxMountInfoBytes = 16u << 20;
constexpr uint32_t kBtrfsMagic = 0x9123683E;

std::string ReadBounded(const char* path, size_t limit) {
  std::string text;
  UniqueFd fd(open(path, O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) return text;
  char buffer[8192];
  while (text.size() < limit) {
    const ssize_t got = read(fd.Get(), buffer, std::min(sizeof buffer, limit - text.size()));
    if (got <= 0) break;
    text.append(buffer, static_cast<size_t>(got));
  }
  return text;
}

// The kernel writes blanks, tabs, line ends and backslashes in paths as \ooo.
std::string Unescape(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const auto octal = [](char c) { return c >= '0' && c <= '7'; };
      if (octal(field[i + 1]) && octal(field[i + 2]) && octal(field[i + 3])) {
        out.push_back(static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                                        (field[i + 3] - '0')));
        i += 3;
        continue;
      }
    }
    out.push_back(field[i]);
  }
  return out;
}

std::vector<std::string_view> SplitBlanks(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && line[i] == ' ') ++i;
    const size_t start = i;
    while (i < line.size() && line[i] != ' ') ++i;
    if (i > start) fields.push_back(line.substr(start, i - start));
  }
  return fields;
}

bool ParseUint(std::string_view text, uint32_t& value) {
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

bool SectorSize(dev_t device, const std::string& source, uint32_t& bytes) {
  const std::string base = "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
  // A partition has no queue of its own; its disk's is one folder up.
  for (const std::string& path : {base + "/queue/logical_block_size", base + "/../queue/logical_block_size"}) {
    const std::string text = ReadBounded(path.c_str(), 32);
    const std::string_view digits = std::string_view(text).substr(0, text.find('\n'));
    if (ParseUint(digits, bytes) && bytes > 0) return true;
  }
  UniqueFd fd(open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  int size = 0;
  if (fd.Valid() && ioctl(fd.Get(), BLKSSZGET, &size) == 0 && size > 0) {
    bytes = static_cast<uint32_t>(size);
    return true;
  }
  return false;
}

UniqueFd OpenRoot(const std::string& root_path) { return UniqueFd(OpenNoFollow(root_path, O_PATH | O_DIRECTORY)); }

}  // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
  std::vector<MountEntry> mounts;
  size_t position = 0;
  while (position < text.size()) {
    size_t end = text.find('\n', position);
    if (end == std::string_view::npos) end = text.size();
    const std::vector<std::string_view> fields = SplitBlanks(text.substr(position, end - position));
    position = end + 1;
    // id parent major:minor root mount-point options [optional...] - type source super-options
    const auto separator = std::find(fields.begin(), fields.end(), std::string_view("-"));
    if (fields.size() < 6 || separator - fields.begin() < 6 || fields.end() - separator < 3) continue;
    const std::string_view device = fields[2];
    const size_t colon = device.find(':');
    MountEntry entry;
    if (colon == std::string_view::npos || !ParseUint(device.substr(0, colon), entry.major) ||
        !ParseUint(device.substr(colon + 1), entry.minor)) {
      continue;
    }
    entry.mount_point = Unescape(fields[4]);
    entry.file_system = Unescape(separator[1]);
    entry.source = Unescape(separator[2]);
    if (entry.mount_point.empty() || entry.mount_point[0] != '/') continue;
    mounts.push_back(std::move(entry));
  }
  return mounts;
}

std::vector<MountEntry> VisibleMounts(std::vector<MountEntry> mounts) {
  std::vector<MountEntry> visible;
  for (auto it = mounts.rbegin(); it != mounts.rend(); ++it) {
    const bool hidden = std::any_of(visible.begin(), visible.end(),
                                    [&](const MountEntry& top) { return top.mount_point == it->mount_point; });
    if (!hidden) visible.push_back(std::move(*it));
  }
  // Ordered as the root paths are shown, with their trailing '/'.
  const auto root = [](const MountEntry& mount) {
    return mount.mount_point.back() == '/' ? mount.mount_point : mount.mount_point + '/';
  };
  std::sort(visible.begin(), visible.end(), [&](const MountEntry& a, const MountEntry& b) { return root(a) < root(b); });
  return visible;
}

std::vector<DriveInfo> SystemDriveTable::Drives() const {
  std::vector<DriveInfo> drives;
  const std::string text = ReadBounded("/proc/self/mountinfo", kMaxMountInfoBytes);
  for (const MountEntry& mount : VisibleMounts(ParseMountInfo(text))) {
    // Virtual file systems (proc, tmpfs, overlay ...) name no device. The source is only looked at
    // here, never opened for data, so a /dev/mapper link may be followed to its node.
    struct stat device {};
    if (mount.source.empty() || mount.source[0] != '/' || stat(mount.source.c_str(), &device) != 0 ||
        !S_ISBLK(device.st_mode)) {
      continue;
    }
    DriveInfo drive;
    drive.root_path = mount.mount_point;
    if (drive.root_path.back() != '/') drive.root_path.push_back('/');
    const UniqueFd root = OpenRoot(drive.root_path);
    struct statfs fs {};
    if (!root.Valid() || fstatfs(root.Get(), &fs) != 0) continue;
    if (!SectorSize(device.st_rdev, mount.source, drive.bytes_per_sector)) continue;
    int fsid[2];
    static_assert(sizeof fsid == sizeof fs.f_fsid);
    std::copy_n(reinterpret_cast<const char*>(&fs.f_fsid), sizeof fsid, reinterpret_cast<char*>(fsid));
    drive.serial = fsid[0];
    drive.file_system = mount.file_system;
    drive.compresses = static_cast<uint32_t>(fs.f_type) == kBtrfsMagic;
    drive.file_system_id = (uint64_t{mount.major} << 32) | mount.minor;
    drives.push_back(std::move(drive));
  }
  return drives;
}

bool SystemDriveTable::Space(const std::string& root_path, DriveSpace& space) const {
  const UniqueFd root = OpenRoot(root_path);
  struct statvfs vfs {};
  if (!root.Valid() || fstatvfs(root.Get(), &vfs) != 0) return false;
  space.bytes_per_cluster = vfs.f_frsize;
  space.free_clusters = vfs.f_bavail;
  space.total_clusters = vfs.f_blocks;
  return true;
}

}  // namespace platform
