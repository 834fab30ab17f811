#include "engine/activity_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace engine {

namespace {

constexpr std::string_view kAppendSeparator = "\r\n\r\n***\r\n";
constexpr std::string_view kNewLogSeparator = "***\r\n";

int OpenExisting(const std::string& path) {
  return open(path.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
}

int CreateAnew(const std::string& path) {
  return open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

void WriteWhole(int fd, std::string_view text) {
  if (fd < 0) return;
  // One call, so the line lands whole at the end; a failed or short write is lost, as lines are.
  [[maybe_unused]] const ssize_t written = write(fd, text.data(), text.size());
}

}  // namespace

std::unique_ptr<ActivityLog> ActivityLog::Open(const std::string& path, bool clear_on_start,
                                               const platform::Clock& clock) {
  std::string_view separator = kAppendSeparator;
  platform::UniqueFd fd;
  if (!clear_on_start) fd.Reset(OpenExisting(path));
  if (!fd.Valid()) {
    separator = kNewLogSeparator;
    fd.Reset(CreateAnew(path));
  }
  WriteWhole(fd.Get(), separator);
  return std::unique_ptr<ActivityLog>(new ActivityLog(std::move(fd), clock));
}

void ActivityLog::WriteLog(std::string_view action, std::string_view object,
                           std::string_view reason) const {
  if (!fd_.Valid()) return;
  WriteWhole(fd_.Get(), FormatLogLine(clock_.LocalNow(), action, object, reason));
}

std::string EscapeLogField(std::string_view field) {
  std::string escaped;
  escaped.reserve(field.size());
  for (const char c : field) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\t') {
      escaped += "\\t";
    } else if (c == '\r') {
      escaped += "\\r";
    } else if (c == '\n') {
      escaped += "\\n";
    } else if (byte < 0x20 || byte == 0x7f) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      escaped += hex;
    } else {
      escaped += c;
    }
  }
  return escaped;
}

std::string FormatLogLine(const platform::LocalDateTime& when, std::string_view action,
                          std::string_view object, std::string_view reason) {
  char stamp[80];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d\t", when.year, when.month,
                when.day, when.hour, when.minute, when.second);
  std::string line(stamp);
  line += EscapeLogField(action);
  line += '\t';
  line += EscapeLogField(object);
  line += '\t';
  line += EscapeLogField(reason);
  line += "\r\n";
  return line;
}

}  // namespace engine
