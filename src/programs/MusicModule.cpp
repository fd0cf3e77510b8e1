// The music module: the only code that links Qt Multimedia (GStreamer underneath).
#include <QAudio>
#include <QAudioOutput>
#include <QMediaPlayer>
#include <QUrl>

#include "gui/stage/MusicModule.h"

extern "C" Q_DECL_EXPORT QObject* TombolixMakeMusicPlayer(QObject* owner, const QString& file) {
  auto* player = new QMediaPlayer(owner);
  player->setAudioOutput(new QAudioOutput(player));
  player->setSource(QUrl::fromLocalFile(file));
  player->play();
  return player;
}

extern "C" Q_DECL_EXPORT QObject* TombolixMakeSoundPlayer(QObject* owner, const QString& file,
                                                          int volume, bool loop) {
  auto* player = new QMediaPlayer(owner);
  auto* out = new QAudioOutput(player);
  // The operator's percent as heard: the output takes a linear factor.
  out->setVolume(static_cast<float>(QAudio::convertVolume(
      qBound(0, volume, 100) / 100.0, QAudio::LogarithmicVolumeScale, QAudio::LinearVolumeScale)));
  player->setAudioOutput(out);
  player->setLoops(loop ? QMediaPlayer::Infinite : 1);
  player->setSource(QUrl::fromLocalFile(file));
  return player;
}
