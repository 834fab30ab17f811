#pragma once
#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <array>
#include <string>

#include "watcher/informer_logic.h"

namespace watcher_ui {

// Two 48 x 48 pictures of our own: a lit drive, and the same drive faded.
std::array<QPixmap, 2> MakeInformerPictures();

// The informer's picture box: paints the picture its window's alpha chooses.
class TPaintBox final : public QWidget {
 public:
  TPaintBox(QWidget* parent, const std::array<QPixmap, 2>& pictures, const int& alpha);
  int PaintedPicture() const { return painted_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const std::array<QPixmap, 2>& pictures_;
  const int& alpha_;
  int painted_ = -1;
};

// The Disk Informer: a borderless, always-on-top, translucent tile with a picture and the drives
// just seen changing. Its text and alpha are set from outside; it keeps itself on top, can be
// dragged within the screen and stores its position in section "Informer" every five minutes.
class TForm6 final : public QWidget {
 public:
  static constexpr int kDesignWidth = 114;
  static constexpr int kDesignHeight = 52;

  // `settings_path` is Quobran.ini in the program directory.
  explicit TForm6(std::string settings_path, QWidget* parent = nullptr);

  void SetText(const QString& text);
  QString Text() const { return Label1->text(); }
  // 0 (clear) to 255 (opaque).
  void SetAlpha(int alpha);
  int Alpha() const { return alpha_; }
  int ShownPicture() const { return watcher::InformerPicture(alpha_); }

  QLabel* Label1;
  QFrame* Bevel1;
  TPaintBox* pb;
  QTimer* Timer1;
  QTimer* Timer2;
  std::array<QPixmap, 2> ImageList1;

  void FormCreate();
  void Timer1Timer();
  void Timer2Timer();
  void FormMouseDown(QPointF global);
  void FormMouseMove(QPointF global);
  void FormMouseUp();
  bool Dragging = false;
  int DragOriginX = 0;
  int DragOriginY = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void FitToText();
  watcher::Size ScreenSize() const;

  std::string settings_path_;
  int alpha_ = 0;
};

}  // namespace watcher_ui
