#pragma once
#include <QDialog>
#include <QTimer>
#include <QStringList>

#include "compressor/options_panel.h"

namespace compressor::ui {

// The About window: borderless, 488 x 281, modal over its owner; it types its lines one
// character at a time over blended coloured ellipses, and a click closes it.
class TForm3 final : public QDialog {
  Q_OBJECT

 public:
  TForm3(QWidget* owner, SoundPlayer& sound, bool silent);
  static QStringList Lines();
  // Characters typed so far, over all lines.
  int Typed() const { return typed_; }
  void FinishTyping();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void TypeNext();

  SoundPlayer& sound_;
  bool silent_;
  QTimer typing_;
  int typed_ = 0;
  int total_ = 0;
};

}  // namespace compressor::ui
