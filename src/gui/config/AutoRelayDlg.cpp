#include "gui/config/AutoRelayDlg.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/spare/AutoRelay.h"
#include "gui/ui/Dialogs.h"
#include "gui/ui/Qt.h"

TAutoRelayDlg::TAutoRelayDlg(int32_t taskId, QWidget* parent) : QDialog(parent), m_taskId(taskId) {
  setObjectName(QStringLiteral("TAutoRelayDlg"));
  setWindowTitle(QStringLiteral("接力包"));
  auto* layout = new QVBoxLayout(this);
  CKAutoRelay = new QCheckBox(QStringLiteral("每批揭晓后自动写接力包到"), this);
  CKAutoRelay->setObjectName(QStringLiteral("CKAutoRelay"));
  layout->addWidget(CKAutoRelay);
  auto* row = new QHBoxLayout;
  EdtRelayFolder = new QLineEdit(this);
  EdtRelayFolder->setObjectName(QStringLiteral("EdtRelayFolder"));
  EdtRelayFolder->setMinimumWidth(320);
  BtnChooseFolder = new QPushButton(QStringLiteral("选择..."), this);
  BtnChooseFolder->setObjectName(QStringLiteral("BtnChooseFolder"));
  row->addWidget(EdtRelayFolder, 1);
  row->addWidget(BtnChooseFolder);
  layout->addLayout(row);
  auto* note =
      new QLabel(QStringLiteral("写在揭晓之后,不耽误按键;失败时在主窗口状态栏提示一次。\n"
                                "接力包含抽奖密钥,请像保管这台电脑一样保管存放它的U盘或文件夹。"),
                 this);
  note->setWordWrap(true);
  layout->addWidget(note);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  BtnOk = new QPushButton(QStringLiteral("确定"), this);
  BtnOk->setObjectName(QStringLiteral("BtnOk"));
  BtnOk->setDefault(true);
  BtnCancel = new QPushButton(QStringLiteral("取消"), this);
  BtnCancel->setObjectName(QStringLiteral("BtnCancel"));
  buttons->addWidget(BtnOk);
  buttons->addWidget(BtnCancel);
  layout->addLayout(buttons);
  connect(CKAutoRelay, &QCheckBox::toggled, this, &TAutoRelayDlg::Refresh);
  connect(BtnChooseFolder, &QPushButton::clicked, this, &TAutoRelayDlg::ChooseFolder);
  connect(BtnOk, &QPushButton::clicked, this, &TAutoRelayDlg::Save);
  connect(BtnCancel, &QPushButton::clicked, this, &QDialog::reject);
  Refresh();
}

bool TAutoRelayDlg::Load() {
  std::string folder, error;
  if (!spare::LoadAutoRelayFolder(m_taskId, folder, error)) {
    ShowMessageBox(MessageKind::Error, error);
    return false;
  }
  EdtRelayFolder->setText(Q(folder));
  CKAutoRelay->setChecked(!folder.empty());
  Refresh();
  return true;
}

void TAutoRelayDlg::Refresh() {
  EdtRelayFolder->setEnabled(CKAutoRelay->isChecked());
  BtnChooseFolder->setEnabled(CKAutoRelay->isChecked());
}

void TAutoRelayDlg::ChooseFolder() {
  QString chosen;
  if (Dialogs().getExistingDirectory(this, QStringLiteral("接力包写到哪个文件夹"), chosen))
    EdtRelayFolder->setText(chosen);
}

void TAutoRelayDlg::Save() {
  const QString folder = CKAutoRelay->isChecked() ? EdtRelayFolder->text().trimmed() : QString();
  if (CKAutoRelay->isChecked() && folder.isEmpty()) {
    ShowMessageBox(MessageKind::Attention, "请选择写接力包的文件夹");
    return;
  }
  std::string error;
  if (!spare::SaveAutoRelayFolder(m_taskId, FromQ(folder), error)) {
    ShowMessageBox(MessageKind::Error, error);
    return;
  }
  accept();
}
