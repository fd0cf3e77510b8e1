#include "gui/stage/StageSound.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLibrary>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <atomic>

#include "core/text/FileWrite.h"
#include "gui/stage/MusicModule.h"
#include "gui/ui/Art.h"
#include "gui/ui/Qt.h"

namespace {

std::atomic<int> g_made{0};

// The keys of the players: a cue's index, an item's piece above them, the preview last.
constexpr int kPieceKey = 1000;
constexpr int kPreviewKey = -1;

int KeyOf(const TSoundPlay& p) {
  return p.cue == TSoundCue::ItemPiece ? kPieceKey + p.itemId : static_cast<int>(p.cue);
}

// Lives on the sound thread: loads the module there and keeps the players, one per key.
class TSoundWorker : public QObject {
 public:
  // Starts `file` from its beginning at `volume`, looping or once; a player of the same key
  // made for the same file is reused.
  void Play(int key, const QString& file, int volume, bool loop) {
    Player& p = m_players[key];
    if (!p.object || p.file != file || p.volume != volume) {
      delete p.object;
      p = Player{};
      const SoundPlayerFactory make = Factory();
      const QString path = file.isEmpty() ? FanfareFile() : file;
      if (!make || path.isEmpty() || !QFileInfo(path).isFile()) return;
      p.object = make(this, path, volume, loop);
      if (p.object) ++g_made;
      p.file = file;
      p.volume = volume;
    } else {
      QMetaObject::invokeMethod(p.object, "setPosition", Q_ARG(qint64, 0));
    }
    if (p.object) QMetaObject::invokeMethod(p.object, "play");
  }
  void Stop(int key) {
    const auto it = m_players.find(key);
    if (it != m_players.end() && it->object) QMetaObject::invokeMethod(it->object, "stop");
  }
  void StopAll() {
    for (const Player& p : m_players)
      if (p.object) QMetaObject::invokeMethod(p.object, "stop");
  }
  void Clear() {
    for (const Player& p : m_players) delete p.object;
    m_players.clear();
  }

 private:
  struct Player {
    QPointer<QObject> object;  // a QMediaPlayer
    QString file;              // empty for the program's fanfare
    int volume = 0;
  };

  // The module's entry, looked for beside the program, then in its library folder of an
  // installation.
  static SoundPlayerFactory Factory() {
    static const SoundPlayerFactory factory = []() -> SoundPlayerFactory {
      const QDir dir(QCoreApplication::applicationDirPath());
      for (const QString& path :
           {dir.filePath(QStringLiteral("tombolix_music")),
            dir.filePath(QStringLiteral("../" TOMBOLIX_LIBDIR "/tombolix/tombolix_music"))}) {
        QLibrary module(path);
        if (auto f = reinterpret_cast<SoundPlayerFactory>(module.resolve(kSoundPlayerFactory)))
          return f;
      }
      return nullptr;
    }();
    return factory;
  }
  // The program's fanfare as a file the player can open, written once a run.
  static QString FanfareFile() {
    static const QString path = [] {
      QFile wav(QStringLiteral(":/sound/fanfare.wav"));
      if (!wav.open(QIODevice::ReadOnly)) return QString();
      const QByteArray bytes = wav.readAll();
      const QString target = QDir::temp().filePath(QStringLiteral("tombolix-fanfare.wav"));
      std::string error;
      if (!files::WriteFileAtomic(FromQ(target), std::string_view(bytes.constData(), bytes.size()),
                                  error))
        return QString();
      return target;
    }();
    return path;
  }

  QHash<int, Player> m_players;
};

// The one sound thread of the program, made on first use. It is ended when the application
// goes, waiting a moment at most: a hung sound device never keeps the program from closing.
TSoundWorker* Worker() {
  static TSoundWorker* worker = [] {
    EnsureResources();  // the fanfare's resource, registered on this thread
    auto* thread = new QThread;
    thread->setObjectName(QStringLiteral("tombolix-sound"));
    auto* w = new TSoundWorker;
    w->moveToThread(thread);
    thread->start();
    static QThread* running = thread;
    qAddPostRoutine([] {
      running->quit();
      running->wait(1000);
    });
    return w;
  }();
  return worker;
}

// Runs `job` on the sound thread, later; the caller goes on at once.
template <typename Job>
void Post(Job job) {
  TSoundWorker* w = Worker();
  QMetaObject::invokeMethod(
      w, [w, job] { job(*w); }, Qt::QueuedConnection);
}

}  // namespace

TStageSound::TStageSound(TSoundSettings sounds, TDrawSession& session)
    : m_sounds(sounds), m_chooser(std::move(sounds)), m_watch(session, this) {}

TStageSound::~TStageSound() { Stop(); }

void TStageSound::Moved(const TStageState& state) {
  const TCueStep step = m_chooser.Next(state);
  if (step.loop != m_loop) {
    if (m_loop) {
      const int key = KeyOf(*m_loop);
      Post([key](TSoundWorker& w) { w.Stop(key); });
    }
    m_loop = step.loop;
    if (m_loop) {
      m_loops.push_back(*m_loop);
      Start(*m_loop);
    }
  }
  if (step.shot) {
    m_shots.push_back(*step.shot);
    Start(TSoundPlay{*step.shot, 0});
  }
}

void TStageSound::Start(const TSoundPlay& play) {
  const TCueSound* s = m_sounds.Find(play.cue, play.itemId);
  if (m_muted || !s) return;
  ++m_sent;
  const int key = KeyOf(play);
  const QString file = s->builtIn ? QString() : Q(s->path);
  const int volume = s->volume;
  const bool loop = play.cue == TSoundCue::RollLoop || play.cue == TSoundCue::ItemPiece;
  Post([=](TSoundWorker& w) { w.Play(key, file, volume, loop); });
}

void TStageSound::SetMuted(bool muted) {
  if (muted == m_muted) return;
  m_muted = muted;
  if (muted)
    Post([](TSoundWorker& w) { w.StopAll(); });
  else if (m_loop)
    Start(*m_loop);
}

void TStageSound::Stop() {
  m_loop.reset();
  Post([](TSoundWorker& w) { w.Clear(); });
}

int SoundPlayersMade() { return g_made.load(); }

void PreviewSound(const TCueSound& sound) {
  if (!sound.Set()) return Post([](TSoundWorker& w) { w.Stop(kPreviewKey); });
  const QString file = sound.builtIn ? QString() : Q(sound.path);
  const int volume = sound.volume;
  Post([=](TSoundWorker& w) { w.Play(kPreviewKey, file, volume, false); });
}
