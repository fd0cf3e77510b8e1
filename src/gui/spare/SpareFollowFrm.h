// The spare laptop's window (热备跟随): the stage laptop's address and the code its operator
// reads out, then where the spare stands, polled once a second without ever blocking the
// window. What the spare asks and how it writes the answers is core (spare::TFollower); this
// window only carries the bytes over the network and shows the follower's text, red while
// the stage is silent. 接管 takes the draw over from the spare folder through the same flow as
// 接管抽奖…; then the window stops following and, every few seconds until it is closed,
// tells the old stage's address that the draw was taken over, so that the old laptop, once
// back, refuses to go on with it.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

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
  QPushButton* BtnTakeOver;
  QLabel* LbStatus;
  QLabel* LbNote;
  QLabel* LbFolder;

  bool Following() const { return m_following; }
  // The task taken over here, 0 before; and whether the old stage has recorded it.
  int32_t TakenTask() const { return m_takenTask; }
  bool StageTold() const { return m_stageTold; }
  // For tests: the steady clock (ms) the silence is measured on.
  void SetClock(std::function<int64_t()> nowMs) { m_now = std::move(nowMs); }

 public slots:
  void BtnFollowClick();
  void Poll();
  void ShowState();
  void BtnTakeOverClick();
  void TellStage();

 signals:
  // The draw of this task is now this machine's: the task list shows it.
  void TakenOver(int taskId);

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void HelloDone(QNetworkReply* reply);
  void SyncDone(QNetworkReply* reply);
  void TellDone(QNetworkReply* reply);
  void Stop();
  QString BaseUrl() const;
  // A sealed message posted to the stage's `path`, with the request limit.
  QNetworkReply* PostSealed(const QString& path, const std::string& message);

  QNetworkAccessManager* m_net;
  QTimer* m_timer;
  QElapsedTimer m_clock;
  std::function<int64_t()> m_now;
  std::unique_ptr<spare::TFollower> m_follower;
  QNetworkReply* m_inFlight = nullptr;
  bool m_following = false;
  QString m_note;  // the last refusal, shown under the status until an answer is taken
  QTimer* m_tellTimer;
  int32_t m_takenTask = 0;
  QString m_takenText;    // what the status says once taken over
  std::string m_takenAt;  // YYYY-MM-DD HH:MM:SS, as the MOVED record has it
  bool m_stageTold = false;
  bool m_stageBusy = false;  // the old stage's draw screen is open: asked again
};
