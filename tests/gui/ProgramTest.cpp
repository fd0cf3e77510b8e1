// The real program, started as a user starts it: single instance and first start.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

namespace {

class Program : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.isValid());
    // The data root is the program's directory, so each test runs its own copy.
    m_exe = m_dir.filePath(QStringLiteral("tombolix"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(TOMBOLIX_EXE), m_exe));
    QFile::setPermissions(m_exe, QFile::permissions(m_exe) | QFileDevice::ExeOwner);
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("tmp")));
    m_log = m_dir.filePath(QStringLiteral("dialogs.log"));
  }

  std::unique_ptr<QProcess> Start() {
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("TMPDIR"), m_dir.filePath(QStringLiteral("tmp")));
    env.insert(QStringLiteral("TOMBOLIX_DIALOG_LOG"), m_log);
    p->setProcessEnvironment(env);
    p->setProgram(m_exe);
    p->start();
    EXPECT_TRUE(p->waitForStarted(10000));
    return p;
  }

  // Waits until the lock of a running copy is taken and its database exists.
  bool WaitUntilRunning(QProcess& p) {
    const QString lock = m_dir.filePath(QStringLiteral("tmp/Qarvo抽奖软件.lock"));
    const QString db = m_dir.filePath(QStringLiteral("DATA/Tombolix.db"));
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 20000) {
      if (p.state() != QProcess::Running) return false;
      if (QFileInfo::exists(lock) && QFileInfo::exists(db)) {
        QThread::msleep(300);  // let it reach its event loop
        return p.state() == QProcess::Running;
      }
      QThread::msleep(20);
    }
    return false;
  }

  QStringList LogLines() const {
    QFile f(m_log);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  }

  static void Stop(QProcess& p) {
    p.kill();
    p.waitForFinished(10000);
  }

  QTemporaryDir m_dir;
  QString m_exe;
  QString m_log;
};

const QString kAlreadyRunning = QStringLiteral("message\t0\tQarvo抽奖软件已经在执行");

}  // namespace

TEST_F(Program, SecondCopyTellsAndExitsWhileTheFirstRunsOn) {
  auto first = Start();
  ASSERT_TRUE(WaitUntilRunning(*first)) << LogLines().join('\n').toStdString();
  EXPECT_TRUE(LogLines().isEmpty()) << LogLines().join('\n').toStdString();  // a clean start

  auto second = Start();
  ASSERT_TRUE(second->waitForFinished(20000));
  EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second->exitCode(), 0);
  EXPECT_EQ(LogLines(), QStringList{kAlreadyRunning});
  EXPECT_EQ(first->state(), QProcess::Running);
  Stop(*first);
}

TEST_F(Program, CopyStartedAfterAKilledOneStartsNormally) {
  auto first = Start();
  ASSERT_TRUE(WaitUntilRunning(*first));
  ::kill(static_cast<pid_t>(first->processId()), SIGKILL);
  first->waitForFinished(10000);

  auto next = Start();
  ASSERT_TRUE(WaitUntilRunning(*next)) << LogLines().join('\n').toStdString();
  EXPECT_TRUE(LogLines().isEmpty());
  // It holds the lock now: one more copy is turned away.
  auto another = Start();
  ASSERT_TRUE(another->waitForFinished(20000));
  EXPECT_EQ(LogLines(), QStringList{kAlreadyRunning});
  EXPECT_EQ(next->state(), QProcess::Running);
  Stop(*next);
}
