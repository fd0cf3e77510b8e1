#include "gui/app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QWidget>
#include <algorithm>

#ifdef Q_OS_WIN
// std::min and std::max stay functions.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace {

// What a later start says, and what the running copy answers once it came forward.
constexpr char kComeForward[] = "come-forward\n";
constexpr char kCameForward[] = "ok\n";
// A request longer than this is no request of ours.
constexpr qint64 kMaxRequest = 64;

// The copy's name for later starts, one per lock file: the same user and temporary folder
// reach the same copy, and a test's own temporary folder its own copy.
QString ServerName(const QString& lockPath) {
  QString path = QDir::cleanPath(lockPath);
#ifdef Q_OS_WIN
  path = path.toLower();  // one folder however its letters are cased
#endif
  const QByteArray key = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256);
  return QStringLiteral("tombolix-") + QString::fromLatin1(key.toHex().left(24));
}

}  // namespace

SingleInstance::SingleInstance(const QString& name)
    : m_path(QDir(QDir::tempPath()).filePath(name + QStringLiteral(".lock"))),
      m_serverName(ServerName(m_path)) {}

#ifdef Q_OS_WIN

SingleInstance::~SingleInstance() {
  m_server.reset();
  if (!m_handle) return;
  // Marked for deletion while still locked, so no copy starting now locks a file that goes.
  DeleteFileW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(m_path).utf16()));
  CloseHandle(static_cast<HANDLE>(m_handle));
}

bool SingleInstance::tryAcquire() {
  const std::wstring path = QDir::toNativeSeparators(m_path).toStdWString();
  // A copy that is ending has marked its file for deletion: it cannot be opened for that
  // moment, and then it is gone.
  for (int attempt = 0; attempt < 10; ++attempt) {
    const HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      const DWORD why = GetLastError();
      if (why != ERROR_ACCESS_DENIED && why != ERROR_SHARING_VIOLATION) return true;
      Sleep(20);
      continue;
    }
    // The system drops this lock with the handle, when the process ends however it ends.
    OVERLAPPED at{};
    if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
      const DWORD why = GetLastError();
      CloseHandle(h);
      return why != ERROR_LOCK_VIOLATION;
    }
    FILE_STANDARD_INFO info{};
    if (GetFileInformationByHandleEx(h, FileStandardInfo, &info, sizeof info) &&
        info.DeletePending) {
      CloseHandle(h);
      continue;
    }
    m_handle = h;
    return true;
  }
  // The file cannot be had here at all: better to run than to refuse the show.
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
  m_server.reset();
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

bool SingleInstance::Listen(std::function<void()> comeForward) {
  m_comeForward = std::move(comeForward);
  m_server = std::make_unique<QLocalServer>();
  m_server->setSocketOptions(QLocalServer::UserAccessOption);
  // We hold the lock: a name left behind is a killed copy's, and nobody listens on it.
  QLocalServer::removeServer(m_serverName);
  if (!m_server->listen(m_serverName)) {
    m_server.reset();
    return false;
  }
  QLocalServer* server = m_server.get();
  QObject::connect(server, &QLocalServer::newConnection, server, [this, server] {
    while (QLocalSocket* s = server->nextPendingConnection()) {
      QObject::connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
      QObject::connect(s, &QLocalSocket::readyRead, s, [this, s] {
        if (!s->canReadLine()) {
          if (s->bytesAvailable() > kMaxRequest) s->abort();
          return;
        }
        const QByteArray line = s->readLine(kMaxRequest);
        if (line == kComeForward) {
          if (m_comeForward) m_comeForward();
          s->write(kCameForward);
          s->flush();
        }
        s->disconnectFromServer();
      });
    }
  });
  return true;
}

bool SingleInstance::AskToComeForward(int timeoutMs) {
#ifdef Q_OS_WIN
  // The start the operator just made may hand the foreground to the running copy; without
  // this Windows would only flash its button on the task bar.
  AllowSetForegroundWindow(ASFW_ANY);
#endif
  const QDeadlineTimer deadline(timeoutMs);
  const auto left = [&deadline] {
    return static_cast<int>(std::max<qint64>(1, deadline.remainingTime()));
  };
  // The copy may be starting up, between taking the lock and listening: asked again.
  while (!deadline.hasExpired()) {
    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    if (socket.waitForConnected(left())) {
      socket.write(kComeForward);
      socket.waitForBytesWritten(left());
      QByteArray answer;
      while (!answer.endsWith('\n') && answer.size() <= kMaxRequest && !deadline.hasExpired() &&
             (socket.bytesAvailable() > 0 || socket.waitForReadyRead(left())))
        answer += socket.readAll();
      if (answer == kCameForward) return true;
    }
    QThread::msleep(100);
  }
  return false;
}

void BringWindowForward(QWidget* window) {
  if (!window) return;
  if (window->isMinimized()) window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
  if (!window->isVisible()) window->show();
  window->raise();
  window->activateWindow();
}
