#include "compressor_ui/tform3.h"

#include <QPainter>
#include <QRadialGradient>

namespace compressor::ui {

namespace {

constexpr int kTypingStep = 25;

}  // namespace

TForm3::TForm3(QWidget* owner, SoundPlayer& sound, bool silent)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint), sound_(sound), silent_(silent) {
  setObjectName(QStringLiteral("Form3"));
  setModal(true);
  setFixedSize(488, 281);
  for (const QString& line : Lines()) total_ += static_cast<int>(line.size());
  connect(&typing_, &QTimer::timeout, this, &TForm3::TypeNext);
  typing_.start(kTypingStep);
}

QStringList TForm3::Lines() {
  return {QStringLiteral("Quobran"),
          QStringLiteral("Version %1").arg(QStringLiteral(QUOBRAN_VERSION)),
          QString(),
          QStringLiteral("Saves disk space with the file system's"),
          QStringLiteral("own transparent compression:"),
          QStringLiteral("seldom used files are compressed,"),
          QStringLiteral("often used ones are left fast."),
          QString(),
          QStringLiteral("Quobran and Velnor"),
          QStringLiteral("are made by the Quobran team."),
          QStringLiteral("Click to close")};
}

void TForm3::TypeNext() {
  if (typed_ >= total_) {
    typing_.stop();
    return;
  }
  ++typed_;
  // A line's last character gets the louder sound.
  int left = typed_;
  bool line_end = false;
  for (const QString& line : Lines()) {
    if (left <= line.size()) {
      line_end = left == line.size();
      break;
    }
    left -= static_cast<int>(line.size());
  }
  if (!silent_) sound_.Play(line_end ? Sound::LOn : Sound::Move);
  update();
}

void TForm3::FinishTyping() {
  typed_ = total_;
  typing_.stop();
  update();
}

void TForm3::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(rect(), QColor(20, 20, 40));
  const QColor colours[] = {QColor(200, 66, 66, 110), QColor(100, 255, 100, 90), QColor(100, 100, 255, 110),
                            QColor(200, 100, 200, 100), QColor(100, 200, 200, 90)};
  const QRect places[] = {{-60, -40, 300, 220}, {250, -30, 280, 200}, {90, 120, 320, 200},
                          {-40, 150, 220, 180}, {330, 140, 220, 180}};
  for (size_t i = 0; i < std::size(colours); ++i) {
    QRadialGradient gradient(QRectF(places[i]).center(), places[i].width() / 2.0);
    gradient.setColorAt(0, colours[i]);
    gradient.setColorAt(1, Qt::transparent);
    painter.setBrush(gradient);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(places[i]);
  }
  QFont font(QStringLiteral("Arial"));
  font.setBold(true);
  int left = typed_;
  int y = 14;
  int index = 0;
  for (const QString& line : Lines()) {
    font.setPointSize(index == 0 ? 16 : 10);
    painter.setFont(font);
    const int height = painter.fontMetrics().height();
    const QString shown = line.left(std::max(0, left));
    left -= static_cast<int>(line.size());
    painter.setPen(index == 0 ? QColor(200, 200, 255) : QColor(230, 230, 230));
    painter.drawText(QRect(0, y, width(), height), Qt::AlignHCenter, shown);
    y += height + 2;
    ++index;
  }
}

void TForm3::mousePressEvent(QMouseEvent*) { accept(); }

}  // namespace compressor::ui
