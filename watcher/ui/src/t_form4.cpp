#include "watcher_ui/t_form4.h"

#include <unistd.h>

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QThread>
#include <cstdio>
#include <cstdlib>

#include "platform/drives.h"
#include "platform/process_priority.h"
#include "shared/settings_file.h"

namespace watcher_ui {

namespace {

constexpr int kSavePeriod = 120000;
constexpr int kExitPolls = 20;

void Pump() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void PumpAndSleep(int milliseconds) {
  Pump();
  QThread::msleep(static_cast<unsigned long>(milliseconds));
}

}  // namespace

int SavePeriodMilliseconds() {
  const char* shortened = std::getenv("VELNOR_SAVE_PERIOD_MS");
  if (shortened == nullptr) return kSavePeriod;
  char* end = nullptr;
  const long value = std::strtol(shortened, &end, 10);
  return (end != shortened && *end == '\0' && value > 0 && value <= kSavePeriod) ? static_cast<int>(value) : kSavePeriod;
}

TForm4::TForm4(std::string program_directory, EndProcess end_process)
    : Monitors(clock_), program_directory_(std::move(program_directory)), end_process_(std::move(end_process)) {
  setWindowTitle("Velnor");
  resize(480, 247);
  Label1 = new QLabel("Label1", this);
  Label1->setGeometry(8, 8, 460, 20);
  Label2 = new QLabel("Label2", this);
  Label2->setGeometry(8, 32, 460, 20);
  Button1 = new QPushButton("Exit", this);
  Button1->setGeometry(392, 208, 75, 25);
  connect(Button1, &QPushButton::clicked, this, [this] { close(); });

  auto timer = [this](int interval, bool active, void (TForm4::*handler)()) {
    auto* made = new QTimer(this);
    made->setInterval(interval);
    connect(made, &QTimer::timeout, this, handler);
    if (active) made->start();
    return made;
  };
  // Started at the end of FormCreate, so no handler runs before the monitors exist.
  Timer1 = timer(SavePeriodMilliseconds(), false, &TForm4::Timer1Timer);
  Timer2 = timer(2000, false, &TForm4::Timer2Timer);
  Timer3 = timer(60000, false, &TForm4::Timer3Timer);
  Timer4 = timer(10000, false, &TForm4::Timer4Timer);
  Timer5 = timer(200, false, &TForm4::Timer5Timer);
  WaitTimer = timer(200, false, &TForm4::WaitTimerTimer);

  PopupMenu1 = new QMenu(this);
  ShowHideWatchedActivity1 = PopupMenu1->addAction("Show/Hide Watched Activity");
  QFont bold = ShowHideWatchedActivity1->font();
  bold.setBold(true);
  ShowHideWatchedActivity1->setFont(bold);
  PopupMenu1->setDefaultAction(ShowHideWatchedActivity1);
  PopupMenu1->addSeparator();
  Exit1 = PopupMenu1->addAction("Exit");
  connect(ShowHideWatchedActivity1, &QAction::triggered, this, [this] { ShowHideWatchedActivity1Click(); });
  connect(Exit1, &QAction::triggered, this, [this] { Exit1Click(); });
  TrayIcon1 = new QSystemTrayIcon(QIcon(MakeInformerPictures()[0]), this);
  TrayIcon1->setToolTip("Velnor");
  TrayIcon1->setContextMenu(PopupMenu1);
  connect(TrayIcon1, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger) TrayIcon1Click();
  });
  if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    connect(gui, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { SessionEnding = true; });
  }
  connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] { StopMonitors(); });
}

TForm4::~TForm4() {
  // FormDestroy: every monitor that has not ended is stopped; the window's events still run.
  Monitors.StopAll(Pump);
  delete Informer;
}

void TForm4::End(int code) {
  if (end_process_) {
    end_process_(code);
    return;
  }
  TrayIcon1->hide();
  std::fflush(nullptr);
  _exit(code);
}

