#include "watcher/coordination.h"

#include <utility>

#include "shared/instance_markers.h"

namespace watcher {

Coordination::Coordination(Probe probe) : probe_(std::move(probe)) {}

CoordinationStep Coordination::Check() {
  if (waiting_) return CoordinationStep::kKeepWaiting;
  if (probe_(shared::kUnloadWatcherMarker)) return CoordinationStep::kUnloadRequested;
  if (!probe_(shared::kQuobranMarker)) return CoordinationStep::kNothing;
  waiting_ = true;
  return CoordinationStep::kStepAside;
}

CoordinationStep Coordination::WaitProbe() {
  if (!waiting_) return CoordinationStep::kNothing;
  if (probe_(shared::kQuobranMarker)) {
    return probe_(shared::kUnloadWatcherMarker) ? CoordinationStep::kUnloadedWhileWaiting
                                                : CoordinationStep::kKeepWaiting;
  }
  waiting_ = false;
  return CoordinationStep::kResume;
}

}  // namespace watcher
