// 每批揭晓后自动写接力包到: the folder (a USB stick, a shared folder) the task's draw writes its
// relay package to after each reveal; stored on this machine by spare::SaveAutoRelayFolder.
#pragma once

#include <QDialog>
#include <cstdint>

class QCheckBox;
class QLineEdit;
class QPushButton;

class TAutoRelayDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TAutoRelayDlg(int32_t taskId, QWidget* parent = nullptr);
  // Reads the stored folder; false after telling the operator it could not be read.
  bool Load();

  QCheckBox* CKAutoRelay;
  QLineEdit* EdtRelayFolder;
  QPushButton* BtnChooseFolder;
  QPushButton* BtnOk;
  QPushButton* BtnCancel;

 private:
  void ChooseFolder();
  void Save();
  void Refresh();
  int32_t m_taskId;
};
