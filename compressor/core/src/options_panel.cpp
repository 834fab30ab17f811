#include "compressor/options_panel.h"

#include "engine/dscan.h"

namespace compressor {

namespace {

constexpr int kPumpRounds = 1000;

}  // namespace

const std::array<OptionBoxDesign, kBoxCount> kOptionBoxes = {{
    {Box::cb1, 8, 322, "Exclude Windows System Folders",
     "Check this checkbox if You want save Windows System Folders (WSF) not compressed \n"
     "(Strongly Recommended because WSF must accessed faster!)\nUncheck ONLY if you have fast CPU!",
     "ExcludeSystem", true, true},
    {Box::cb2, 8, 341, "Use Smart File Selector",
     "Check if You need use Smart File Selector (by Size, Type and Use Frequency) \nRecommended!", "SmartFile", true,
     true},
    {Box::cb3, 8, 358, "Try Files before Compress",
     "Check if You need to try Compress without Real Compression\n(allow save disk not fragmented but slower)",
     "TryFile", false, true},
    {Box::cb4, 8, 375, "Preserve System Files", "Preserve System Files from Compression.\nSTRONGLY RECOMMENDED!",
     "PreserveSystem", true, true},
    {Box::cb5, 8, 391, "Decompress Worthy Files",
     "Decompress Frequently Used, System and Small Files\nAllow decompress all files which not need compression",
     "DecompWorthy", false, true},
    {Box::cb6, 304, 322, "Disable Sound", "Disable Sound", "DisSound", false, false},
    {Box::cb7, 304, 337, "Save Window Position", "Save window position and restore it after restart Quobran",
     "SaveWinPos", true, false},
    {Box::cb8, 304, 354, "Clear log every Start", "Clear log every run", "ClearLog", false, false},
    {Box::cb9, 8, 407, "Use Velnor Data", "Use Velnor Data.\nAllows gets more accurately result.", "UseVelnor", false,
     true},
    {Box::cb10, 8, 423, "Defragment each modifyed file", "Defragment each file after compression or decompression",
     "Defragment", false, true},
    {Box::cb11, 8, 439, "Defragment any fragmented file",
     "Defragment any file. Need large memory If you have large disks.", "DefragmentAny", false, true},
}};

const char* const kExcludeSystemWarning = "Warning!\nUnchecking this checkbox can slow down your system!\nAre you sure?";
const char* const kPreserveSystemWarning =
    "Warning!\nUnchecking this checkbox can slow down your system\nor even damage system!\nAre you sure?";

std::string_view SoundName(Sound sound) {
  switch (sound) {
    case Sound::LOn:
      return "LOn";
    case Sound::LOff:
      return "LOff";
    case Sound::Move:
      return "Move";
  }
  return "";
}

const OptionBoxDesign& DesignOf(Box box) { return kOptionBoxes[static_cast<size_t>(box) - 1]; }

OptionsPanel::OptionsPanel(Services services) : services_(std::move(services)) {
  // The boxes start unchecked and disabled; the settings check them, the first tick enables them.
}

void OptionsPanel::SetView(OptionsView* view) {
  view_ = view;
  if (view_ == nullptr) return;
  for (const OptionBoxDesign& design : kOptionBoxes) {
    view_->ShowChecked(design.box, Checked(design.box));
    view_->ShowEnabled(design.box, Enabled(design.box));
  }
}

void OptionsPanel::Show(Box box) {
  if (view_ != nullptr) view_->ShowChecked(box, Checked(box));
}

void OptionsPanel::SetEnabled(Box box, bool enabled) {
  if (enabled_[Index(box)] == enabled) return;
  enabled_[Index(box)] = enabled;
  if (view_ != nullptr) view_->ShowEnabled(box, enabled);
}

void OptionsPanel::SetChecked(Box box, bool checked) {
  if (checked_[Index(box)] == checked) return;
  checked_[Index(box)] = checked;
  Show(box);
  RaiseClick(box);
}

void OptionsPanel::Clicked(Box box, bool checked) {
  if (!Enabled(box)) {
    Show(box);
    return;
  }
  checked_[Index(box)] = checked;
  Show(box);
  RaiseClick(box);
}

void OptionsPanel::RaiseClick(Box box) {
  switch (box) {
    case Box::cb1:
      return cb1Click();
    case Box::cb2:
      return cb2Click();
    case Box::cb3:
      return cb3Click();
    case Box::cb4:
      return cb4Click();
    case Box::cb5:
      return cb5Click();
    case Box::cb6:
      return cb6Click();
    case Box::cb9:
      return cb9Click();
    case Box::cb10:
      return cb10Click();
    case Box::cb11:
      return cb11Click();
    case Box::cb7:
    case Box::cb8:
      return;  // counted only when the settings are saved
  }
}

void OptionsPanel::Play(Sound sound) {
  if (!Checked(Box::cb6)) services_.sound.Play(sound);
}

void OptionsPanel::RequestRescan() {
  if (scan_ != nullptr) scan_->RescanRequested.store(true, std::memory_order_relaxed);
}

void OptionsPanel::cb1Click() { GuardedOption(Box::cb1, cb1Busy_, kExcludeSystemWarning); }
void OptionsPanel::cb4Click() { GuardedOption(Box::cb4, cb4Busy_, kPreserveSystemWarning); }

void OptionsPanel::GuardedOption(Box box, bool& busy, const char* warning) {
  if (LoadingSettings || busy) return;
  busy = true;
  Play(Sound::Move);
  if (Checked(box)) {
    RequestRescan();
  } else if (!services_.question.AskYesNo(warning)) {
    SetChecked(box, true);  // its handler, raised by this, sees the busy flag
  } else {
    RequestRescan();
  }
  ApplyOptions();
  busy = false;
}

void OptionsPanel::PlainEngineOption(bool rescan) {
  if (LoadingSettings) return;
  Play(Sound::Move);
  ApplyOptions();
  if (rescan) RequestRescan();
}

void OptionsPanel::cb2Click() { PlainEngineOption(true); }
void OptionsPanel::cb3Click() {
  // A trial changes what an analysis finds, not what a running stretch does.
  PlainEngineOption(scan_ == nullptr || !scan_->StretchMode.load(std::memory_order_relaxed));
}
void OptionsPanel::cb5Click() { PlainEngineOption(true); }
void OptionsPanel::cb10Click() { PlainEngineOption(false); }
void OptionsPanel::cb11Click() { PlainEngineOption(false); }

void OptionsPanel::cb9Click() {
  if (LoadingSettings || OptionsUpdating) return;
  OptionsUpdating = true;
  Play(Sound::Move);
  ApplyOptions();
  RequestRescan();
  OptionsUpdating = false;
}

void OptionsPanel::cb6Click() {
  // Turning the sounds back on is heard, turning them off is silent.
  if (!Checked(Box::cb6)) Play(Sound::Move);
}

void OptionsPanel::ApplyOptions() {
  for (int round = 0; scan_ == nullptr && round < kPumpRounds && services_.pump_messages; ++round) {
    services_.pump_messages();
  }
  engine::DScan* scan = scan_;
  if (scan == nullptr) return;
  constexpr auto relaxed = std::memory_order_relaxed;
  scan->ExcludeSystem.store(Checked(Box::cb1), relaxed);
  scan->SmartFile.store(Checked(Box::cb2), relaxed);
  scan->TryFile.store(Checked(Box::cb3), relaxed);
  scan->PreserveSystem.store(Checked(Box::cb4), relaxed);
  scan->DecompWorthy.store(Checked(Box::cb5), relaxed);
  scan->UseVelnor.store(Checked(Box::cb9), relaxed);
  // A table, once loaded, lives for the whole run; there is nothing to hand over before that.
  if (const shared::WatcherTable* table = services_.watcher_table ? services_.watcher_table() : nullptr) {
    scan->Watcher.store(table, std::memory_order_release);
  }
  scan->Defragment.store(Checked(Box::cb10), relaxed);
  scan->DefragmentAny.store(Checked(Box::cb11), relaxed);
  scan->Paused.store(false, relaxed);
  if (!LoadingSettings && services_.save_settings) services_.save_settings();
}

void OptionsPanel::UpdateEnabling(bool working) {
  OptionsUpdating = true;
  for (const OptionBoxDesign& design : kOptionBoxes) SetEnabled(design.box, !design.engine_option || !working);
  OptionsUpdating = false;
}

void OptionsPanel::SetEngineBoxesEnabled(bool enabled) {
  for (const OptionBoxDesign& design : kOptionBoxes) {
    if (design.engine_option) SetEnabled(design.box, enabled);
  }
}

}  // namespace compressor
