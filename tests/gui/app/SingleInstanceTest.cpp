// The single-instance lock, within one process (a lock per open file, so two holders here
// conflict as two programs do), and a later start of the real program bringing a holder's
// window forward.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include "gui/app/SingleInstance.h"

namespace {

// The variable that names the temporary folder: TMP on Windows.
#ifdef _WIN32
constexpr char kTmpVar[] = "TMP";
#else
constexpr char kTmpVar[] = "TMPDIR";
#endif

class SingleInstanceLock : public ::testing::Test {
 protected:
  void SetUp() override {
    m_hadTmp = qEnvironmentVariableIsSet(kTmpVar);
    m_oldTmp = qgetenv(kTmpVar);
    qputenv(kTmpVar, QFile::encodeName(m_dir.path()));
  }
  // As it was: an empty TMPDIR is not an unset one to the tests that follow.
  void TearDown() override {
    if (m_hadTmp)
      qputenv(kTmpVar, m_oldTmp);
    else
      qunsetenv(kTmpVar);
  }
  QString LockPath() const { return m_dir.filePath(QStringLiteral("Qarvo抽奖软件.lock")); }

  QTemporaryDir m_dir;
  QByteArray m_oldTmp;
  bool m_hadTmp = false;
};

}  // namespace

TEST_F(SingleInstanceLock, OneHolderAtATimeAndTheFileGoesWithIt) {
  auto first = std::make_unique<SingleInstance>(QStringLiteral("Qarvo抽奖软件"));
  ASSERT_TRUE(first->tryAcquire());
  EXPECT_TRUE(QFileInfo::exists(LockPath()));
  SingleInstance second(QStringLiteral("Qarvo抽奖软件"));
  EXPECT_FALSE(second.tryAcquire());
  // Another name is another lock.
  SingleInstance other(QStringLiteral("other"));
  EXPECT_TRUE(other.tryAcquire());
  // A holder that ends removes the file, and the next one takes the lock.
  first.reset();
  EXPECT_FALSE(QFileInfo::exists(LockPath()));
  SingleInstance third(QStringLiteral("Qarvo抽奖软件"));
  EXPECT_TRUE(third.tryAcquire());
  EXPECT_TRUE(QFileInfo::exists(LockPath()));
}

TEST_F(SingleInstanceLock, ALockFileLeftByAKilledCopyIsTakenOver) {
  QFile left(LockPath());
  ASSERT_TRUE(left.open(QIODevice::WriteOnly));
  left.write("4242\ntombolix\n");
  left.close();
  SingleInstance next(QStringLiteral("Qarvo抽奖软件"));
  EXPECT_TRUE(next.tryAcquire());
}

#ifndef _WIN32  // a symbolic link in a shared temporary folder is a POSIX concern
TEST_F(SingleInstanceLock, NeverOpensThroughALinkInTheTemporaryFolder) {
  const QString target = m_dir.filePath(QStringLiteral("someone's file"));
  QFile file(target);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("keep me");
  file.close();
  ASSERT_TRUE(QFile::link(target, LockPath()));
  {
    SingleInstance copy(QStringLiteral("Qarvo抽奖软件"));
    // Without a lock of its own the program still runs: better than refusing the show.
    EXPECT_TRUE(copy.tryAcquire());
  }
  EXPECT_TRUE(QFileInfo(LockPath()).isSymLink());
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), QByteArray("keep me"));
}
#endif

// The real program started while this process holds the lock asks it to come forward: the
// window the callback names is restored, raised and given the keyboard, and the program
// ends without a word.
TEST_F(SingleInstanceLock, ALaterStartOfTheProgramBringsTheRunningCopyForward) {
  QWidget other, last;
  other.setWindowTitle(QStringLiteral("other"));
  last.setWindowTitle(QStringLiteral("last"));
  last.show();
  last.showMinimized();
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitFor([&] { return other.isActiveWindow(); }));
  SingleInstance running(QStringLiteral("Qarvo抽奖软件"));
  ASSERT_TRUE(running.tryAcquire());
  int asked = 0;
  ASSERT_TRUE(running.Listen([&] {
    ++asked;
    BringWindowForward(&last);
  }));

  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QString::fromLatin1(kTmpVar), QDir::toNativeSeparators(m_dir.path()));
#ifdef _WIN32
  env.insert(QStringLiteral("TEMP"), QDir::toNativeSeparators(m_dir.path()));
#endif
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  const QString log = m_dir.filePath(QStringLiteral("dialogs.log"));
  env.insert(QStringLiteral("TOMBOLIX_DIALOG_LOG"), log);
  program.setProcessEnvironment(env);
  program.start(QStringLiteral(TOMBOLIX_EXE), {});
  ASSERT_TRUE(program.waitForStarted(10000));
  // This event loop answers it meanwhile.
  ASSERT_TRUE(QTest::qWaitFor([&] { return program.state() == QProcess::NotRunning; }, 30000));
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0);
  EXPECT_FALSE(QFileInfo::exists(log) && QFileInfo(log).size() > 0);
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(QTest::qWaitFor([&] { return last.isActiveWindow(); }));
  EXPECT_FALSE(last.isMinimized());
}

// A holder that does not answer (still starting, or hung) is not waited on beyond the time
// given: the start then says that the program runs.
TEST_F(SingleInstanceLock, AHolderThatDoesNotAnswerIsWaitedOnOnlySoLong) {
  SingleInstance silent(QStringLiteral("Qarvo抽奖软件"));
  ASSERT_TRUE(silent.tryAcquire());
  SingleInstance later(QStringLiteral("Qarvo抽奖软件"));
  ASSERT_FALSE(later.tryAcquire());
  QElapsedTimer t;
  t.start();
  EXPECT_FALSE(later.AskToComeForward(300));
  EXPECT_LT(t.elapsed(), 5000);
}
