#include "gui/app/SingleInstance.h"

#include <QDir>

#ifdef Q_OS_WIN
#include <QLockFile>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

SingleInstance::SingleInstance(const QString& name)
    : m_path(QDir(QDir::tempPath()).filePath(name + QStringLiteral(".lock"))) {}

#ifdef Q_OS_WIN

SingleInstance::~SingleInstance() = default;

bool SingleInstance::tryAcquire() {
  m_lock = std::make_unique<QLockFile>(m_path);
  // Never stale by age: a live holder keeps it however long it runs. A lock whose process
  // is gone is recognised as stale and taken over.
  m_lock->setStaleLockTime(0);
  if (m_lock->tryLock(0)) return true;
  if (m_lock->error() == QLockFile::LockFailedError) return false;
  // The lock file cannot be written here at all: better to run than to refuse the show.
  return true;
}

#else

namespace {

bool SameFile(int fd, const QByteArray& path) {
  struct stat open {
  }, named{};
  return ::fstat(fd, &open) == 0 && ::lstat(path.constData(), &named) == 0 &&
         open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

}  // namespace

SingleInstance::~SingleInstance() {
  if (m_fd < 0) return;
  // Removed while still locked, so no copy starting now takes a file that is going away.
  const QByteArray path = QFile::encodeName(m_path);
  if (SameFile(m_fd, path)) ::unlink(path.constData());
  ::close(m_fd);
}

bool SingleInstance::tryAcquire() {
  const QByteArray path = QFile::encodeName(m_path);
  // A copy that exits removes the file between another's open and lock; that one then holds
  // a file no longer at the path and opens it again.
  for (int attempt = 0; attempt < 5; ++attempt) {
    // Never through a link someone put in the shared temporary folder.
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return true;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const bool held = errno == EWOULDBLOCK;
      ::close(fd);
      return !held;
    }
    if (SameFile(fd, path)) {
      m_fd = fd;
      return true;
    }
    ::close(fd);
  }
  return true;
}

#endif
