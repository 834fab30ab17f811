#include "compressor/control_panel.h"

#include <utility>

#include "compressor/mebibytes.h"
#include "compressor/statistics_lines.h"
#include "compressor/watcher_data.h"
#include "engine/dscan.h"

namespace compressor {

namespace {

constexpr auto relaxed = std::memory_order_relaxed;

bool Get(const std::atomic<bool>& flag) { return flag.load(relaxed); }
void Set(std::atomic<bool>& flag, bool value) { flag.store(value, relaxed); }

}  // namespace

StatusShown StatusFor(bool defragmenting, bool paused, bool idle, bool stretch_mode) {
  if (defragmenting) return {"Defragmenting", true, false, "Defragmenting"};
  if (paused) return {"Pause", false, false, "Pause"};
  if (idle) return {"Idle", false, false, "Idle..."};
  if (stretch_mode) return {"Stretching", true, true, ""};
  return {"Analyzing", true, true, ""};
}

std::string Bare(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

ControlPanel::ControlPanel(OptionsPanel& options, WatcherData& watcher_data)
    : options_(options), watcher_data_(watcher_data) {
  labels_ = {"All Space:",         "Free Space:",          "All Files Count:",
             "Compressed Files Count:", "All Files Size:", "Files Size on Disc:",
             "Real Files Size on Disc:", "Saved Disk Space:", "Supposed Save Disk(s) Space:"};
}

ControlPanel::~ControlPanel() {
  // The engine refers to the options panel's table and the window's log: it goes first.
  options_.SetEngine(nullptr);
  scan_.reset();
}

void ControlPanel::SetEngine(std::unique_ptr<engine::DScan> scan) {
  scan_ = std::move(scan);
  options_.SetEngine(scan_.get());
}

void ControlPanel::SetDiskLabels(const std::string& label1, const std::string& label2) {
  labels_[0] = label1;
  labels_[1] = label2;
}

bool ControlPanel::Disabled(Control control) const {
  switch (control) {
    case Control::pb3:
      return working_;
    case Control::pb6:
      return backgound_disabled_;
    default:
      return false;
  }
}

std::string ControlPanel::Caption(Control control) const {
  switch (control) {
    case Control::pb1:
      return status_word_;
    case Control::pb2:
      return "Exit";
    case Control::pb3:
      return "Refresh";
    case Control::pb4:
      return working_ ? kCancelCaption : kStartCaption;
    case Control::pb5:
      return scan_ && Get(scan_->Paused) ? kResumeCaption : kPauseCaption;
    case Control::pb6:
      return "Backgound";
    case Control::pb7:
      return "About...";
  }
  return "";
}

void ControlPanel::Timer1Timer(bool window_active) {
  window_active_ = window_active;
  if (tick_busy_ || !scan_) return;
  tick_busy_ = true;
  if (view_) view_->SetTimerInterval(Get(scan_->Paused) ? kPausedTickInterval : kTickInterval);
  pulse_width_ += pulse_step_;
  if (pulse_width_ > 4 || pulse_width_ < 1) pulse_step_ = -pulse_step_;
  RefreshStatistics();
  SetStatus();
  status_word_ = std::string(static_cast<size_t>(pulse_width_), ' ') + status_word_ +
                 std::string(static_cast<size_t>(pulse_width_), ' ');
  if (Get(scan_->Idle) != remembered_idle_ || status_word_ != previous_status_) ReportChanges();
  options_.UpdateEnabling(working_);
  tick_busy_ = false;
}

void ControlPanel::RefreshStatistics() {
  const engine::DScan& scan = *scan_;
  const int64_t values[5] = {scan.AllFilesCount.load(relaxed), scan.CompressedFilesCount.load(relaxed),
                             scan.AllFilesSize.load(relaxed), scan.FilesSizeOnDisk.load(relaxed),
                             scan.RealFilesSizeOnDisk.load(relaxed)};
  std::string (*const texts[5])(int64_t) = {AllFilesCountLine, CompressedFilesCountLine, AllFilesSizeLine,
                                           FilesSizeOnDiskLine, RealFilesSizeOnDiskLine};
  for (size_t line = 0; line < 5; ++line) {
    if (values[line] == shown_[line]) continue;
    shown_[line] = values[line];
    labels_[line + 2] = texts[line](values[line]);
  }
  labels_[7] = AlreadySavedSpaceLine(values[3], values[4]);
  const int64_t saved = scan.SavedSpace.load(relaxed);
  if (saved != shown_saved_) {
    shown_saved_ = saved;
    labels_[8] = SavedSpaceLine(saved, Get(scan.StretchMode), options_.Checked(Box::cb3));
  }
}

void ControlPanel::SetStatus() {
  const engine::DScan& scan = *scan_;
  const StatusShown shown = StatusFor(Get(scan.Defragmenting), Get(scan.Paused), Get(scan.Idle), Get(scan.StretchMode));
  status_word_ = shown.word;
  if (!view_) return;
  view_->SetTrayAnimation(shown.animate);
  view_->SetStatusBar(shown.engine_text ? scan.StatusText.Get() : std::string(shown.bar));
}

void ControlPanel::ReportChanges() {
  engine::DScan& scan = *scan_;
  const std::string bare = Bare(status_word_);
  const bool changed = status_word_ != previous_status_;
  std::string hint = "Quobran\n" + bare;
  if (Get(scan.StretchMode)) hint += "\nSaved Disk(s) Space: " + Mebibytes(scan.SavedSpace.load(relaxed));
  if (changed && Get(scan.AnalyzeComplete)) {
    const std::string count = std::to_string(scan.AllFilesCount.load(relaxed));
    const std::string saved = std::to_string(scan.SavedSpace.load(relaxed));
    if (view_) {
      view_->WriteLog("Analyze", "Stopped", "As need");
      view_->WriteLog("Analyze", "FilesCount", count);
      view_->WriteLog("Analyze", "Supposed Save Disk Space", saved);
    }
    hint = "Quobran\n" + bare + "\nFiles Count: " + count + "\nSupposed Save Disk(s) Space: " + saved;
    if (view_) view_->ShowBalloon("Files Count: " + count + "\nSupposed Save Disk(s) Space: " + saved);
    const auto hold = scan.Hold();
    Set(scan.StretchComplete, false);
    Set(scan.AnalyzeComplete, false);
    Set(scan.ResultReported, true);
  }
  if (view_) view_->SetTrayHint(hint);
  if (changed && Get(scan.StretchComplete)) {
    {
      const auto hold = scan.Hold();
      Set(scan.StretchComplete, false);
      Set(scan.AnalyzeComplete, false);
      Set(scan.ResultReported, true);
    }
    // Only a running stretch is stopped: a completion seen without one must not start another.
    if (working_) pb4Click();
  }
  const bool bare_changed = bare != Bare(previous_status_);
  if (bare_changed) remembered_idle_ = Get(scan.Idle);
  previous_status_ = status_word_;
  if (!view_) return;
  view_->Repaint(Control::pb1);
  if (!bare_changed) return;
  for (Control control : {Control::pb2, Control::pb3, Control::pb4, Control::pb5, Control::pb6, Control::pb7}) {
    view_->Repaint(control);
  }
  view_->RepaintTree();
}

void ControlPanel::pb4Click() {
  if (Disabled(Control::pb4)) return;
  // The engine reads the pass flags under the same lock, so it never acts on half of them. Nothing
  // below waits for the engine.
  std::unique_lock<std::mutex> hold;
  if (scan_) hold = scan_->Hold();
  Play(Sound::LOn);
  working_ = !working_;
  status_word_ = "Preparing";
  backgound_disabled_ = !working_;
  if (view_) {
    for (Control control : {Control::pb1, Control::pb2, Control::pb3, Control::pb4, Control::pb5, Control::pb6}) {
      view_->Repaint(control);
    }
  }
  options_.ApplyOptions();
  if (working_) {
    if (scan_) {
      Set(scan_->StretchMode, true);
      Set(scan_->RescanRequested, true);
      watcher_data_.HandOver(*scan_);
    }
    options_.SetEngineBoxesEnabled(false);
    return;
  }
  std::string count = "0";
  std::string saved = "0";
  if (scan_) {
    Set(scan_->StretchMode, false);
    Set(scan_->CancelRequested, true);
    Set(scan_->RescanRequested, false);
    Set(scan_->AnalyzeComplete, false);
    count = std::to_string(scan_->AllFilesCount.load(relaxed));
    saved = std::to_string(scan_->SavedSpace.load(relaxed));
  }
  options_.SetEngineBoxesEnabled(true);
  if (!view_) return;
  view_->WriteLog("Stretching", "Stopped", "As need");
  view_->WriteLog("Stretching", "FilesCount", count);
  view_->WriteLog("Stretching", "Saved Disk Space", saved);
  view_->SetTrayHint("Quobran\nFilesCount: " + count + "\nSaved Disk(s) Space: " + saved);
  view_->ShowBalloon("FilesCount: " + count + "\nSaved Disk(s) Space: " + saved);
}

void ControlPanel::pb5Click() {
  if (Disabled(Control::pb5)) return;
  Play(Sound::LOn);
  if (scan_) Set(scan_->Paused, !Get(scan_->Paused));
}

void ControlPanel::Pause1Click() {
  pb5Click();
  if (view_) view_->Repaint(Control::pb5);
}

void ControlPanel::SetEnginePriorityForVisibility(bool visible) {
  if (scan_) scan_->SetPriority(visible ? platform::ThreadPriority::tpLower : platform::ThreadPriority::tpLowest);
}

void ControlPanel::pb6Click() {
  if (Disabled(Control::pb6) || !view_) return;
  Play(Sound::LOn);
  const bool visible = !view_->WindowVisible();
  view_->SetWindowVisible(visible);
  SetEnginePriorityForVisibility(visible);
  if (visible) view_->BringToFront();
}

void ControlPanel::ShowHide() {
  if (!view_) return;
  Play(Sound::LOn);
  if (!view_->WindowVisible()) {
    view_->SetWindowVisible(true);
    SetEnginePriorityForVisibility(true);
    view_->BringToFront();
  } else if (window_active_) {
    view_->SetWindowVisible(false);
    SetEnginePriorityForVisibility(false);
  } else {
    view_->BringToFront();
    SetEnginePriorityForVisibility(true);
  }
}

void ControlPanel::pb3Click() {
  if (working_) return;
  Play(Sound::LOn);
  if (view_) view_->RebuildTree();
  if (!scan_) return;
  Set(scan_->RescanRequested, true);
  Set(scan_->AnalyzeComplete, false);
  Set(scan_->Paused, false);
}

void ControlPanel::pb7Click() {
  if (Disabled(Control::pb7)) return;
  Play(Sound::LOn);
  if (view_) view_->ShowAbout(options_.Checked(Box::cb6));
}

void ControlPanel::pb2Click() {
  if (Disabled(Control::pb2) || exit_busy_) return;
  exit_busy_ = true;
  Play(Sound::LOn);
  if (scan_) {
    if (view_) view_->WriteLog("Quobran", "Exit", "User request");
    scan_->Terminate();
    for (int round = 0; round < kExitPumpRounds && !scan_->Finished.load(std::memory_order_acquire); ++round) {
      if (view_) view_->PumpMessages();
    }
    options_.SetEngine(nullptr);
    // The destruction waits for the body, serving its calls into the main thread meanwhile.
    scan_.reset();
    if (view_) view_->CloseLog();
  }
  if (view_) {
    view_->SaveSettings();
    view_->CloseWindow();
  }
  exit_busy_ = false;
}

void ControlPanel::MouseEnter(Control control) {
  if (control != Control::pb1 && !Disabled(control)) Play(Sound::LOff);
  hovered_[Index(control)] = true;
  if (view_) view_->Repaint(control);
}

void ControlPanel::MouseLeave(Control control) {
  hovered_[Index(control)] = false;
  if (view_) view_->Repaint(control);
}

}  // namespace compressor
