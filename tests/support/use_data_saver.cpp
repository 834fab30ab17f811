// Saves use tables into a program directory over and over, for the crash-safety test to kill at
// random moments. Every save merges one more use into each of the base paths and adds one new
// path, so a whole file always holds base + uses records, each base path with `uses` uses.
//
//   use_data_saver PROGRAM_DIRECTORY BASE_PATHS [once]
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/change_notifier.h"
#include "watcher/save_monitor_data.h"
#include "watcher/use_table.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s PROGRAM_DIRECTORY BASE_PATHS [once]\n", argv[0]);
    return 2;
  }
  const watcher::UseDataFiles files = watcher::UseDataFilesIn(argv[1]);
  const int base_paths = std::atoi(argv[2]);
  const bool once = argc > 3 && std::string(argv[3]) == "once";
  for (long save = 0;; ++save) {
    watcher::UseTable table;
    for (int i = 0; i < base_paths; ++i) {
      table.RecordUse(platform::kChangeModified, "/home/user/documents/base-" + std::to_string(i) + ".txt", 1000 + save);
    }
    table.RecordUse(platform::kChangeModified, "/home/user/new/" + std::to_string(getpid()) + "-" + std::to_string(save),
                    1000 + save);
    if (watcher::SaveMonitorData(table, files) != watcher::SaveResult::kSaved) return 1;
    if (once) return 0;
  }
}
