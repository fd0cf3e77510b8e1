// A copy of the real program in a folder of its own, started as a user starts it.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <string>

#include "core/db/TombolixDM.h"
#include "core/records/ExampleTasks.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

class ProgramCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.isValid());
    // The data root is the program's directory, so each test runs its own copy.
#ifdef _WIN32
    const QString exe = QStringLiteral("tombolix.exe"), xls = QStringLiteral("tombolix_xls.exe"),
                  music = QStringLiteral("tombolix_music.dll");
#else
    const QString exe = QStringLiteral("tombolix"), xls = QStringLiteral("tombolix_xls"),
                  music = QStringLiteral("tombolix_music.so");
#endif
    m_exe = m_dir.filePath(exe);
    ASSERT_TRUE(QFile::copy(QStringLiteral(TOMBOLIX_EXE), m_exe));
    QFile::setPermissions(m_exe, QFile::permissions(m_exe) | QFileDevice::ExeOwner);
    // The xls reader's helper and the music module go beside it, as an installation puts them.
    for (const QString& name : {xls, music}) {
      const QString copy = m_dir.filePath(name);
      ASSERT_TRUE(QFile::copy(QFileInfo(QStringLiteral(TOMBOLIX_EXE)).dir().filePath(name), copy));
      QFile::setPermissions(copy, QFile::permissions(copy) | QFileDevice::ExeOwner);
    }
#ifdef _WIN32
    // Qt's plugins too, which it looks for beside the program.
    const QDir from = QFileInfo(QStringLiteral(TOMBOLIX_EXE)).dir();
    for (const QString& kind : {QStringLiteral("platforms"), QStringLiteral("imageformats"),
                                QStringLiteral("multimedia")}) {
      QDir(m_dir.path()).mkpath(kind);
      for (const QString& dll : QDir(from.filePath(kind)).entryList({QStringLiteral("*.dll")}))
        QFile::copy(from.filePath(kind + QLatin1Char('/') + dll),
                    m_dir.filePath(kind + QLatin1Char('/') + dll));
    }
#endif
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("tmp")));
    m_log = m_dir.filePath(QStringLiteral("dialogs.log"));
  }

  // Starts the program typing `keys`; `answers` for its questions, or real question windows
  // when `realDialogs`.
  std::unique_ptr<QProcess> Start(const QString& keys = {}, const QString& answers = {},
                                  bool realDialogs = false) {
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("TMPDIR"), m_dir.filePath(QStringLiteral("tmp")));
#ifdef _WIN32
    // Windows' own names for the temporary folder, where the single-instance lock lives.
    env.insert(QStringLiteral("TEMP"),
               QDir::toNativeSeparators(m_dir.filePath(QStringLiteral("tmp"))));
    env.insert(QStringLiteral("TMP"),
               QDir::toNativeSeparators(m_dir.filePath(QStringLiteral("tmp"))));
    // The copy finds its DLLs where the build put them beside the original.
    env.insert(QStringLiteral("PATH"),
               QDir::toNativeSeparators(QFileInfo(QStringLiteral(TOMBOLIX_EXE)).path()) +
                   QLatin1Char(';') + env.value(QStringLiteral("PATH")));
