// Stands in for Quobran's window in the coordination tests: unloads the watcher when its command
// line holds "clear", then holds "Quobran" like the window's start-up, until SIGTERM. Ends with 4
// when another Quobran already runs.
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>

#include "platform/clock.h"
#include "shared/ascii_case.h"
#include "shared/instance_markers.h"

namespace {
volatile std::sig_atomic_t g_stop = 0;
void OnTerm(int) { g_stop = 1; }
}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGTERM, OnTerm);
  std::string command_line;
  for (int i = 0; i < argc; ++i) command_line += std::string(i ? " " : "") + argv[i];
  platform::SystemClock clock;
  shared::TPreviousInstance instance;
  if (shared::AsciiLower(command_line).find("clear") != std::string::npos) shared::UnloadWatcher(instance, clock);
  instance.CheckRunning(shared::kQuobranMarker);
  if (instance.AlreadyRunning) return 4;
  std::printf("holding\n");
  std::fflush(stdout);
  while (g_stop == 0) {
    instance.MutexHandle->ReceivePending();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return 0;
}
