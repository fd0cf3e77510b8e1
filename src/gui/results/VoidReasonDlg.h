// The reason of a void (作废) from the results: one of the reasons offered (误抽, 不符合资格,
// 本人放弃) or a text typed; 作废 takes it, 取消 drops the void.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class TVoidReasonDlg : public QDialog {
  Q_OBJECT
 public:
  // `what` names the winner (GBK): "[一等奖] 13800000002 李四".
  TVoidReasonDlg(const std::string& what, QWidget* parent = nullptr);

  // The reason chosen or typed (GBK, trimmed); empty while none is.
  std::string Reason() const;

  QLabel* LbWho;
  std::vector<QRadioButton*> RbReasons;  // the reasons offered, then 其他原因
  QLineEdit* EdtReason;
  QPushButton* BtnOk;
  QPushButton* BtnCancel;

 private:
  // 作废 only with a reason; typing chooses 其他原因.
  void Follow();

  QButtonGroup* m_group;
};