#endif
    if (!realDialogs) env.insert(QStringLiteral("TOMBOLIX_DIALOG_LOG"), m_log);
    env.insert(QStringLiteral("TOMBOLIX_DIALOG_ANSWERS"), answers);
    env.insert(QStringLiteral("TOMBOLIX_KEYS"), keys);
    QFile::remove(KeysDonePath());
    env.insert(QStringLiteral("TOMBOLIX_KEYS_DONE"), KeysDonePath());
    p->setProcessEnvironment(env);
    p->setProgram(m_exe);
    p->start();
    EXPECT_TRUE(p->waitForStarted(10000));
    return p;
  }

  QString Path(const QString& rel) const { return m_dir.filePath(rel); }

  // Makes the copy's database now, with the example tasks as its first start makes them,
  // and sets the example draw's LuckTask.StageKeys: "0 0" turns off the rest after a reveal
  // and the minimum roll, which keys typed every 150 ms would run into; "" keeps the
  // program's defaults.
  void SetStageKeys(const std::string& stored = "0 0") {
    paths::SetDataRoot(text::Utf8ToGbk(m_dir.path().toStdString()) + "/");
    TTombolixDataModule dm(SeedExampleTasks);
    ASSERT_TRUE(dm.DataModuleCreate());
    std::string error;
    ASSERT_TRUE(db::ExecSql(dm.ARryPub, db::sql::kUpdateStageKeys, {stored, int64_t{1001}}, error))
        << error;
  }

  // True once the copy started last has typed and handled every key it was given.
  bool KeysTyped() const { return QFileInfo::exists(KeysDonePath()); }
  QString KeysDonePath() const { return m_dir.filePath(QStringLiteral("keys.done")); }

  static QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  // The candidate lines of the example task in the data folder `root` (this copy's when
  // empty), by index: the lines after BEGIN, COUNT=, ID_MAX_LENGTH= and the title.
  QList<QByteArray> Candidates(QString root = {}) const {
    if (root.isEmpty()) root = m_dir.path();
    QList<QByteArray> lines = Read(root + QStringLiteral("/DATA_FILE/1001.txt")).split('\n').mid(4);
    for (QByteArray& l : lines) l = l.trimmed();
    return lines;
  }

  // A journal record's field `key`, empty when it has none.
  static QByteArray RecordField(const QByteArray& record, const QByteArray& key) {
    for (const QByteArray& f : record.split('\t'))
      if (f.startsWith(key + '=')) return f.mid(key.size() + 1);
    return {};
  }

  // The candidate indices a BATCH record names.
  static QList<int> Winners(const QByteArray& batch) {
    QList<int> out;
    for (const QByteArray& k : RecordField(batch, "winners").split(','))
      if (!k.isEmpty()) out << k.toInt();
    return out;
  }

  // The winner lines of the example task's files in the data folder `root`, in item order.
  static QList<QByteArray> WinnerLines(const QString& root) {
    QList<QByteArray> out;
    for (const QString& f :
         QDir(root + QStringLiteral("/LUCK_FILE"))
             .entryList({QStringLiteral("1001_*.txt")}, QDir::Files, QDir::Name)) {
      const QList<QByteArray> lines = Read(root + QStringLiteral("/LUCK_FILE/") + f).split('\n');
      for (int i = 1; i < lines.size(); ++i)
        if (!lines[i].trimmed().isEmpty()) out << lines[i].trimmed();
    }
    return out;
  }

  // The lines of the dialog log: every message and question the program showed.
  QStringList LogLines() const {
    return QString::fromUtf8(Read(m_log)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  }

  // The whole records of the finished journal of task 1001, CR LF and check values cut.
  QList<QByteArray> Records() const {
    QList<QByteArray> out;
    for (QByteArray l : Read(Path(QStringLiteral("LUCK_FILE/JOURNAL_1001_DONE.txt"))).split('\n')) {
      if (!l.endsWith('\r')) continue;
      l.chop(1);
      const qsizetype check = l.lastIndexOf("\tcheck=");
      out << (check < 0 ? l : l.left(check));
    }
    return out;
  }

  // The batch records of the copy's journal of task 1001 (whole lines only).
  QList<QByteArray> Batches() const {
    QList<QByteArray> out;
    for (const QByteArray& l : Read(Path(QStringLiteral("LUCK_FILE/JOURNAL_1001.txt"))).split('\n'))
      if (l.startsWith("BATCH\t") && l.endsWith('\r')) out << l;
    return out;
  }

  // Waits up to `ms` for `done` while the program runs; once it has ended, `done` answers.
  template <typename F>
  static bool WaitFor(QProcess& p, F done, int ms = 30000) {
    (void)QTest::qWaitFor([&] { return done() || p.state() != QProcess::Running; }, ms);
    return done();
  }

  // Killed outright, nothing run on the way out (TerminateProcess on Windows).
  static void Kill(QProcess& p) {
#ifdef _WIN32
    p.kill();
#else
    ::kill(static_cast<pid_t>(p.processId()), SIGKILL);
#endif
    p.waitForFinished(10000);
  }

  QTemporaryDir m_dir;
  QString m_exe;
  QString m_log;
};
