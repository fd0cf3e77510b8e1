#include "app/SingleInstance.h"

#include <QDir>
#include <QLockFile>

SingleInstance::SingleInstance(const QString& name)
    : m_path(QDir(QDir::tempPath()).filePath(name + QStringLiteral(".lock"))) {}

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
