#include "gui/app/QuitSignal.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>

namespace {

// The handler may only write(): the byte wakes the event loop, which quits outside the handler.
int g_wake[2] = {-1, -1};
bool g_quitRequested = false;

void OnSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(g_wake[0], &byte, 1);
  errno = saved;
}

}  // namespace

void QuitOnTerminationSignals(QObject* parent) {
  if (g_wake[0] >= 0) return;
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_wake) != 0) return;
  auto* notifier = new QSocketNotifier(g_wake[1], QSocketNotifier::Read, parent);
  QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
    char buf[16];
    while (::read(g_wake[1], buf, sizeof buf) > 0) {
    }
    g_quitRequested = true;
    // Not quit(): that first asks every window to close, and a draw screen may refuse.
    QCoreApplication::exit(0);
  });
  struct sigaction sa = {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (const int sig : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(sig, &sa, nullptr);
}

bool QuitRequested() { return g_quitRequested; }

#else

#include <windows.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <atomic>

namespace {

std::atomic<bool> g_quitRequested{false};
QObject* g_target = nullptr;

// Windows calls this on a thread of its own: Ctrl+C or Ctrl+Break in a console the program
// was started from, the console closed, the user logging off, the machine shutting down.
// The quit is handed to the event loop, as the signals are elsewhere; the session's end itself
// (WM_ENDSESSION to the windows) is handled by Qt.
BOOL WINAPI OnConsoleEvent(DWORD) {
  if (!g_target) return FALSE;
  g_quitRequested = true;
  QMetaObject::invokeMethod(
      g_target, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
  return TRUE;
}

}  // namespace

void QuitOnTerminationSignals(QObject* parent) {
  if (g_target) return;
  g_target = parent;
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool QuitRequested() { return g_quitRequested; }

#endif
