// The single-instance lock, within one process (an advisory lock per open file, so two
// holders here conflict as two programs do).
#include <gtest/gtest.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "gui/app/SingleInstance.h"

namespace {

class SingleInstanceLock : public ::testing::Test {
 protected:
  void SetUp() override {
    m_hadTmp = qEnvironmentVariableIsSet("TMPDIR");
    m_oldTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(m_dir.path()));
  }
  // As it was: an empty TMPDIR is not an unset one to the tests that follow.
  void TearDown() override {
    if (m_hadTmp)
      qputenv("TMPDIR", m_oldTmp);
    else
      qunsetenv("TMPDIR");
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
