// The operator's window of the host's remote, on the operator's screen (never the
// projector): the one-time pairing code in large type with its QR code (the host page's
// address with the code, so that a scan pairs), who is paired, 解除配对, a new code, and the
// allow or refuse of a second phone that asks to be the host. Stays in reach while the draw
// screen is up.
#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QTimer;
class TCheckinService;

class THostRemoteFrm : public QWidget {
  Q_OBJECT
 public:
  explicit THostRemoteFrm(TCheckinService& service, QWidget* parent = nullptr);

  QLabel* LbCode;
  QLabel* LbQr;
  QLabel* LbUrl;
  QLabel* LbHost;  // paired or not, and from where
  QLabel* LbWaiting;
  QPushButton* BtnAllow;
  QPushButton* BtnRefuse;
  QPushButton* BtnUnpair;
  QPushButton* BtnRenew;

 public slots:
  void ShowState();
  void BtnAllowClick();
  void BtnRefuseClick();
  void BtnUnpairClick();
  void BtnRenewClick();

 private:
  TCheckinService& m_service;
  QTimer* m_timer;
  QString m_shownUrl;
};
