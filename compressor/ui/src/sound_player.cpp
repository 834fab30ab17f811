#include "compressor_ui/sound_player.h"

#include <QFile>
#include <QUrl>

#include "compressor/sound_wave.h"

#if QUOBRAN_HAS_MULTIMEDIA
#include <QSoundEffect>
#endif

namespace compressor::ui {

QtSoundPlayer::QtSoundPlayer(QObject* parent) : QObject(parent) {}

QtSoundPlayer::~QtSoundPlayer() = default;

void QtSoundPlayer::Play(Sound sound) {
#if QUOBRAN_HAS_MULTIMEDIA
  const size_t index = static_cast<size_t>(sound);
  if (effects_[index] == nullptr) {
    if (!dir_.isValid()) return;
    const QString path = dir_.filePath(QString::fromLatin1(SoundName(sound).data()) + QStringLiteral(".wav"));
    QFile file(path);
    const std::string wave = MakeSoundWave(sound);
    if (!file.open(QIODevice::WriteOnly) || file.write(wave.data(), static_cast<qint64>(wave.size())) < 0) return;
    file.close();
    effects_[index] = new QSoundEffect(this);
    effects_[index]->setSource(QUrl::fromLocalFile(path));
  }
  effects_[index]->play();
#else
  (void)sound;
#endif
}

}  // namespace compressor::ui
