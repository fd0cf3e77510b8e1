// The operator's window for the prize desks (never on the projector): the desk pairing code
// and its QR (the desk phone's camera opens the desk page with the code in it), how many
// desks are paired and prizes claimed, a fresh code, and unpairing every desk.
#pragma once

#include <QDialog>
#include <cstdint>

class QLabel;
class QPushButton;
class QTimer;
class TCheckinService;

class TDeskPairFrm : public QDialog {
  Q_OBJECT
 public:
  explicit TDeskPairFrm(TCheckinService& service, QWidget* parent = nullptr);

  QLabel* LbCode;
  QLabel* LbQr;
  QLabel* LbUrl;
  QLabel* LbDesks;
  QPushButton* BtnRenew;
  QPushButton* BtnUnpair;
  QLabel* LbSpareCode;  // 热备跟随: the code the spare laptop types
  QLabel* LbSpare;

 public slots:
  void ShowState();
  void BtnRenewClick();
  void BtnUnpairClick();
  void ShowSpare();

 private:
  TCheckinService& m_service;
  QTimer* m_timer;
  QString m_shownUrl;
  const void* m_published = nullptr;  // the spare stream the set-up was handed to
};
