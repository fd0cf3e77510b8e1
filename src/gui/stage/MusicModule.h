// The entry of the music module (tombolix_music): makes a player of `file` owned by `owner`,
// starts it and returns it (a QMediaPlayer, stopped by its "stop" slot).
#pragma once

class QObject;
class QString;

using MusicPlayerFactory = QObject* (*)(QObject* owner, const QString& file);
inline constexpr char kMusicPlayerFactory[] = "TombolixMakeMusicPlayer";
