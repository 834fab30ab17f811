#pragma once
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/named_marker.h"

namespace shared {

inline constexpr const char* kQuobranMarker = "Quobran";
inline constexpr const char* kVelnorMarker = "Velnor";
inline constexpr const char* kUnloadWatcherMarker = "QuobranMustUnloadWatcher";

// Held from start-up to the end of the process: the program's instance marker, or while
// unloading the watcher, the unload request.
class TPreviousInstance {
 public:
  // Takes `name`; AlreadyRunning is set when another instance holds it (or it cannot be taken).
  void CheckRunning(const std::string& name);
  bool AlreadyRunning = false;
  std::unique_ptr<platform::NamedMarker> MutexHandle;
};

// Whether a marker of that name exists; never creates it.
bool ProbeMutex(const std::string& name);

// The compressor's request that every running watcher end: holds the request until no watcher
// runs, waiting a second between probes (and while another compressor holds the request).
void UnloadWatcher(TPreviousInstance& instance, platform::Clock& clock);

}  // namespace shared
