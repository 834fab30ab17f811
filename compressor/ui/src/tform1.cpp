#include "compressor_ui/tform1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEnterEvent>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <chrono>
#include <thread>

#include "compressor/painted_controls.h"
#include "compressor/quobran_settings.h"
#include "compressor_ui/sound_player.h"
#include "compressor_ui/tform3.h"
#include "platform/named_marker.h"
#include "platform/special_folders.h"
#include "shared/ascii_case.h"
#include "shared/settings_file.h"

namespace compressor::ui {

namespace {

constexpr const char* kComeForward = "show";
constexpr int kTrayFrameCount = 17;
constexpr int kTrayStep = 200;
constexpr int kStatusBarHeight = 19;
// The outer frame around the designed client area, as the smallest outer size says.
constexpr int kFrameWidth = kMinOuterWidth - kDesignedClientWidth;
constexpr int kFrameHeight = kMinOuterHeight - kDesignedClientHeight;

QColor ToQColor(Rgb rgb) { return QColor(rgb.r, rgb.g, rgb.b); }
QString ToQString(const std::string& text) { return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size())); }

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  return text;
}

}  // namespace

std::vector<QPixmap> TrayFrames() {
  std::vector<QPixmap> frames;
  for (int i = 0; i < kTrayFrameCount; ++i) {
    QPixmap frame(16, 16);
    frame.fill(Qt::transparent);
    QPainter painter(&frame);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(40, 40, 40));
    painter.setBrush(QColor(100, 100, 255));
    painter.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    painter.setBrush(QColor(200, 255, 100));
    // Qt counts angles in sixteenths of a degree.
    painter.drawPie(QRectF(0.5, 0.5, 15, 15), -i * 360 * 16 / kTrayFrameCount, 60 * 16);
    painter.setBrush(QColor(209, 209, 209));
    painter.drawEllipse(QRectF(6, 6, 4, 4));
    frames.push_back(frame);
  }
  return frames;
}

PaintBox::PaintBox(TForm1& form, Control control) : QWidget(&form), form_(form), control_(control) {
  setObjectName(QStringLiteral("pb%1").arg(static_cast<int>(control)));
  // Every paint covers the whole box, so nothing need be erased first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  if (control != Control::pb1) setCursor(Qt::PointingHandCursor);
}

void PaintBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  ControlPanel& panel = form_.Panel();
  if (control_ == Control::pb5) {
    if (panel.Engine() == nullptr) {
      painter.fillRect(rect(), ToQColor(kWindowColour));
      return;
    }
    form_.Pause1().setText(QString::fromLatin1(panel.Caption(Control::pb5)));
  }
  painter.drawPixmap(0, 0, form_.PaintControl(control_, QString::fromLatin1(panel.Caption(control_))));
}

void PaintBox::enterEvent(QEnterEvent*) { form_.Panel().MouseEnter(control_); }
void PaintBox::leaveEvent(QEvent*) { form_.Panel().MouseLeave(control_); }

void PaintBox::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) form_.Click(control_);
}

TForm1::TForm1(Config config)
    : QWidget(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinMaxButtonsHint),
      config_(std::move(config)),
      own_sound_(config_.sound != nullptr ? nullptr : std::make_unique<QtSoundPlayer>()),
      sound_(config_.sound != nullptr ? config_.sound : own_sound_.get()),
      question_(this),
      options_({question_, *sound_, [this] { SaveSettings(); }, [] { QCoreApplication::processEvents(); },
                [this] { return watcher_data_.Table(); }}),
      watcher_data_(config_.program_directory),
      panel_(options_, watcher_data_),
      dispatcher_(*this) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Quobran"));
  FormCreate();
}

