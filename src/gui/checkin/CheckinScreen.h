// The check-in screen for the projector: the QR code, the address in large type, the count
// "已签到 N / M", the latest names (the 签到墙) and the state line, on the stage's
// background. Double click or F11 toggles full screen, Esc leaves it. It only shows what
// the service's desk answers.
#pragma once

#include <QPixmap>
#include <QWidget>

class QTimer;
class TCheckinService;

class TCheckinScreen : public QWidget {
  Q_OBJECT
 public:
  explicit TCheckinScreen(TCheckinService& service, QWidget* parent = nullptr);

  // The frame as it stands (drawn afresh when the desk or the size changed).
  const QPixmap& Frame();
  // Looks at the desk now instead of at the next tick.
  void Refresh();

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void keyPressEvent(QKeyEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent*) override;

 private:
  QPixmap Render() const;

  TCheckinService& m_service;
  QTimer* m_timer;
  QPixmap m_frame;
  uint64_t m_generation = ~0ull;
  QString m_url;
  bool m_open = false;
};
