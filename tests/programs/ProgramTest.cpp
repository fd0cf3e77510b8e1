// The real program, started as a user starts it: single instance and first start.
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

#include "ProgramCopy.h"

namespace {

class Program : public ProgramCopy {
 protected:
  // Waits until the lock of a running copy is taken, its database exists and its window has
  // the keyboard in the event loop.
  bool WaitUntilRunning(QProcess& p) {
    const QString lock = m_dir.filePath(QStringLiteral("tmp/Qarvo抽奖软件.lock"));
    const QString db = m_dir.filePath(QStringLiteral("DATA/Tombolix.db"));
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 20000) {
      if (p.state() != QProcess::Running) return false;
      if (QFileInfo::exists(lock) && QFileInfo::exists(db) && KeysTyped()) return true;
      QThread::msleep(20);
    }
    return false;
  }

  static void Stop(QProcess& p) {
    p.kill();
    p.waitForFinished(10000);
  }
};

}  // namespace

// A second start brings the running copy forward and ends without a word.
TEST_F(Program, ASecondStartBringsTheRunningCopyForwardAndEnds) {
  auto first = Start();
  ASSERT_TRUE(WaitUntilRunning(*first)) << LogLines().join('\n').toStdString();
  EXPECT_TRUE(LogLines().isEmpty()) << LogLines().join('\n').toStdString();  // a clean start

  auto second = Start();
  ASSERT_TRUE(second->waitForFinished(20000));
  EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second->exitCode(), 0);
  EXPECT_TRUE(LogLines().isEmpty()) << LogLines().join('\n').toStdString();
  EXPECT_EQ(first->state(), QProcess::Running);
  Stop(*first);
}

// A copy killed outright (as a crash or a power cut ends it) leaves its lock file and its
// listening socket behind: neither keeps the operator out, and the next copy is reached.
TEST_F(Program, CopyStartedAfterAKilledOneStartsNormally) {
  auto first = Start();
  ASSERT_TRUE(WaitUntilRunning(*first));
  Kill(*first);
  EXPECT_TRUE(QFileInfo::exists(m_dir.filePath(QStringLiteral("tmp/Qarvo抽奖软件.lock"))));

  auto next = Start();
  ASSERT_TRUE(WaitUntilRunning(*next)) << LogLines().join('\n').toStdString();
  EXPECT_TRUE(LogLines().isEmpty());
  // It holds the lock now and answers: one more start brings it forward and ends.
  auto another = Start();
  ASSERT_TRUE(another->waitForFinished(20000));
  EXPECT_EQ(another->exitCode(), 0);
  EXPECT_TRUE(LogLines().isEmpty()) << LogLines().join('\n').toStdString();
  EXPECT_EQ(next->state(), QProcess::Running);
  Stop(*next);
}

namespace {

// The program laid out as `cmake --install` lays it out: <prefix>/bin/tombolix, with the menu
// entry in <prefix>/share/applications once `installed`.
class InstalledLayout : public ::testing::TestWithParam<bool> {
 protected:
  QTemporaryDir m_dir;
  QString Path(const QString& rel) const { return m_dir.filePath(rel); }
};

}  // namespace

// The installed layout is the .deb's (prefix/bin beside prefix/share) and it ends by SIGTERM.
#ifndef _WIN32
TEST_P(InstalledLayout, DataGoesUnderHomeOnlyForAnInstallation) {
  const bool installed = GetParam();
  ASSERT_TRUE(m_dir.isValid());
  QDir root(m_dir.path());
  ASSERT_TRUE(root.mkpath(QStringLiteral("prefix/bin")) && root.mkpath(QStringLiteral("home")) &&
              root.mkpath(QStringLiteral("tmp")));
  const QString exe = Path(QStringLiteral("prefix/bin/tombolix"));
  ASSERT_TRUE(QFile::copy(QStringLiteral(TOMBOLIX_EXE), exe));
  if (installed) {
    ASSERT_TRUE(root.mkpath(QStringLiteral("prefix/share/applications")));
    QFile entry(Path(QStringLiteral("prefix/share/applications/com.qarvo.tombolix.desktop")));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
  }
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove(QStringLiteral("XDG_DATA_HOME"));
  env.insert(QStringLiteral("HOME"), Path(QStringLiteral("home")));
  env.insert(QStringLiteral("TMPDIR"), Path(QStringLiteral("tmp")));
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("TOMBOLIX_DIALOG_LOG"), Path(QStringLiteral("dialogs.log")));
  p.setProcessEnvironment(env);
  p.start(exe, {});
  ASSERT_TRUE(p.waitForStarted(10000));

  const QString underHome = Path(QStringLiteral("home/.local/share/Qarvo/DATA/Tombolix.db"));
  const QString beside = Path(QStringLiteral("prefix/bin/DATA/Tombolix.db"));
  const QString expected = installed ? underHome : beside;
  QElapsedTimer t;
  t.start();
  while (!QFileInfo::exists(expected) && p.state() == QProcess::Running && t.elapsed() < 20000)
    QThread::msleep(20);
  EXPECT_TRUE(QFileInfo::exists(expected));
  EXPECT_FALSE(QFileInfo::exists(installed ? beside : underHome));
  ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
  ASSERT_TRUE(p.waitForFinished(20000));
  EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(p.exitCode(), 0);
}

INSTANTIATE_TEST_SUITE_P(Program, InstalledLayout, ::testing::Values(false, true));
#endif