void TForm1::FormCreate() {
  if (Lower(config_.command_line).find("clear") != std::string::npos) shared::UnloadWatcher(instance_, clock_);
  instance_.CheckRunning(config_.instance_marker);
  if (instance_.AlreadyRunning) {
    platform::NamedMarker::Send(config_.instance_marker, kComeForward);
    return;
  }
  if (instance_.MutexHandle) {
    marker_notifier_ = new QSocketNotifier(instance_.MutexHandle->Descriptor(), QSocketNotifier::Read, this);
    connect(marker_notifier_, &QSocketNotifier::activated, this, [this] {
      if (instance_.MutexHandle && instance_.MutexHandle->ReceivePending().find(kComeForward) != std::string::npos) {
        ComeForward();
      }
    });
  }
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, ToQColor(kWindowColour));
  setPalette(palette);
  option_boxes_ = new OptionBoxes(*this, options_);
  for (int i = 1; i <= kControlCount; ++i) boxes_[static_cast<size_t>(i - 1)] = new PaintBox(*this, static_cast<Control>(i));
  status_bar_ = new QStatusBar(this);
  status_bar_->setSizeGripEnabled(false);
  popup_menu_ = new QMenu(this);
  QAction* show_hide = popup_menu_->addAction(QStringLiteral("Show/Hide"));
  popup_menu_->setDefaultAction(show_hide);
  popup_menu_->addSeparator();
  pause1_ = popup_menu_->addAction(QStringLiteral("Pause"));
  popup_menu_->addSeparator();
  QAction* about = popup_menu_->addAction(QStringLiteral("About..."));
  popup_menu_->addSeparator();
  QAction* exit1 = popup_menu_->addAction(QStringLiteral("Exit"));
  connect(show_hide, &QAction::triggered, this, [this] { panel_.ShowHide(); });
  connect(pause1_, &QAction::triggered, this, [this] { panel_.Pause1Click(); });
  connect(about, &QAction::triggered, this, [this] { panel_.pb7Click(); });
  connect(exit1, &QAction::triggered, this, [this] { panel_.pb2Click(); });
  connect(popup_menu_, &QMenu::aboutToShow, this, [this] { pause1_->setEnabled(panel_.Pause1Enabled()); });
  tray_frames_ = TrayFrames();
  tray_ = new QSystemTrayIcon(QIcon(tray_frames_[0]), this);
  tray_->setToolTip(QStringLiteral("Quobran"));
  tray_->setContextMenu(popup_menu_);
  connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger) panel_.ShowHide();
  });
  tray_->show();
  tray_animation_.setInterval(kTrayStep);
  connect(&tray_animation_, &QTimer::timeout, this, [this] {
    tray_frame_ = (tray_frame_ + 1) % tray_frames_.size();
    tray_->setIcon(QIcon(tray_frames_[tray_frame_]));
  });
  panel_.SetView(this);
  options_.OptionsUpdating = true;

  drive_tree_ = std::make_unique<DriveTree>(*config_.drives);
  drive_tree_->FillDriveTree();
  tree_view_ = new TreeView1(*drive_tree_, this);
  tree_view_->setAttribute(Qt::WA_OpaquePaintEvent);
  connect(tree_view_, &TreeView1::boxClicked, this, [this] { options_.Play(Sound::LOn); });
  connect(tree_view_, &TreeView1::checksChanged, this, [this] { UpdateDiskSizes(); });

  files_ = platform::MakeLinuxFileSystem();
  volume_ = platform::MakeLinuxDefragVolume();
  defragmenter_ = std::make_unique<engine::Defragmenter>(*files_, *volume_);
  decision_ = std::make_unique<engine::FileDecision>(*files_, *defragmenter_);
  auto scan = std::make_unique<engine::DScan>(engine::DScan::Services{clock_, dispatcher_, *decision_});
  scan->Tree = drive_tree_.get();
  scan->SetPriority(platform::ThreadPriority::tpLower);
  engine::DScan& engine = *scan;
  panel_.SetEngine(std::move(scan));

  resize(kDesignedClientWidth, kDesignedClientHeight);
  setMinimumSize(kDesignedClientWidth, kDesignedClientHeight);
  const QRect screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->geometry() : QRect(0, 0, 1024, 768);
  const WindowPlacement placement = LoadSettings(options_, config_.program_directory + shared::kSettingsFileName,
                                                 CurrentRect(), screen.width(), screen.height());
  settings_loaded_ = true;
  if (placement.restore) {
    move(placement.rect.left, placement.rect.top);
    resize(placement.rect.width - kFrameWidth, placement.rect.height - kFrameHeight);
  } else {
    move(screen.center() - QPoint(width() / 2, height() / 2));
  }
  SpecialFolders();
  UpdateDiskSizes();
  options_.ApplyOptions();
  log_ = engine::ActivityLog::Open(config_.program_directory + engine::kLogFileName, options_.Checked(Box::cb8), clock_);
  engine.LogFile = log_.get();
  WriteLog("Quobran", "Started", "User request");
  engine.RescanRequested = true;
  engine.Resume();
  connect(&timer1_, &QTimer::timeout, this, [this] { panel_.Timer1Timer(isActiveWindow()); });
  timer1_.start(kTickInterval);
  created_ = true;
}

