// The entry of the music module (tombolix_music): makes a player of `file` owned by `owner`,
// starts it and returns it (a QMediaPlayer, stopped by its "stop" slot).
#pragma once

class QObject;
class QString;

using MusicPlayerFactory = QObject* (*)(QObject* owner, const QString& file);
inline constexpr char kMusicPlayerFactory[] = "TombolixMakeMusicPlayer";

// The show's sounds: makes a player of `file` owned by `owner` at `volume` percent, looping
// without end when `loop`, and returns it without starting it (a QMediaPlayer: its slots
// "play", "stop" and "setPosition").
using SoundPlayerFactory = QObject* (*)(QObject* owner, const QString& file, int volume, bool loop);
inline constexpr char kSoundPlayerFactory[] = "TombolixMakeSoundPlayer";
