// 大屏显示列: per column of the task's list, whether the stage shows it (在大屏显示) and whether
// the task's mask (抽奖序号隐藏起始/截至位置) covers it. The rules and the store are
// config/StageColumnChoice; the window shows them and saves on 确定.
#pragma once

#include <QDialog>
#include <vector>

#include "core/config/StageColumnChoice.h"

class QTableWidget;
class QPushButton;

class TStageColumnsDlg : public QDialog {
  Q_OBJECT
 public:
  TStageColumnsDlg(int32_t taskId, QWidget* parent = nullptr);
  // Reads the task's columns; false after telling why (no list yet, an unreadable file).
  bool Load();

  QTableWidget* SGColumns;
  QPushButton* BtnOk;
  QPushButton* BtnCancel;

 public slots:
  void BtnOkClick();

 private:
  int32_t m_taskId;
  std::vector<config::TColumnChoice> m_columns;
};
