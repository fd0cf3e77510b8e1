// 大屏按键: how the draw screen takes the operator's keys in time, for the task: how long a
// start key is ignored after a reveal (a clicker that fires twice), and how long a roll runs
// before a stop key lands it. The rules and the store are config/TaskStageKeys and
// core/draw/StageKeys; the window shows them in seconds and saves on 确定.
#pragma once

#include <QDialog>

#include "core/draw/StageKeys.h"

class QDoubleSpinBox;
class QPushButton;

class TStageKeysDlg : public QDialog {
  Q_OBJECT
 public:
  TStageKeysDlg(int32_t taskId, QWidget* parent = nullptr);
  // Reads the task's times; false after telling why.
  bool Load();

  QDoubleSpinBox* SERest;     // seconds a start key is ignored after a reveal
  QDoubleSpinBox* SEMinRoll;  // seconds a roll runs before a stop key counts
  QPushButton* BtnDefaults;
  QPushButton* BtnOk;
  QPushButton* BtnCancel;

 public slots:
  void BtnOkClick();

 private:
  void Show(const TStageKeys& keys);
  int32_t m_taskId;
};
