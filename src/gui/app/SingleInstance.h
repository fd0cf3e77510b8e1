// A system-wide lock keyed by a name, so that only one copy of the program runs. The lock
// dies with the process that holds it: a copy that crashed or was killed never blocks the
// next start. While held, the lock file <temp>/<name>.lock exists; a clean exit removes it.
#pragma once

#include <QString>
#include <memory>

class QLockFile;

class SingleInstance {
 public:
  explicit SingleInstance(const QString& name);
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // True when this process now holds the lock, or when the lock file cannot be made here at
  // all (better to run than to refuse the show); false when another copy holds it.
  bool tryAcquire();

 private:
  QString m_path;
#ifdef Q_OS_WIN
  std::unique_ptr<QLockFile> m_lock;
#else
  // An advisory lock (flock) on the open file: the kernel releases it with the process, and
  // taking it writes nothing, so no start waits for the disk.
  int m_fd = -1;
#endif
};
