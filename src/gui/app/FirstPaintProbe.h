// For the start-up benchmark (bench/StartupBench.cpp): when TOMBOLIX_SHOWN_FD names an open
// descriptor, the first paint of the watched window writes a line to it (the processor time
// used so far, in microseconds) and the program quits. Header only and Qt Widgets only, so the bare
// window it is measured against uses the very same probe.
#pragma once

#include <time.h>
#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>

class FirstPaintProbe : public QObject {
 public:
  // Watches `window` when the variable is set; otherwise does nothing.
  static void Watch(QWidget& window) {
    bool ok = false;
    const int fd = qEnvironmentVariableIntValue("TOMBOLIX_SHOWN_FD", &ok);
    if (ok && fd > 2) window.installEventFilter(new FirstPaintProbe(fd, &window));
  }

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint && m_fd >= 0) {
      const int fd = m_fd;
      m_fd = -1;
      // Once this paint is on the screen.
      QTimer::singleShot(0, [fd] {
        // The processor time spent so far, in microseconds, loading the libraries included:
        // a figure that a busy machine does not inflate as it does the wall-clock time.
        timespec cpu{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
        const QByteArray line =
            QByteArray::number(qint64(cpu.tv_sec) * 1000000 + cpu.tv_nsec / 1000) + '\n';
        [[maybe_unused]] const ssize_t n = ::write(fd, line.constData(), size_t(line.size()));
        ::close(fd);
        QCoreApplication::quit();
      });
    }
    return false;
  }

 private:
  FirstPaintProbe(int fd, QObject* parent) : QObject(parent), m_fd(fd) {}
  int m_fd;
};
