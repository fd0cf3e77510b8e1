// 接管抽奖: what a relay package offers, and the operator's answer to which batch the hall
// last saw. When the hall saw more than the package holds, the window names what is missing
// and takes the draw over only once the operator confirms those batches are drawn again.
#pragma once

#include <QDialog>
#include <cstdint>
#include <string>

#include "core/spare/TakeOver.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;

class TTakeOverForm : public QDialog {
  Q_OBJECT
 public:
  // `source`: how the relay came (a package by hand, or the spare folder 热备 kept).
  explicit TTakeOverForm(const spare::TTakeOverOffer& offer, QWidget* parent = nullptr,
                         TMoveSource source = TMoveSource::Relay);
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
  TMoveSource m_source;
};

// The takeover as the operator goes through it, from 接管抽奖… and from 热备跟随 alike: the
// relay's offer and the batch the hall last saw (the form), the question, the takeover, and
// its message or refusal shown. `time`: the moment recorded (empty: now). True with the task
// here once taken over; false when declined or refused (the refusal was shown).
bool RunTakeOver(QWidget* parent, const spare::TRelay& relay, TMoveSource source,
                 const std::string& time, int32_t& taskId);
