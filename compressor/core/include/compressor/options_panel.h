#pragma once
#include <array>
#include <functional>
#include <string_view>

namespace engine {
class DScan;
}
namespace shared {
struct WatcherTable;
}

namespace compressor {

// The program's short sounds, by resource name: "LOn" on clicks, "LOff" when the pointer enters a
// painted button, "Move" on option clicks.
enum class Sound { LOn, LOff, Move };
std::string_view SoundName(Sound sound);

class SoundPlayer {
 public:
  virtual ~SoundPlayer() = default;
  // Plays without waiting; a sound that cannot be played is not heard, and that is all.
  virtual void Play(Sound sound) = 0;
};

// The warning message box with the buttons Yes and No.
class Question {
 public:
  virtual ~Question() = default;
  // False only for the answer No.
  virtual bool AskYesNo(std::string_view text) = 0;
};

enum class Box { cb1 = 1, cb2, cb3, cb4, cb5, cb6, cb7, cb8, cb9, cb10, cb11 };
inline constexpr int kBoxCount = 11;

struct OptionBoxDesign {
  Box box;
  int left;
  int top;
  const char* caption;
  const char* hint;
  const char* key;  // in section "Main" of the settings file
  bool default_checked;
  bool engine_option;  // locked during a stretch run
};
inline constexpr int kOptionBoxWidth = 225;
inline constexpr int kOptionBoxHeight = 17;
// In the order cb1 ... cb11.
extern const std::array<OptionBoxDesign, kBoxCount> kOptionBoxes;
const OptionBoxDesign& DesignOf(Box box);

extern const char* const kExcludeSystemWarning;
extern const char* const kPreserveSystemWarning;

// What shows the boxes. The panel tells it every change it makes, its own and the user's.
class OptionsView {
 public:
  virtual ~OptionsView() = default;
  virtual void ShowChecked(Box box, bool checked) = 0;
  virtual void ShowEnabled(Box box, bool enabled) = 0;
};

// The eleven option check boxes of the main window without their widgets: their states, their
// click handlers and the hand-over of the options to the engine. Main thread only.
class OptionsPanel {
 public:
  struct Services {
    Question& question;
    SoundPlayer& sound;
    std::function<void()> save_settings;  // SaveSettings
    // One round of the window's pending messages, while the engine object does not exist yet.
    std::function<void()> pump_messages;
    // The watcher table loaded so far, or null.
    std::function<const shared::WatcherTable*()> watcher_table;
  };

  explicit OptionsPanel(Services services);
  OptionsPanel(const OptionsPanel&) = delete;
  OptionsPanel& operator=(const OptionsPanel&) = delete;

  void SetEngine(engine::DScan* scan) { scan_ = scan; }
  engine::DScan* Engine() const { return scan_; }
  void SetView(OptionsView* view);

  bool Checked(Box box) const { return checked_[Index(box)]; }
  bool Enabled(Box box) const { return enabled_[Index(box)]; }

  // The program changes a box itself. As with a click, a change of state raises the box's handler,
  // which decides by the guard flags whether to act.
  void SetChecked(Box box, bool checked);
  // The user clicked the box, which now shows `checked`. Ignored for a disabled box.
  void Clicked(Box box, bool checked);

  void cb1Click();
  void cb2Click();
  void cb3Click();
  void cb4Click();
  void cb5Click();
  void cb6Click();
  void cb9Click();
  void cb10Click();
  void cb11Click();

  // Copies the eight engine options and the watcher table into the engine, ends a pause and saves
  // the settings. Takes no engine lock: Start and Cancel call it while they hold the engine.
  void ApplyOptions();

  // Plays the sound unless "Disable Sound" is checked.
  void Play(Sound sound);

  // The status tick's enabling step: the engine options are locked while a stretch run is active;
  // "Disable Sound", "Save Window Position" and "Clear log every Start" are always usable.
  void UpdateEnabling(bool working);
  // Start and Cancel lock and unlock the engine options at once, without waiting for the tick.
  void SetEngineBoxesEnabled(bool enabled);

  // Set while the settings are read: the handlers, all but cb6's, do nothing, and nothing is saved.
  bool LoadingSettings = false;
  // Set while the program itself changes the boxes, from start-up to the end of the first tick.
  bool OptionsUpdating = true;

 private:
  static size_t Index(Box box) { return static_cast<size_t>(box) - 1; }
  void RaiseClick(Box box);
  void Show(Box box);
  void SetEnabled(Box box, bool enabled);
  void PlainEngineOption(bool rescan);
  void GuardedOption(Box box, bool& busy, const char* warning);
  void RequestRescan();

  Services services_;
  engine::DScan* scan_ = nullptr;
  OptionsView* view_ = nullptr;
  std::array<bool, kBoxCount> checked_{};
  std::array<bool, kBoxCount> enabled_{};
  bool cb1Busy_ = false;
  bool cb4Busy_ = false;
};

}  // namespace compressor