void TForm4::FormCreate() {
  instance_.CheckRunning(shared::kVelnorMarker);
  if (instance_.AlreadyRunning) {
    End(watcher::kExitAlreadyRunning);
    return;
  }
  // Probes and unload requests connect to our marker; take them so they do not pile up.
  probes_ = new QSocketNotifier(instance_.MutexHandle->Descriptor(), QSocketNotifier::Read, this);
  connect(probes_, &QSocketNotifier::activated, this, [this] { instance_.MutexHandle->ReceivePending(); });
  TrayIcon1->show();
  StartMonitors();
  Timer3Timer();
  DataFiles = watcher::UseDataFilesIn(program_directory_);
  Timer1->start();
  Timer2->start();
  Timer3->start();
  Timer5->start();
}

void TForm4::StartMonitors() {
  if (Informer == nullptr) {
    Informer = new TForm6(program_directory_ + shared::kSettingsFileName);
    Informer->SetText("Velnor Checking HDDs...");
    // The tile stays where the user left it (checked against the screen), not at 30, 30.
    Informer->SetAlpha(255);
    Informer->Timer1->start();
    Informer->show();
    Pump();
  }
  Monitors.StartOn(platform::SystemDriveTable().Drives());
  ShowHideWatchedActivity1Click();
}

void TForm4::StopMonitors() { Monitors.StopAll(Pump); }

void TForm4::closeEvent(QCloseEvent* event) {
  StopMonitors();
  event->ignore();
}

void TForm4::Timer1Timer() {
  Timer1->stop();
  Label1->setText(QDateTime::currentDateTime().toString("yyyy-MM-dd hh:mm:ss"));
  Monitors.SaveAll(DataFiles, [] { PumpAndSleep(10); },
                   [this](int32_t entries) { Label2->setText(QString::number(entries)); });
  // A pause that began during the save keeps the timer off until work resumes.
  if (!coordination_.Waiting()) Timer1->start();
}

void TForm4::Timer2Timer() {
  if (CheckBusy) return;
  CheckBusy = true;
  switch (coordination_.Check()) {
    case watcher::CoordinationStep::kUnloadRequested: End(watcher::kExitUnloaded); return;
    case watcher::CoordinationStep::kStepAside: StepAside(); return;  // the check goes on in WaitTimer
    default: break;
  }
  CheckBusy = false;
}

void TForm4::StepAside() {
  Timer1->stop();
  Timer5->stop();
  if (Informer != nullptr) {
    Informer->SetText("Waiting while Quobran Works");
    Informer->SetAlpha(100);
  }
  if (SessionEnding) {
    Exit1Click();
    return;
  }
  Monitors.Pause();
  Label1->setText("Waiting Quobran...");
  WaitTimer->start();
}

void TForm4::WaitTimerTimer() {
  switch (coordination_.WaitProbe()) {
    case watcher::CoordinationStep::kUnloadedWhileWaiting: End(watcher::kExitStuckOrUnloadedWhileWaiting); return;
    case watcher::CoordinationStep::kResume:
      WaitTimer->stop();
      Label1->setText("Restoring work...");
      Monitors.Resume();
      Timer1->start();
      Timer5->start();
      CheckBusy = false;
      return;
    default: return;
  }
}

void TForm4::Timer3Timer() {
  Timer3->stop();
  platform::SetProcessBelowNormal();
  Timer3->start();
}

void TForm4::Timer4Timer() { End(watcher::kExitUnloaded); }

void TForm4::Timer5Timer() {
  Timer5->stop();
  const watcher::InformerFeed feed = Monitors.Feed();
  if (feed.highest > 0 && Informer != nullptr) {
    Informer->SetText(QString::fromStdString(feed.text));
    Informer->SetAlpha(feed.highest);
  }
  Timer5->start();
}

void TForm4::TrayIcon1Click() { ShowHideWatchedActivity1Click(); }

void TForm4::ShowHideWatchedActivity1Click() {
  if (Informer == nullptr) return;
  Informer->setVisible(!Informer->isVisible());
}

void TForm4::Exit1Click() {
  Timer4->start();
  if (!Monitors.StopForExit(kExitPolls, [] { PumpAndSleep(100); })) {
    End(watcher::kExitStuckOrUnloadedWhileWaiting);
    return;
  }
  TrayIcon1->hide();
  if (end_process_) {
    end_process_(watcher::kExitNormal);
    return;
  }
  QCoreApplication::exit(watcher::kExitNormal);
}

}  // namespace watcher_ui
