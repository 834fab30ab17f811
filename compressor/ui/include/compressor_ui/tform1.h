#pragma once
#include <QAction>
#include <QMenu>
#include <QPixmap>
#include <QSocketNotifier>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "compressor/control_panel.h"
#include "compressor/drive_tree.h"
#include "compressor/options_panel.h"
#include "compressor/quobran_settings.h"
#include "compressor/watcher_data.h"
#include "compressor_ui/message_question.h"
#include "compressor_ui/option_boxes.h"
#include "compressor_ui/qt_dispatcher.h"
#include "compressor_ui/tree_view1.h"
#include "engine/activity_log.h"
#include "engine/defragmenter.h"
#include "engine/file_decision.h"
#include "platform/clock.h"
#include "platform/defrag_volume.h"
#include "platform/drives.h"
#include "platform/file_system.h"
#include "shared/instance_markers.h"

namespace compressor::ui {

class TForm1;

// One of pb1 ... pb7: painted by the form, its clicks and hovers handed to the control panel.
class PaintBox final : public QWidget {
  Q_OBJECT

 public:
  PaintBox(TForm1& form, Control control);
  Control Id() const { return control_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  TForm1& form_;
  Control control_;
};

// The 17 frames of the tray animation, 16 x 16: a disk whose bright sector turns.
std::vector<QPixmap> TrayFrames();

// Quobran's main window.
class TForm1 final : public QWidget, public ControlView {
  Q_OBJECT

 public:
  struct Config {
    std::string program_directory;          // settings and log; ends with '/'
    const platform::DriveTable* drives;     // the drives the tree shows
    SoundPlayer* sound;                     // null: the Qt player
    std::string instance_marker = shared::kQuobranMarker;
    std::string command_line;               // searched for "clear"
  };

  explicit TForm1(Config config);
  ~TForm1() override;

  // False for a second instance (it asked the first to come forward) and after an aborted start.
  bool Running() const { return !instance_.AlreadyRunning && !aborting_; }
  bool AlreadyRunning() const { return instance_.AlreadyRunning; }

  ControlPanel& Panel() { return panel_; }
  OptionsPanel& Options() { return options_; }
  PaintBox& Box(Control control) const { return *boxes_[static_cast<size_t>(control) - 1]; }
  TreeView1& Tree() const { return *tree_view_; }
  QStatusBar& StatusBar() const { return *status_bar_; }
  QAction& Pause1() const { return *pause1_; }
  QMenu& PopupMenu1() const { return *popup_menu_; }
  const QString& TrayHint() const { return tray_hint_; }
  const std::vector<QString>& Balloons() const { return balloons_; }
  bool TrayAnimating() const { return tray_animation_.isActive(); }
  QTimer& Timer1() { return timer1_; }

  // Draws one control completely into an off-screen picture of its size.
  QPixmap PaintControl(Control control, const QString& caption);
  void Click(Control control);

  // ControlView
  void SetTimerInterval(int milliseconds) override;
  void SetStatusBar(const std::string& text) override;
  void SetTrayAnimation(bool on) override;
  void SetTrayHint(const std::string& text) override;
  void ShowBalloon(const std::string& text) override;
  void Repaint(Control control) override;
  void RepaintTree() override;
  bool WindowVisible() const override;
  void SetWindowVisible(bool visible) override;
  void BringToFront() override;
  void ShowAbout(bool silent) override;
  void RebuildTree() override;
  void PumpMessages() override;
  void WriteLog(const std::string& action, const std::string& object, const std::string& reason) override;
  void CloseLog() override;
  void SaveSettings() override;
  void CloseWindow() override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void FormCreate();
  void UpdateDiskSizes();
  void SpecialFolders();
  void ComeForward();
  WindowRect CurrentRect() const;

  Config config_;
  platform::SystemClock clock_;
  shared::TPreviousInstance instance_;
  bool aborting_ = false;
  bool closing_ = false;
  bool created_ = false;
  bool settings_loaded_ = false;  // a second instance never writes them

  std::unique_ptr<SoundPlayer> own_sound_;
  SoundPlayer* sound_ = nullptr;
  MessageBoxQuestion question_;
  OptionsPanel options_;
  WatcherData watcher_data_;
  ControlPanel panel_;
  QtDispatcher dispatcher_;
  std::unique_ptr<platform::FileSystem> files_;
  std::unique_ptr<platform::DefragVolume> volume_;
  std::unique_ptr<engine::Defragmenter> defragmenter_;
  std::unique_ptr<engine::FileDecision> decision_;
  std::unique_ptr<engine::ActivityLog> log_;
  std::unique_ptr<DriveTree> drive_tree_;

  TreeView1* tree_view_ = nullptr;
  OptionBoxes* option_boxes_ = nullptr;
  std::array<PaintBox*, kControlCount> boxes_{};
  QStatusBar* status_bar_ = nullptr;
  QTimer timer1_;
  QSystemTrayIcon* tray_ = nullptr;
  QMenu* popup_menu_ = nullptr;
  QAction* pause1_ = nullptr;
  QTimer tray_animation_;
  std::vector<QPixmap> tray_frames_;
  size_t tray_frame_ = 0;
  QString tray_hint_;
  std::vector<QString> balloons_;
  QSocketNotifier* marker_notifier_ = nullptr;
};

}  // namespace compressor::ui
