// The single-instance lock, within one process (an advisory lock per open file, so two
// holders here conflict as two programs do).
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

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
