// The spare laptop's window (热备跟随): the stage laptop's address and the code its operator
// reads out, then where the spare stands, polled once a second without ever blocking the
// window. What the spare asks and how it writes the answers is core (spare::TFollower); this
// window only carries the bytes over the network and shows the follower's text, red while
// the stage is silent.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <cstdint>
#include <functional>
#include <memory>

#include "core/spare/Follower.h"

class QLabel;
class QLineEdit;
class QNetworkAccessManager;
class QNetworkReply;
class QPushButton;
class QTimer;

class TSpareFollowFrm : public QDialog {
  Q_OBJECT
 public:
  explicit TSpareFollowFrm(QWidget* parent = nullptr);
  ~TSpareFollowFrm() override;

  QLineEdit* EdAddress;
  QLineEdit* EdCode;
  QPushButton* BtnFollow;
  QLabel* LbStatus;
  QLabel* LbNote;
  QLabel* LbFolder;

  bool Following() const { return m_following; }
  // For tests: the steady clock (ms) the silence is measured on.
  void SetClock(std::function<int64_t()> nowMs) { m_now = std::move(nowMs); }

 public slots:
  void BtnFollowClick();
  void Poll();
  void ShowState();

 private:
  void HelloDone(QNetworkReply* reply);
  void SyncDone(QNetworkReply* reply);
  void Stop();
  QString BaseUrl() const;

  QNetworkAccessManager* m_net;
  QTimer* m_timer;
  QElapsedTimer m_clock;
  std::function<int64_t()> m_now;
  std::unique_ptr<spare::TFollower> m_follower;
  QNetworkReply* m_inFlight = nullptr;
  bool m_following = false;
  QString m_note;  // the last refusal, shown under the status until an answer is taken
};
