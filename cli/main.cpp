// quobran-cli: the engine without a window, for servers, scripts and benchmarks.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "command_line.h"
#include "compressor/checked_folders.h"
#include "compressor/statistics_lines.h"
#include "compressor/watcher_data.h"
#include "engine/activity_log.h"
#include "engine/defragmenter.h"
#include "engine/dscan.h"
#include "engine/file_decision.h"
#include "engine/special_folder_match.h"
#include "platform/clock.h"
#include "platform/defrag_volume.h"
#include "platform/dispatcher.h"
#include "platform/file_system.h"
#include "platform/program_directory.h"
#include "platform/special_folders.h"
#include "shared/instance_markers.h"
#include "shared/settings_file.h"

namespace {

std::atomic<bool> g_interrupted{false};

void OnInterrupt(int) { g_interrupted.store(true); }

void ApplyOptions(engine::DScan& scan, const cli::EngineOptions& options) {
  scan.ExcludeSystem = options.ExcludeSystem;
  scan.SmartFile = options.SmartFile;
  scan.TryFile = options.TryFile;
  scan.PreserveSystem = options.PreserveSystem;
  scan.DecompWorthy = options.DecompWorthy;
  scan.UseVelnor = options.UseVelnor;
  scan.Defragment = options.Defragment;
  scan.DefragmentAny = options.DefragmentAny;
}

// One line that rewrites itself on a terminal; elsewhere a line a second at most.
class Progress {
 public:
  Progress() : terminal_(isatty(STDERR_FILENO) != 0) {}

  void Show(const engine::DScan& scan) {
    const auto now = std::chrono::steady_clock::now();
    const std::string status = scan.StatusText.Get();
    if (status.empty() || status == "Complete.") return;
    if (!terminal_ && (status == last_status_ || now - last_line_ < std::chrono::seconds(1))) return;
    last_status_ = status;
    last_line_ = now;
    std::fprintf(stderr, "%s%s: %lld files, %lld bytes%s", terminal_ ? "\r\033[K" : "", status.c_str(),
                 static_cast<long long>(scan.AllFilesCount.load()), static_cast<long long>(scan.AllFilesSize.load()),
                 terminal_ ? "" : "\n");
    std::fflush(stderr);
  }

  void End() {
    if (terminal_) std::fprintf(stderr, "\r\033[K");
  }

