#pragma once
#include <functional>
#include <string>

namespace watcher {

// What the window does after a step of the coordination check.
enum class CoordinationStep {
  kNothing,          // no compressor, no request: keep watching
  kUnloadRequested,  // the request was seen at a check: end with code 2, nothing saved
  kStepAside,        // a compressor runs: pause the monitors and start probing every 200 ms
  kKeepWaiting,      // the compressor still runs
  kUnloadedWhileWaiting,  // the request came while waiting: end with code 1
  kResume,           // the compressor is gone: empty the tables and watch again
};

// The watcher's side of the coordination as a state machine: the window calls Check from its
// 2-second timer and, while waiting, WaitProbe every 200 ms. The probes only test whether a name
// exists; they never create it, so a probe can never make the other program think we run.
class Coordination {
 public:
  using Probe = std::function<bool(const std::string& name)>;
  explicit Coordination(Probe probe);

  CoordinationStep Check();
  CoordinationStep WaitProbe();
  bool Waiting() const { return waiting_; }

 private:
  Probe probe_;
  bool waiting_ = false;
};

// The process exit codes of the watcher.
inline constexpr int kExitNormal = 0;
inline constexpr int kExitStuckOrUnloadedWhileWaiting = 1;
inline constexpr int kExitUnloaded = 2;
inline constexpr int kExitAlreadyRunning = 5;

}  // namespace watcher