void TForm1::SpecialFolders() {
  const platform::SpecialFolders folders = platform::ReadSpecialFolders();
  const auto abort_with = [this](const char* message) {
    QMessageBox::information(this, QStringLiteral("Quobran"), QString::fromLatin1(message));
    aborting_ = true;
  };
  if (folders.windows_dir.empty()) abort_with("Unable Get Windows System Directory!\nProgram aborting!");
  if (folders.user_windows_dir.empty()) abort_with("Unable Get Windows System User Directory!\nProgram aborting!");
  if (folders.temp_dir.empty()) abort_with("Unable Get Windows System Temporary Directory!\nProgram aborting!");
  if (panel_.Engine() != nullptr) panel_.Engine()->SetSpecialFolders(folders);
}

TForm1::~TForm1() {
  // The engine's last line goes to the log, and it may be waiting for this thread: it ends first.
  panel_.SetView(nullptr);
  panel_.SetEngine(nullptr);
  SaveSettings();
  timer1_.stop();
  tray_animation_.stop();
  delete option_boxes_;
  delete tree_view_;
}

WindowRect TForm1::CurrentRect() const { return {x(), y(), width() + kFrameWidth, height() + kFrameHeight}; }

void TForm1::UpdateDiskSizes() {
  if (!drive_tree_) return;
  const DiskSizes sizes = drive_tree_->UpdateDiskSizes(panel_.Engine());
  panel_.SetDiskLabels(sizes.Label1, sizes.Label2);
  Repaint(Control::pb1);
}

void TForm1::ComeForward() {
  show();
  raise();
  activateWindow();
}

QPixmap TForm1::PaintControl(Control control, const QString& caption) {
  const int w = std::max(1, Box(control).width());
  const int h = std::max(1, Box(control).height());
  QPixmap picture(w, h);
  QPainter painter(&picture);
  const bool button = control != Control::pb1;
  for (int i = 0; i < h / 3; ++i) {
    const int level = FrameLevel(control, i, panel_.Brightness());
    painter.fillRect(QRect(i, i, w - 2 * i, h - 2 * i), QColor(level, level, level));
  }
  painter.setPen(Qt::black);
  painter.drawLine(w - 1, 0, w - 1, h - 1);
  painter.drawLine(w - 1, h - 1, 0, h - 1);
  watcher_data_.LoadOnce();
  if (panel_.Engine() != nullptr) watcher_data_.HandOver(*panel_.Engine());
  painter.setPen(Qt::white);
  painter.drawLine(0, h - 1, 0, 0);
  painter.drawLine(0, 0, w - 1, 0);

  QFont font(QStringLiteral("Arial"));
  font.setBold(true);
  const FittedCaption fitted = FitCaption(w, h, [&](int points) {
    font.setPointSize(points);
    const QFontMetrics metrics(font, &picture);
    return TextSize{metrics.horizontalAdvance(caption), metrics.height()};
  });
  font.setPointSize(fitted.points);
  painter.setFont(font);
  const int ascent = QFontMetrics(font, &picture).ascent();
  if (button) {
    painter.setPen(Qt::black);
    painter.drawText(fitted.x + 2, fitted.y + 2 + ascent, caption);
  }
  painter.setPen(ToQColor(CaptionColour(control, panel_.Hovered(control), panel_.Disabled(control), panel_.Brightness())));
  painter.drawText(fitted.x, fitted.y + ascent, caption);
  if (!button) {
    font.setPointSize(kStatisticsLinePoints);
    painter.setFont(font);
    const int line_ascent = QFontMetrics(font, &picture).ascent();
    for (int line = 1; line <= 9; ++line) {
      const StatisticsLinePlace& place = kStatisticsLines[static_cast<size_t>(line - 1)];
      painter.setPen(ToQColor(place.colour));
      painter.drawText(kStatisticsLineX, place.y + line_ascent, ToQString(panel_.Label(line)));
    }
  }
  return picture;
}

