#include "shared/instance_markers.h"

namespace shared {

void TPreviousInstance::CheckRunning(const std::string& name) {
  platform::NamedMarker::CreateResult result;
  MutexHandle = platform::NamedMarker::Create(name, result);
  // A name that cannot be taken at all counts as taken: two instances must never both run.
  AlreadyRunning = result != platform::NamedMarker::CreateResult::kCreated;
}

bool ProbeMutex(const std::string& name) { return platform::NamedMarker::Exists(name); }

void UnloadWatcher(TPreviousInstance& instance, platform::Clock& clock) {
  instance.AlreadyRunning = false;
  for (;;) {
    platform::NamedMarker::CreateResult result;
    instance.MutexHandle = platform::NamedMarker::Create(kUnloadWatcherMarker, result);
    if (result == platform::NamedMarker::CreateResult::kCreated) break;
    // Another compressor holds the request: wait until it has seen the watcher go. A name that
    // cannot be made at all is tried again, a little later rather than in a busy loop.
    clock.Sleep(result == platform::NamedMarker::CreateResult::kAlreadyExists ? 1000 : 50);
  }
  while (ProbeMutex(kVelnorMarker)) clock.Sleep(1000);
  instance.MutexHandle.reset();
}

}  // namespace shared
