// Runs a check on the modal window that a call opens, then closes it, so the call returns.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

// Polls for the next modal window (for up to about 5 s) and hands it to `inspect`, which
// must close it.
inline void OnNextModal(std::function<void(QWidget*)> inspect) {
  auto* timer = new QTimer;
  auto tries = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, [timer, tries, inspect]() {
    QWidget* w = QApplication::activeModalWidget();
    if (w || ++*tries > 500) {
      timer->stop();
      timer->deleteLater();
      if (w) inspect(w);
    }
  });
  timer->start(10);
}
