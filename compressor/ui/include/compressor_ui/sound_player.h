#pragma once
#include <QObject>
#include <QTemporaryDir>
#include <array>

#include "compressor/options_panel.h"

class QSoundEffect;

namespace compressor::ui {

// Plays the program's own WAVE sounds without waiting. Without Qt Multimedia, or without an
// audio device, nothing is heard and nothing else happens.
class QtSoundPlayer final : public QObject, public SoundPlayer {
  Q_OBJECT

 public:
  explicit QtSoundPlayer(QObject* parent = nullptr);
  ~QtSoundPlayer() override;
  void Play(Sound sound) override;

 private:
  QTemporaryDir dir_;
  std::array<QSoundEffect*, 3> effects_{};  // made at first use
};

}  // namespace compressor::ui
