// 接管抽奖: what a relay package offers, and the operator's answer to which batch the hall
// last saw. When the hall saw more than the package holds, the window names what is missing
// and takes the draw over only once the operator confirms those batches are drawn again.
#pragma once

#include <QDialog>

#include "core/spare/TakeOver.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;

class TTakeOverForm : public QDialog {
  Q_OBJECT
 public:
  explicit TTakeOverForm(const spare::TTakeOverOffer& offer, QWidget* parent = nullptr);
  // The operator's answer as the takeover takes it.
  spare::TTakeOverChoice Choice() const;

  QLabel* LbOffer;
  QSpinBox* SeShown;
  QLabel* LbMissing;
  QCheckBox* CbRedraw;
  QPushButton* BtnTakeOver;
  QPushButton* BtnCancel;

 private:
  void Refresh();
  spare::TTakeOverOffer m_offer;
};
