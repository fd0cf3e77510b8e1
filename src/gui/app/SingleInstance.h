// A system-wide lock keyed by a name, so that only one copy of the program runs, and the way
// a later start brings that copy forward. The lock is one the system itself drops with the
// process that holds it (flock on an open file; on Windows LockFileEx on an open handle), so
// a copy that crashed, was killed or lost its power never blocks the next start: nothing is
// read from the file, no process id is trusted. While held, the lock file
// <temp>/<name>.lock exists; a clean exit removes it.
#pragma once

#include <QString>
#include <functional>
#include <memory>

class QLocalServer;
class QWidget;

class SingleInstance {
 public:
  explicit SingleInstance(const QString& name);
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // True when this process now holds the lock, or when the lock file cannot be made here at
  // all (better to run than to refuse the show); false when another copy holds it.
  bool tryAcquire();

  // Once the lock is held: each later start that asks (AskToComeForward) has `comeForward`
  // called on this thread's event loop, and is answered once it returned. False when no
  // one can be heard here (the copy runs on; later starts then say that it runs).
  bool Listen(std::function<void()> comeForward);

  // For a start that did not get the lock: asks the copy that holds it to come forward and
  // waits at most `timeoutMs` for its answer (it may still be starting up). True once it
  // answered; false when it could not be reached in that time.
  bool AskToComeForward(int timeoutMs = 5000);

 private:
  QString m_path;
  QString m_serverName;  // of the listening copy, by the lock's path
  std::unique_ptr<QLocalServer> m_server;
  std::function<void()> m_comeForward;
#ifdef Q_OS_WIN
  void* m_handle = nullptr;  // the open, locked file (a HANDLE)
#else
  int m_fd = -1;  // the open file that holds the advisory lock
#endif
};

// Shows `window` over the other windows of the desktop and gives it the keyboard: restored
// when minimised, full screen kept when full screen.
void BringWindowForward(QWidget* window);
