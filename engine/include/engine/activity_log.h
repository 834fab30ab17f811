#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/safe_open.h"

namespace engine {

inline constexpr const char* kLogFileName = "Quobran.log";

// Quobran.log: one tab-separated, time-stamped line per event, shared by the window and the engine.
// Every line goes out in one append write, so lines of the two threads never mix.
class ActivityLog {
 public:
  // Opens the log for appending, or creates it anew when asked or when it cannot be opened, and
  // writes the run separator. A log that can be neither opened nor created still gives an object:
  // its writes do nothing, and the program runs on without a word.
  static std::unique_ptr<ActivityLog> Open(const std::string& path, bool clear_on_start,
                                           const platform::Clock& clock);

  void WriteLog(std::string_view action, std::string_view object, std::string_view reason) const;
  bool Valid() const { return fd_.Valid(); }

 private:
  ActivityLog(platform::UniqueFd fd, const platform::Clock& clock) : fd_(std::move(fd)), clock_(clock) {}

  platform::UniqueFd fd_;
  const platform::Clock& clock_;
};

// A file name may hold tabs and line ends; written escaped (\t, \r, \n, \xHH), a field never
// breaks its line or shifts the columns.
std::string EscapeLogField(std::string_view field);
std::string FormatLogLine(const platform::LocalDateTime& when, std::string_view action,
                          std::string_view object, std::string_view reason);

}  // namespace engine
