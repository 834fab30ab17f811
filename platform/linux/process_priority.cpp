#include "platform/process_priority.h"

#include <dirent.h>
#include <sys/resource.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace platform {

namespace {
constexpr int kBelowNormalNice = 5;
}  // namespace

bool SetProcessBelowNormal() {
  DIR* tasks = opendir("/proc/self/task");
  if (tasks == nullptr) return setpriority(PRIO_PROCESS, 0, kBelowNormalNice) == 0;
  bool all = true;
  while (const dirent* entry = readdir(tasks)) {
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
    const auto tid = static_cast<id_t>(std::strtoul(entry->d_name, nullptr, 10));
    // A thread that ended meanwhile is no failure.
    if (setpriority(PRIO_PROCESS, tid, kBelowNormalNice) != 0 && errno != ESRCH) all = false;
  }
  closedir(tasks);
  return all;
}

}  // namespace platform
