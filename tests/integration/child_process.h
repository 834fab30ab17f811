#pragma once
// Real programs as child processes, with bounded waits. The tests that start them first move into
// a network namespace of their own: the instance markers are abstract socket names, so other test
// programs running at the same time neither see nor disturb ours.
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// Empty when this process now has its own network namespace, else why not (not root).
std::string IsolateMarkers();

class ChildProcess {
 public:
  // `environment` entries ("NAME=value") are added to ours; stdout and stderr go to `output`.
  ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
               const std::string& output = "/dev/null");
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();  // kills a child that still runs

  pid_t pid() const { return pid_; }
  // The exit code once it has ended within `timeout` (-1 - signal for a signal), else nothing.
  std::optional<int> WaitExit(std::chrono::milliseconds timeout);
  bool Running();
  void Signal(int signal_number);

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
};

// Polls `done` every few milliseconds up to `timeout`; the last answer.
bool Eventually(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(10));

}  // namespace testing_support
