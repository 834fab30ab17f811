#include "shared/settings_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/data_file.h"
#include "platform/safe_open.h"
#include "shared/ascii_case.h"

namespace shared {

namespace {

using platform::ReadAll;
using platform::UniqueFd;

// Another program's save holds the lock for milliseconds; a holder that hangs must not hang us.
constexpr auto kLockPatience = std::chrono::seconds(5);

std::string_view Trim(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool SameName(std::string_view a, std::string_view b) { return AsciiLower(a) == AsciiLower(b); }

// The name of a "[Section]" line, or nothing for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
  const std::string_view trimmed = Trim(line);
  if (trimmed.empty() || trimmed[0] != '[') return std::nullopt;
  const std::string_view inner = trimmed.substr(1);
  return Trim(inner.substr(0, inner.find(']')));
}

// The key of a "key=value" line, or nothing for comments and lines without '='.
std::optional<std::string_view> KeyName(std::string_view line) {
  const std::string_view trimmed = Trim(line);
  if (trimmed.empty() || trimmed[0] == ';' || trimmed[0] == '[') return std::nullopt;
  const size_t equals = trimmed.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  return Trim(trimmed.substr(0, equals));
}

class FolderLock {
 public:
  explicit FolderLock(int folder) : folder_(folder) {
    const auto deadline = std::chrono::steady_clock::now() + kLockPatience;
    while (!(held_ = flock(folder_, LOCK_EX | LOCK_NB) == 0) && (errno == EWOULDBLOCK || errno == EINTR) &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  ~FolderLock() {
    if (held_) flock(folder_, LOCK_UN);
  }
  bool Held() const { return held_; }

 private:
  int folder_;
  bool held_ = false;
};

}  // namespace

Profile Profile::Parse(std::string_view text) {
  Profile profile;
  bool first = true;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
      if (first) profile.newline_ = "\r\n";
    }
    first = false;
    profile.lines_.emplace_back(line);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
  }
  return profile;
}

std::optional<Profile::Found> Profile::FindSection(std::string_view section) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    const auto name = SectionName(lines_[i]);
    if (!name || !SameName(*name, section)) continue;
    Found found{i, i + 1};
    while (found.end < lines_.size() && !SectionName(lines_[found.end])) ++found.end;
    return found;
  }
  return std::nullopt;
}

std::optional<size_t> Profile::FindKey(const Found& section, std::string_view key) const {
  for (size_t i = section.section_line + 1; i < section.end; ++i) {
    const auto name = KeyName(lines_[i]);
    if (name && SameName(*name, key)) return i;
  }
  return std::nullopt;
}

std::optional<std::string> Profile::Get(std::string_view section, std::string_view key) const {
  const auto found = FindSection(section);
  if (!found) return std::nullopt;
  const auto line = FindKey(*found, key);
  if (!line) return std::nullopt;
  const std::string_view text = lines_[*line];
  std::string_view value = Trim(text.substr(text.find('=') + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value);
}

int32_t Profile::GetInt(std::string_view section, std::string_view key, int32_t fallback) const {
  const auto value = Get(section, key);
  if (!value) return fallback;
  return ParseProfileInt(*value).value_or(fallback);
}

void Profile::Set(std::string_view section, std::string_view key, std::string_view value) {
  std::string line = std::string(key) + "=" + std::string(value);
  const auto found = FindSection(section);
  if (!found) {
    if (!lines_.empty() && !Trim(lines_.back()).empty()) lines_.emplace_back();
    lines_.push_back("[" + std::string(section) + "]");
    lines_.push_back(std::move(line));
    return;
  }
  if (const auto at = FindKey(*found, key)) {
    std::string& existing = lines_[*at];
    existing.erase(existing.find('=') + 1).append(value);
    return;
  }
  size_t at = found->end;
  while (at > found->section_line + 1 && Trim(lines_[at - 1]).empty()) --at;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
}

std::string Profile::Text() const {
  std::string text;
  for (const std::string& line : lines_) text.append(line).append(newline_);
  return text;
}

std::optional<int32_t> ParseProfileInt(std::string_view value) {
  value = Trim(value);
  bool negative = false;
  if (!value.empty() && (value[0] == '+' || value[0] == '-')) {
    negative = value[0] == '-';
    value.remove_prefix(1);
  }
  if (value.empty()) return std::nullopt;
  int64_t magnitude = 0;
  for (const char c : value) {
    if (c < '0' || c > '9') return std::nullopt;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > int64_t{INT32_MAX} + 1) return std::nullopt;
  }
  const int64_t result = negative ? -magnitude : magnitude;
  if (result > INT32_MAX || result < INT32_MIN) return std::nullopt;
  return static_cast<int32_t>(result);
}

Profile ReadProfile(const std::string& path) {
  const UniqueFd fd(platform::OpenNoFollow(path, O_RDONLY));
  struct stat st {};
  std::string text;
  if (!fd.Valid() || fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || !ReadAll(fd.Get(), kMaxSettingsBytes + 1, text)) {
    return Profile();
  }
  if (text.size() > kMaxSettingsBytes) text.resize(kMaxSettingsBytes);
  return Profile::Parse(text);
}

bool WriteProfile(const std::string& path, std::string_view section,
                  const std::vector<std::pair<std::string, std::string>>& values) {
  const size_t slash = path.rfind('/');
  const std::string folder_path = slash == std::string::npos ? "./" : path.substr(0, slash + 1);
  const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
  if (name.empty()) return false;
  const UniqueFd folder(platform::OpenNoFollow(folder_path, O_RDONLY | O_DIRECTORY));
  if (!folder.Valid()) return false;
  const FolderLock lock(folder.Get());
  if (!lock.Held()) return false;

  std::string old_text;
  mode_t mode = 0;  // a replaced file keeps its own; a new one gets the default
  bool existed = false;
  {
    const UniqueFd old(openat(folder.Get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (old.Valid()) {
      struct stat st {};
      // One byte over the bound tells a file that is too large to be ours.
      if (fstat(old.Get(), &st) != 0 || !S_ISREG(st.st_mode) || !ReadAll(old.Get(), kMaxSettingsBytes + 1, old_text) ||
          old_text.size() > kMaxSettingsBytes) {
        return false;
      }
      mode = st.st_mode & 07777;
      existed = true;
    } else if (errno != ENOENT) {
      return false;  // a link, or no access
    }
  }

  Profile profile = Profile::Parse(old_text);
  for (const auto& [key, value] : values) {
    if (key.find_first_of("\r\n") != std::string::npos || value.find_first_of("\r\n") != std::string::npos) {
      return false;
    }
    profile.Set(section, key, value);
  }
  const std::string new_text = profile.Text();
  if (existed && new_text == old_text) return true;

  return platform::ReplaceFileAt(folder.Get(), name, new_text, existed ? static_cast<int>(mode) : -1);
}

InformerPosition ReadInformerPosition(const std::string& path, InformerPosition designed) {
  const Profile profile = ReadProfile(path);
  return InformerPosition{profile.GetInt(kInformerSection, "WinX", designed.WinX),
                          profile.GetInt(kInformerSection, "WinY", designed.WinY)};
}

bool WriteInformerPosition(const std::string& path, InformerPosition position) {
  return WriteProfile(path, kInformerSection,
                      {{"WinX", std::to_string(position.WinX)}, {"WinY", std::to_string(position.WinY)}});
}

}  // namespace shared
