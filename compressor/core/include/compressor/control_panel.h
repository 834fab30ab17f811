#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "compressor/options_panel.h"

namespace engine {
class DScan;
}

namespace compressor {

class WatcherData;

// The status panel pb1 and the six painted buttons pb2 ... pb7.
enum class Control { pb1 = 1, pb2, pb3, pb4, pb5, pb6, pb7 };
inline constexpr int kControlCount = 7;

inline constexpr int kTickInterval = 500;
inline constexpr int kPausedTickInterval = 3000;
inline constexpr int kExitPumpRounds = 999;

inline constexpr const char* kStartCaption = "Stretch My Disk(s)";
inline constexpr const char* kCancelCaption = "Cancel Stretch";
inline constexpr const char* kPauseCaption = "Pause";
inline constexpr const char* kResumeCaption = "Resume";

// What the engine's flags make of the status word, the tray animation and the status bar; the
// first flag set wins, so a pause never hides a move under way.
struct StatusShown {
  const char* word;
  bool animate;
  bool engine_text;   // the status bar shows the engine's StatusText
  const char* bar;    // otherwise this
};
StatusShown StatusFor(bool defragmenting, bool paused, bool idle, bool stretch_mode);

// Blanks and all: compares the word as the tick padded it.
std::string Bare(const std::string& text);

// What the panel needs of its window. Main thread only.
class ControlView {
 public:
  virtual ~ControlView() = default;
  virtual void SetTimerInterval(int milliseconds) = 0;
  virtual void SetStatusBar(const std::string& text) = 0;
  virtual void SetTrayAnimation(bool on) = 0;
  virtual void SetTrayHint(const std::string& text) = 0;
  virtual void ShowBalloon(const std::string& text) = 0;
  virtual void Repaint(Control control) = 0;
  virtual void RepaintTree() = 0;
  virtual bool WindowVisible() const = 0;
  virtual void SetWindowVisible(bool visible) = 0;
  virtual void BringToFront() = 0;
  virtual void ShowAbout(bool silent) = 0;
  // Refresh: the tree filled again from the drives and the disk sizes recomputed.
  virtual void RebuildTree() = 0;
  // One round of the window's pending messages.
  virtual void PumpMessages() = 0;
  // The window's own log lines, through the log the engine writes too.
  virtual void WriteLog(const std::string& action, const std::string& object, const std::string& reason) = 0;
  virtual void CloseLog() = 0;
  virtual void SaveSettings() = 0;
  virtual void CloseWindow() = 0;
};

// The control panel of the main window without its widgets: the 500 ms status tick, the nine
// statistics lines, the pulsing status word, the tray texts and the button actions.
class ControlPanel {
 public:
  ControlPanel(OptionsPanel& options, WatcherData& watcher_data);
  ~ControlPanel();
  ControlPanel(const ControlPanel&) = delete;
  ControlPanel& operator=(const ControlPanel&) = delete;

  void SetView(ControlView* view) { view_ = view; }
  // The panel owns the engine from start-up to Exit.
  void SetEngine(std::unique_ptr<engine::DScan> scan);
  engine::DScan* Engine() const { return scan_.get(); }

  void Timer1Timer(bool window_active);
  void pb4Click();  // Start / Cancel
  void pb5Click();  // Pause / Resume
  void Pause1Click();
  void pb6Click();  // Backgound
  void ShowHide();  // tray icon click, tray menu Show/Hide
  void pb3Click();  // Refresh
  void pb7Click();  // About
  void pb2Click();  // Exit
  void MouseEnter(Control control);
  void MouseLeave(Control control);
  // The tray menu's Pause item is usable unless pb5 is disabled.
  bool Pause1Enabled() const { return !Disabled(Control::pb5); }

  // Captions as painted now; pb5 says "Resume" while the engine is paused.
  std::string Caption(Control control) const;

  // Label1 ... Label9; Label1 and Label2 are the disk sizes of the drive tree.
  const std::string& Label(int number) const { return labels_[static_cast<size_t>(number - 1)]; }
  void SetDiskLabels(const std::string& label1, const std::string& label2);

  bool Working() const { return working_; }
  const std::string& StatusWord() const { return status_word_; }
  int PulseWidth() const { return pulse_width_; }
  int PulseStep() const { return pulse_step_; }
  bool WindowActive() const { return window_active_; }
  bool Hovered(Control control) const { return hovered_[Index(control)]; }
  bool Disabled(Control control) const;
  bool ExitBusy() const { return exit_busy_; }
  int Brightness() const { return 200; }

 private:
  static size_t Index(Control control) { return static_cast<size_t>(control) - 1; }
  void RefreshStatistics();
  void SetStatus();
  void ReportChanges();
  void Play(Sound sound) { options_.Play(sound); }
  void SetEnginePriorityForVisibility(bool visible);

  OptionsPanel& options_;
  WatcherData& watcher_data_;
  ControlView* view_ = nullptr;
  std::unique_ptr<engine::DScan> scan_;

  bool working_ = false;
  std::string status_word_;
  int pulse_width_ = 0;
  int pulse_step_ = 1;
  std::string previous_status_;
  bool remembered_idle_ = true;
  // Lines 3 ... 7 and 9; line 9 starts at -1 so that it is written at the first tick.
  std::array<int64_t, 5> shown_{};
  int64_t shown_saved_ = -1;
  bool window_active_ = false;
  std::array<bool, kControlCount> hovered_{};
  bool backgound_disabled_ = false;
  bool tick_busy_ = false;
  bool exit_busy_ = false;
  std::array<std::string, 9> labels_;
};

}  // namespace compressor
