#include "gui/stage/Music.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QMetaObject>

#include "gui/stage/MusicModule.h"

namespace {

// The module's entry, looked for beside the program, then in its library folder of an
// installation (<prefix>/bin beside <prefix>/<libdir>/tombolix).
MusicPlayerFactory Factory() {
  static const MusicPlayerFactory factory = []() -> MusicPlayerFactory {
    const QDir dir(QCoreApplication::applicationDirPath());
    for (const QString& path :
         {dir.filePath(QStringLiteral("tombolix_music")),
          dir.filePath(QStringLiteral("../" TOMBOLIX_LIBDIR "/tombolix/tombolix_music"))}) {
      QLibrary module(path);
      if (auto f = reinterpret_cast<MusicPlayerFactory>(module.resolve(kMusicPlayerFactory)))
        return f;  // stays loaded: QLibrary unloads only when asked
    }
    return nullptr;
  }();
  return factory;
}

}  // namespace

void TMusic::Play(const QString& file) {
  if (m_player || file.isEmpty() || !QFileInfo(file).isFile()) return;
  if (const MusicPlayerFactory make = Factory()) m_player = make(m_owner, file);
}

void TMusic::Stop() {
  if (m_player) QMetaObject::invokeMethod(m_player, "stop");
}
