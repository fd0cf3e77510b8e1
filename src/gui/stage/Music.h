// Background music of the draw screens. Qt Multimedia, and the sound libraries behind it,
// come with the module tombolix_music, loaded the first time music plays rather than when
// the program starts. Without the module, or without a sound card, the draw is silent.
#pragma once

#include <QObject>
#include <QString>

class TMusic {
 public:
  explicit TMusic(QObject* owner) : m_owner(owner) {}

  // Starts `file` once; a second call while it plays, a missing file or module do nothing.
  void Play(const QString& file);
  void Stop();
  // Whether a player was made (the module loaded and the file exists).
  bool HasPlayer() const { return m_player != nullptr; }

 private:
  QObject* m_owner;
  QObject* m_player = nullptr;  // a QMediaPlayer, owned by m_owner
};
