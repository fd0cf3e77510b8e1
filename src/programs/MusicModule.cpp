// The music module: the only code that links Qt Multimedia (GStreamer underneath).
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
