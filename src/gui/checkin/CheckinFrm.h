// The operator's check-in window for the selected task: the address (every IPv4 address
// of the machine; loopback is warned about) and a port (those of the task's last start, else
// a free one), start and stop, the address and its QR code, the count, the hall's Wi-Fi for
// the screen (kept with the task), the ids and addresses locked for guessing (lifted here),
// and the check-in screen for the projector. Once the task's draw fixed its list, start and
// stop run the server alone: check-in stays closed.
#pragma once

#include <QDialog>
#include <vector>

#include "core/checkin/CheckinDesk.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTimer;
class TCheckinScreen;
class TCheckinService;
class TDeskPairFrm;
class THostRemoteFrm;

class TCheckinFrm : public QDialog {
  Q_OBJECT
 public:
  TCheckinFrm(TCheckinService& service, int32_t taskId, const QString& taskName,
              QWidget* parent = nullptr);
  ~TCheckinFrm() override;

  QComboBox* CbAddress;
  QSpinBox* SePort;
  QPushButton* BtnStart;
  QPushButton* BtnScreen;
  // The prize desks' pairing window.
  QPushButton* BtnDesks;
  QPushButton* BtnHost;  // the host remote's window
  QLabel* LbQr;
  QLabel* LbUrl;
  QLabel* LbCount;
  QLabel* LbState;
  QLabel* LbWarn;  // the chosen address reaches no phone
  QLineEdit* EdWifiName;
  QLineEdit* EdWifiPassword;
  QListWidget* LwLocks;  // each item's data: the key, and whether it is an id
  QPushButton* BtnLift;
  // The task option "仅抽取已签到人员", stored as it is ticked.
  QCheckBox* CbCheckinOnly;

  TCheckinScreen* Screen() const { return m_screen; }
  THostRemoteFrm* HostWindow() const { return m_host; }

 public slots:
  void BtnStartClick();
  void BtnScreenClick();
  void BtnDesksClick();
  void BtnHostClick();
  // Shows the service as it stands.
  void ShowState();
  void CbCheckinOnlyClick(bool checked);
  // Lifts the lock selected in LwLocks.
  void BtnLiftClick();

 private:
  TCheckinService& m_service;
  int32_t m_taskId;
  QTimer* m_timer;
  TCheckinScreen* m_screen = nullptr;
  TDeskPairFrm* m_desks = nullptr;
  // A window of its own, not this one's child: the draw screen leaves it in reach.
  THostRemoteFrm* m_host = nullptr;
  QString m_shownUrl;
  // Whether the task's draw fixed its list, read again whenever the server starts or stops.
  bool m_drawFixed = false;
  bool m_wasRunning = false;
  QTimer* m_wifiSave;
  std::vector<checkin::TCheckinLock> m_shownLocks;
};
