#pragma once
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "shared/instance_markers.h"
#include "watcher/coordination.h"
#include "watcher/monitor_set.h"
#include "watcher/save_monitor_data.h"
#include "watcher_ui/t_form6.h"

namespace watcher_ui {

// The periodic save's period; VELNOR_SAVE_PERIOD_MS shortens it for tests.
int SavePeriodMilliseconds();

// Velnor's hidden main window: the tray icon and its menu, the monitors of the compressing
// drives, the five timers, the coordination with Quobran and the exit codes.
class TForm4 final : public QWidget {
 public:
  // Ends the process with an exit code; the default hides the tray icon and exits at once.
  using EndProcess = std::function<void(int code)>;

  TForm4(std::string program_directory, EndProcess end_process = {});
  ~TForm4() override;

  // The start-up sequence: instance check (exit code 5), drive scan, priority, data file paths.
  void FormCreate();
  void StartMonitors();
  void StopMonitors();
  void Timer1Timer();
  void Timer2Timer();
  void Timer3Timer();
  void Timer4Timer();
  void Timer5Timer();
  void TrayIcon1Click();
  void ShowHideWatchedActivity1Click();
  void Exit1Click();

  QLabel* Label1;
  QLabel* Label2;
  QPushButton* Button1;
  QTimer* Timer1;
  QTimer* Timer2;
  QTimer* Timer3;
  QTimer* Timer4;
  QTimer* Timer5;
  // The 200 ms probe while the watcher waits for the compressor.
  QTimer* WaitTimer;
  QSystemTrayIcon* TrayIcon1;
  QMenu* PopupMenu1;
  QAction* ShowHideWatchedActivity1;
  QAction* Exit1;

  TForm6* Informer = nullptr;
 private:
  platform::SystemClock clock_;  // before the monitors, which read it

 public:
  watcher::MonitorSet Monitors;
  watcher::UseDataFiles DataFiles;
  bool CheckBusy = false;
  bool SessionEnding = false;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void End(int code);
  void StepAside();
  void WaitTimerTimer();

  std::string program_directory_;
  EndProcess end_process_;
  shared::TPreviousInstance instance_;
  QSocketNotifier* probes_ = nullptr;
  watcher::Coordination coordination_{shared::ProbeMutex};
};

}  // namespace watcher_ui
