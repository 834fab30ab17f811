#include "engine/dscan.h"

#include "engine/special_folder_match.h"
#include "platform/attribute_record.h"
#include "platform/directory_reader.h"

namespace engine {

namespace {

constexpr const char* kToDo = "0";
constexpr const char* kDone = "1";

bool Get(const std::atomic<bool>& flag) { return flag.load(std::memory_order_relaxed); }
void Set(std::atomic<bool>& flag, bool value) { flag.store(value, std::memory_order_relaxed); }

}  // namespace

void SharedText::Set(std::string_view text) {
  std::lock_guard<std::mutex> lock(mutex_);
  text_.assign(text);
}

std::string SharedText::Get() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return text_;
}

DScan::DScan(Services services) : services_(services) {}

DScan::~DScan() {
  // The body may be waiting for the main thread in CollectCheckedFolders: keep serving it.
  TerminateAndWait([this] { services_.dispatcher.Pump(); });
}

void DScan::SetSpecialFolders(const platform::SpecialFolders& folders) {
  WindowsDir = folders.windows_dir;
  UserWindowsDir = folders.user_windows_dir;
  Wow64SystemDir = folders.wow64_system_dir;
  TempDir = folders.temp_dir;
}

void DScan::WriteLog(std::string_view action, std::string_view object, std::string_view reason) const {
  if (LogFile != nullptr) LogFile->WriteLog(action, object, reason);
}

void DScan::Execute() {
  while (!Terminated()) {
    if (Get(RescanRequested)) Rescan();
    StatusText.Set("Complete.");
    FolderLoop();
    ReportEndOfPass();
    while (Get(Paused) && !Terminated()) SleepOneSecond();
  }
  WriteLog("Stretch Thread", "Termonating", "Main Request");
  Finished.store(true, std::memory_order_release);
}

void DScan::Rescan() {
  {
    std::lock_guard<std::mutex> hold(hold_);
    WriteLog("Rescan", "Started", "Initiated");
    Set(ResultReported, false);
    if (!Get(StretchMode)) {
      Set(AnalyzeComplete, false);
    } else {
      // A stretch asked for while an analysis is still unacknowledged starts from the tree as
      // well: the candidates are file paths, which the folder walk cannot take.
      Set(StretchComplete, false);
    }
    // Cleared before collecting, so a request made meanwhile is kept for the next cycle.
    Set(RescanRequested, false);
  }
  CandidateFiles.clear();
  services_.dispatcher.RunSync([this] { CollectCheckedFolders(); });
}

void DScan::ReportEndOfPass() {
  std::unique_lock<std::mutex> hold(hold_);
  if (Get(CancelRequested)) {
    FolderQueue.clear();
    FolderStates.clear();
    CandidateFiles.clear();
    Set(CancelRequested, false);
    Set(ResultReported, true);
    WriteLog("Canceling", "Cancel", "By Request");
  }
  if (!FolderQueue.empty()) return;
  Set(Idle, true);
  const bool quiet = !Get(RescanRequested) && !Terminated() && !Get(ResultReported);
  if (quiet && !Get(StretchMode)) {
    Set(AnalyzeComplete, true);
    Set(StretchComplete, false);
    Set(ResultReported, true);
    WriteLog("Analyze", "Complete", "As Need");
  } else if (quiet && Get(StretchMode)) {
    WriteLog("Stretching", "Complete", "As Need");
    Set(AnalyzeComplete, false);
    Set(StretchComplete, true);
    Set(ResultReported, true);
  }
  hold.unlock();
  SleepOneSecond();
}

void DScan::FolderLoop() {
  const std::array<std::string_view, 4> special{WindowsDir, UserWindowsDir, Wow64SystemDir, TempDir};
  size_t i = 0;
  while (i < FolderQueue.size()) {
    if (Get(CancelRequested)) return;
    Set(Idle, false);
    if (FolderStates[i] == kDone) {
      FolderQueue.erase(FolderQueue.begin() + static_cast<std::ptrdiff_t>(i));
      FolderStates.erase(FolderStates.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      const std::string folder = FolderQueue[i];
      StatusText.Set((Get(StretchMode) ? "Stretching " : "Scaning ") + folder);
      if (Get(ExcludeSystem) && IsSpecialFolder(folder, special)) {
        FolderStates[i] = kDone;
        ++i;
        continue;
      }
      WalkFolder(folder);
      FolderStates[i] = kDone;
    }
    // Restart from the front: finished entries are dropped as the loop passes over them.
    if (Terminated() || Get(RescanRequested) || Get(CancelRequested)) return;
    i = 0;
  }
}

void DScan::WalkFolder(const std::string& folder) {
  platform::DirectoryReader reader;
  if (!reader.Open(folder)) return;
  platform::DirEntry entry;
  std::string path;
  while (reader.Next(entry)) {
    while (Get(Paused) && !Terminated() && !Get(RescanRequested)) SleepOneSecond();
    if (Get(CancelRequested)) return;
    if (entry.name.empty() || entry.name[0] == '.') continue;
    path.assign(folder).append(entry.name);
    if (entry.attributes & platform::FILE_ATTRIBUTE_DIRECTORY) {
      path.push_back('/');
      FolderQueue.push_back(path);
      FolderStates.emplace_back(kToDo);
    } else if (services_.decider.Decide(*this, path, entry) == FileDecider::Outcome::kSkipped) {
      continue;
    }
    if (Terminated() || Get(RescanRequested)) return;
  }
}

void DScan::CollectCheckedFolders() {
  AllFilesCount = 0;
  CompressedFilesCount = 0;
  AllFilesSize = 0;
  FilesSizeOnDisk = 0;
  RealFilesSizeOnDisk = 0;
  SavedSpace = 0;
  FolderQueue.clear();
  FolderStates.clear();
  if (Tree == nullptr) return;
  for (const CheckTreeNode* node : Tree->NodesInTreeOrder()) {
    if (node->Level() == 1 && node->Data() != nullptr) AddCheckedNode(*node);
  }
}

void DScan::AddCheckedNode(const CheckTreeNode& node) {
  if (node.Kind() != CheckTreeNode::kKindCompressibleDrive && node.Kind() != CheckTreeNode::kKindFolder) {
    return;
  }
  if (node.State() == CheckTreeNode::kStateChecked) {
    const std::string* data = node.Data();
    if (data != nullptr && *data != "*PleaseExpandMe*") {
      FolderQueue.push_back(*data);
      FolderStates.emplace_back(kToDo);
    }
  } else if (node.State() == CheckTreeNode::kStatePartlyChecked) {
    for (const CheckTreeNode* child : node.Children()) {
      if (child->State() > 1) AddCheckedNode(*child);
    }
  }
}

}  // namespace engine
