// The real program, started as a user starts it: single instance and first start.
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

#include "ProgramCopy.h"

namespace {

class Program : public ProgramCopy {
 protected:
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

  static void Stop(QProcess& p) {
    p.kill();
    p.waitForFinished(10000);
  }
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
  Kill(*first);

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
