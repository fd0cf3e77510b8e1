// A system-wide lock keyed by a name, so that only one copy of the program runs. The lock
// dies with the process that holds it: a copy that crashed or was killed never blocks the
// next start.
#pragma once

#include <QString>
#include <memory>

class QLockFile;

class SingleInstance {
 public:
  explicit SingleInstance(const QString& name);
  ~SingleInstance();

  // True when this process now holds the lock; false when another copy holds it.
  bool tryAcquire();

 private:
  QString m_path;
  std::unique_ptr<QLockFile> m_lock;
};