 private:
  bool terminal_;
  std::string last_status_;
  std::chrono::steady_clock::time_point last_line_{};
};

// A folder given by name and then skipped whole would look like an empty one.
void WarnOfExcludedFolders(const compressor::CheckedFolders& folders, const engine::DScan& scan) {
  for (const engine::CheckTreeNode* node : folders.NodesInTreeOrder()) {
    if (engine::IsSpecialFolder(*node->Data(), {scan.WindowsDir, scan.UserWindowsDir, scan.Wow64SystemDir, scan.TempDir})) {
      std::fprintf(stderr, "quobran-cli: %s lies in a system folder and is skipped; --no-exclude-system takes it in\n",
                   node->Data()->c_str());
    }
  }
}

void ReportResult(const engine::DScan& scan, bool stretch) {
  const char* action = stretch ? "Stretching" : "Analyze";
  scan.WriteLog(action, "Stopped", "As need");
  scan.WriteLog(action, "FilesCount", std::to_string(scan.AllFilesCount.load()));
  scan.WriteLog(action, stretch ? "Saved Disk Space" : "Supposed Save Disk Space", std::to_string(scan.SavedSpace.load()));
}

void PrintStatistics(const engine::DScan& scan, bool stretch) {
  const int64_t on_disk = scan.FilesSizeOnDisk.load();
  const int64_t real = scan.RealFilesSizeOnDisk.load();
  for (const std::string& line : {compressor::AllFilesCountLine(scan.AllFilesCount.load()),
                                  compressor::CompressedFilesCountLine(scan.CompressedFilesCount.load()),
                                  compressor::AllFilesSizeLine(scan.AllFilesSize.load()),
                                  compressor::FilesSizeOnDiskLine(on_disk), compressor::RealFilesSizeOnDiskLine(real),
                                  compressor::AlreadySavedSpaceLine(on_disk, real),
                                  compressor::SavedSpaceLine(scan.SavedSpace.load(), stretch, scan.TryFile.load())}) {
    std::printf("%s\n", line.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::string program_directory = platform::ProgramDirectory();
  cli::CommandLine command;
  std::string error;
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  if (!cli::ParseCommandLine(arguments, cli::OptionsFromSettings(program_directory + shared::kSettingsFileName),
                             command, error)) {
    std::fprintf(stderr, "quobran-cli: %s\n\n%s", error.c_str(), cli::kUsage);
    return 2;
  }
  if (command.help) {
    std::fputs(cli::kUsage, stdout);
    return 0;
  }
  compressor::CheckedFolders folders;
  for (const std::string& folder : command.folders) {
    if (!folders.Add(folder)) {
      std::fprintf(stderr, "quobran-cli: not a folder: %s\n", folder.c_str());
      return 2;
    }
  }

  // Held like Quobran's own marker: Velnor stands aside, so the rewrites of a stretch are no uses,
  // and a cli and the window never work at once.
  shared::TPreviousInstance instance;
  instance.CheckRunning(shared::kQuobranMarker);
  if (instance.AlreadyRunning) {
    std::fprintf(stderr, "quobran-cli: Quobran is already running (the window or another quobran-cli); try again when it has ended\n");
    return 3;
  }

  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  platform::SystemClock clock;
  platform::QueuedDispatcher dispatcher;
  const auto files = platform::MakeLinuxFileSystem();
  const auto volume = platform::MakeLinuxDefragVolume();
  engine::Defragmenter defragmenter(*files, *volume);
  engine::FileDecision decision(*files, defragmenter);
  const auto log = engine::ActivityLog::Open(command.log_path.value_or(program_directory + engine::kLogFileName),
                                             false, clock);
  log->WriteLog("Quobran", "Started", "User request");

  // Velnor's statistics are read once, before the walk, and only when they are to decide.
  compressor::WatcherData watcher_data(program_directory);
  auto scan = std::make_unique<engine::DScan>(engine::DScan::Services{clock, dispatcher, decision});
  scan->Tree = &folders;
  scan->LogFile = log.get();
  scan->SetSpecialFolders(platform::ReadSpecialFolders());
  ApplyOptions(*scan, command.options);
  if (command.options.ExcludeSystem) WarnOfExcludedFolders(folders, *scan);
  if (command.options.UseVelnor) {
    watcher_data.LoadOnce();
    watcher_data.HandOver(*scan);
  }
  scan->StretchMode = command.stretch;
  scan->SetPriority(platform::ThreadPriority::tpLower);
  scan->Resume();

  Progress progress;
  const std::atomic<bool>& complete = command.stretch ? scan->StretchComplete : scan->AnalyzeComplete;
  while (!complete.load() && !g_interrupted.load()) {
    dispatcher.Pump();
    instance.MutexHandle->ReceivePending();  // the probes of a waiting Velnor
    progress.Show(*scan);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  progress.End();
  // The engine raises the flag and then logs its completion line, both under the hold lock: once
  // the lock is ours, its line is in the log before our report.
  { const auto hold = scan->Hold(); }
  const bool interrupted = !complete.load();
  if (interrupted) {
    // A compression under way is finished by the file system; the engine stops after that file.
    std::fprintf(stderr, "quobran-cli: interrupted; the counts below are those of the files done so far\n");
  } else {
    ReportResult(*scan, command.stretch);
  }
  PrintStatistics(*scan, command.stretch);
  log->WriteLog("Quobran", "Exit", "User request");
  scan.reset();
  return interrupted ? 130 : 0;
}
