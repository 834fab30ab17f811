#include "watcher_ui/t_form6.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include "shared/settings_file.h"

namespace watcher_ui {

namespace {

const QColor kMoneyGreen(0xC0, 0xDC, 0xC0);
constexpr int kLabelLeft = 59;
constexpr int kLabelTop = 8;

QPixmap DrivePicture(const QColor& body, const QColor& light, const QColor& edge) {
  QPixmap picture(48, 48);
  picture.fill(kMoneyGreen);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  QLinearGradient shade(0, 10, 0, 40);
  shade.setColorAt(0, body.lighter(130));
  shade.setColorAt(1, body.darker(140));
  painter.setPen(QPen(edge, 2));
  painter.setBrush(shade);
  painter.drawRoundedRect(QRectF(4, 12, 40, 24), 5, 5);
  painter.setPen(QPen(edge, 1));
  painter.drawLine(QPointF(8, 28), QPointF(30, 28));
  painter.drawLine(QPointF(8, 31), QPointF(30, 31));
  painter.setPen(Qt::NoPen);
  QRadialGradient glow(QPointF(37, 29), 5);
  glow.setColorAt(0, Qt::white);
  glow.setColorAt(0.4, light);
  glow.setColorAt(1, light.darker(160));
  painter.setBrush(glow);
  painter.drawEllipse(QPointF(37, 29), 4, 4);
  return picture;
}

}  // namespace

std::array<QPixmap, 2> MakeInformerPictures() {
  return {DrivePicture(QColor(70, 110, 170), QColor(80, 230, 60), QColor(20, 40, 80)),
          DrivePicture(QColor(140, 150, 140), QColor(120, 140, 120), QColor(90, 100, 90))};
}

TPaintBox::TPaintBox(QWidget* parent, const std::array<QPixmap, 2>& pictures, const int& alpha)
    : QWidget(parent), pictures_(pictures), alpha_(alpha) {}

void TPaintBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painted_ = watcher::InformerPicture(alpha_);
  painter.drawPixmap(0, 0, pictures_[static_cast<size_t>(painted_)]);
}

TForm6::TForm6(std::string settings_path, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      settings_path_(std::move(settings_path)) {
  setWindowTitle("Disk Informer");
  setAutoFillBackground(true);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, kMoneyGreen);
  setPalette(colours);
  setFont(QFont("Tahoma"));
  ImageList1 = MakeInformerPictures();

  Bevel1 = new QFrame(this);
  Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
  Bevel1->setGeometry(0, 0, 56, 52);
  pb = new TPaintBox(this, ImageList1, alpha_);
  pb->setGeometry(4, 1, 48, 48);
  Label1 = new QLabel("None", this);
  QFont big("Arial Black");
  big.setPixelSize(19);
  Label1->setFont(big);
  Label1->setAttribute(Qt::WA_TranslucentBackground);
  Label1->setGeometry(kLabelLeft, kLabelTop, 55, 27);
  for (QWidget* part : {static_cast<QWidget*>(Label1), static_cast<QWidget*>(Bevel1), static_cast<QWidget*>(pb)}) {
    part->setCursor(Qt::SizeAllCursor);
    part->installEventFilter(this);
  }
  setFixedSize(kDesignWidth, kDesignHeight);

  Timer1 = new QTimer(this);
  Timer1->setInterval(500);
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
  Timer2 = new QTimer(this);
  Timer2->setInterval(300000);
  connect(Timer2, &QTimer::timeout, this, [this] { Timer2Timer(); });
  Timer2->start();
  FormCreate();
}

void TForm6::FormCreate() {
  pb->setAttribute(Qt::WA_OpaquePaintEvent);
  const shared::InformerPosition designed{watcher::kInformerFirstStart.x, watcher::kInformerFirstStart.y};
  const shared::InformerPosition stored = shared::ReadInformerPosition(settings_path_, designed);
  const watcher::Point place = watcher::CheckedInformerPosition({stored.WinX, stored.WinY},
                                                                {width(), height()}, ScreenSize());
  move(place.x, place.y);
  SetAlpha(0);
}

void TForm6::SetText(const QString& text) {
  if (Label1->text() == text) return;
  Label1->setText(text);
  FitToText();
}

// The tile grows with its text, as the design's auto-sized label and form do, and never shrinks
// below its design size.
void TForm6::FitToText() {
  const int text_width = QFontMetrics(Label1->font()).horizontalAdvance(Label1->text()) + 2;
  const int label_width = std::max(55, text_width);
  Label1->setGeometry(kLabelLeft, kLabelTop, label_width, 27);
  setFixedSize(std::max(kDesignWidth, kLabelLeft + label_width), kDesignHeight);
}

void TForm6::SetAlpha(int alpha) {
  alpha_ = std::clamp(alpha, 0, 255);
  setWindowOpacity(alpha_ / 255.0);
  pb->update();
}

void TForm6::Timer1Timer() {
  if (isVisible()) raise();
}

void TForm6::Timer2Timer() { shared::WriteInformerPosition(settings_path_, {x(), y()}); }

watcher::Size TForm6::ScreenSize() const {
  const QScreen* shown_on = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
  if (shown_on == nullptr) return {1024, 768};
  return {shown_on->geometry().width(), shown_on->geometry().height()};
}

void TForm6::FormMouseDown(QPointF global) {
  Dragging = true;
  DragOriginX = static_cast<int>(global.x()) - x();
  DragOriginY = static_cast<int>(global.y()) - y();
}

void TForm6::FormMouseMove(QPointF global) {
  if (!Dragging) return;
  const watcher::Point proposed{static_cast<int>(global.x()) - DragOriginX, static_cast<int>(global.y()) - DragOriginY};
  // A move can deliver mouse events of its own; they must not start a second move.
  Dragging = false;
  const watcher::Point target = watcher::DragTarget(proposed, {width(), height()}, ScreenSize());
  move(target.x, target.y);
  Dragging = true;
}

void TForm6::FormMouseUp() { Dragging = false; }

bool TForm6::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress: FormMouseDown(static_cast<QMouseEvent*>(event)->globalPosition()); return true;
    case QEvent::MouseMove: FormMouseMove(static_cast<QMouseEvent*>(event)->globalPosition()); return true;
    case QEvent::MouseButtonRelease: FormMouseUp(); return true;
    default: return QWidget::eventFilter(watched, event);
  }
}

void TForm6::mousePressEvent(QMouseEvent* event) { FormMouseDown(event->globalPosition()); }
void TForm6::mouseMoveEvent(QMouseEvent* event) { FormMouseMove(event->globalPosition()); }
void TForm6::mouseReleaseEvent(QMouseEvent*) { FormMouseUp(); }

}  // namespace watcher_ui