void TForm1::Click(Control control) {
  switch (control) {
    case Control::pb1:
      return;
    case Control::pb2:
      return panel_.pb2Click();
    case Control::pb3:
      return panel_.pb3Click();
    case Control::pb4:
      return panel_.pb4Click();
    case Control::pb5:
      return panel_.pb5Click();
    case Control::pb6:
      return panel_.pb6Click();
    case Control::pb7:
      return panel_.pb7Click();
  }
}

void TForm1::SetTimerInterval(int milliseconds) {
  if (timer1_.interval() != milliseconds) timer1_.setInterval(milliseconds);
}

void TForm1::SetStatusBar(const std::string& text) { status_bar_->showMessage(ToQString(text)); }

void TForm1::SetTrayAnimation(bool on) {
  if (on && !tray_animation_.isActive()) tray_animation_.start();
  if (!on && tray_animation_.isActive()) tray_animation_.stop();
}

void TForm1::SetTrayHint(const std::string& text) {
  tray_hint_ = ToQString(text);
  tray_->setToolTip(tray_hint_);
}

void TForm1::ShowBalloon(const std::string& text) {
  balloons_.push_back(ToQString(text));
  tray_->showMessage(QStringLiteral("Quobran"), balloons_.back(), QSystemTrayIcon::Information);
}

void TForm1::Repaint(Control control) { Box(control).update(); }
void TForm1::RepaintTree() { tree_view_->viewport()->update(); }
bool TForm1::WindowVisible() const { return isVisible(); }
void TForm1::SetWindowVisible(bool visible) { setVisible(visible); }

void TForm1::BringToFront() {
  raise();
  activateWindow();
}

void TForm1::ShowAbout(bool silent) {
  TForm3 about(this, *sound_, silent);
  about.exec();
}

void TForm1::RebuildTree() {
  tree_view_->Model().Rebuild();
  UpdateDiskSizes();
}

void TForm1::PumpMessages() {
  QCoreApplication::processEvents();
  // A round is a short wait too, so the 999 rounds give the engine time to finish its file.
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

void TForm1::WriteLog(const std::string& action, const std::string& object, const std::string& reason) {
  if (log_) log_->WriteLog(action, object, reason);
}

void TForm1::CloseLog() { log_.reset(); }

void TForm1::SaveSettings() {
  if (!settings_loaded_) return;
  compressor::SaveSettings(options_, config_.program_directory + shared::kSettingsFileName, CurrentRect());
}

void TForm1::CloseWindow() {
  closing_ = true;
  tray_->hide();
  close();
  QCoreApplication::quit();
}

void TForm1::resizeEvent(QResizeEvent*) {
  if (!created_ && tree_view_ == nullptr) return;
  for (int i = 1; i <= kControlCount; ++i) {
    const Rect place = ControlRect(static_cast<Control>(i), width(), height());
    boxes_[static_cast<size_t>(i - 1)]->setGeometry(place.left, place.top, place.width, place.height);
  }
  if (tree_view_ != nullptr) tree_view_->FollowClientHeight(height());
  if (option_boxes_ != nullptr) option_boxes_->FollowClientHeight(height());
  if (status_bar_ != nullptr) status_bar_->setGeometry(0, height() - kStatusBarHeight, width(), kStatusBarHeight);
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (closing_ || !created_) {
    event->accept();
    return;
  }
  // The window has no close box; a close asked for by the desktop goes through Exit.
  event->ignore();
  panel_.pb2Click();
}

}  // namespace compressor::ui
