#include "gui/config/ImportTab.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include "gui/config/ConfigWidgets.h"
#include "gui/ui/DesignLayout.h"
#include "gui/ui/Dialogs.h"
#include "gui/ui/FileDialogs.h"
#include "gui/ui/Fonts.h"
#include "gui/ui/Qt.h"

TImportTab::TImportTab(TImportTabHost& host, QWidget* parent) : QWidget(parent), m_host(&host) {
  setObjectName(QStringLiteral("TsData"));
  QWidget* d = this;
  LBData = new QLabel(d);
  LBData->setObjectName(QStringLiteral("LBData"));
  LBData->setGeometry(12, 12, 490, 22);
  QFont dataFont = UiFont(QStringLiteral("宋体"), 14);
  dataFont.setUnderline(true);
  LBData->setFont(dataFont);
  DesignLabel(d, QStringLiteral("导入文件格式："), 8, 48, 100);
  CBFileType = DesignCombo(d, "CBFileType",
                           {QStringLiteral("文本文件"), QStringLiteral("Excel文件")}, 112, 48, 130);
  DesignLabel(d, QStringLiteral("选择文件："), 8, 78, 100);
  EdtFileName = DesignEdit(d, "EdtFileName", 112, 78, 314);
  SpFileData = DesignButton(d, "SpFileData", QStringLiteral("选择..."), 430, 76, 68);
  SpFileData->setToolTip(QStringLiteral("选择数据文件"));
  DesignLabel(d, QStringLiteral("照片文件夹："), 8, 108, 100);
  EdtPhotoDir = DesignEdit(d, "EdtPhotoDir", 112, 108, 314);
  EdtPhotoDir->setPlaceholderText(QStringLiteral("可选：以号码命名的照片（jpg、png）"));
  SpPhotoDir = DesignButton(d, "SpPhotoDir", QStringLiteral("选择..."), 430, 106, 68);
  SpPhotoDir->setToolTip(QStringLiteral("选择照片文件夹"));
  MLog = new QPlainTextEdit(d);
  MLog->setObjectName(QStringLiteral("MLog"));
  MLog->setGeometry(12, 140, 486, 240 + config::kRulesRoom);
  MLog->setReadOnly(true);
  MLog->setLineWrapMode(QPlainTextEdit::NoWrap);
  MLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  MLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  PrgBar = new QProgressBar(d);
  PrgBar->setObjectName(QStringLiteral("PrgBar"));
  PrgBar->setGeometry(12, 388 + config::kRulesRoom, 486, 18);
  PrgBar->setRange(0, 26);
  PrgBar->setValue(0);
  PrgBar->setTextVisible(false);
  BtnSaveData =
      DesignButton(d, "BtnSaveData", QStringLiteral("导入(&I)"), 258, 420 + config::kRulesRoom, 75);
  BtnSaveData->setToolTip(QStringLiteral("点击开始导入数据"));
  BtnCancelData = DesignButton(d, "BtnCancelData", QStringLiteral("取消(&C)"), 341,
                               420 + config::kRulesRoom, 75);
  BtnCloseData = DesignButton(d, "BtnCloseData", QStringLiteral("返回(&R)"), 424,
                              420 + config::kRulesRoom, 75);

  connect(SpFileData, &QPushButton::clicked, this, &TImportTab::SpFileDataClick);
  connect(SpPhotoDir, &QPushButton::clicked, this, &TImportTab::SpPhotoDirClick);
  connect(BtnCancelData, &QPushButton::clicked, this, &TImportTab::BtnCancelDataClick);
  connect(BtnSaveData, &QPushButton::clicked, this, &TImportTab::BtnSaveDataClick);
}

void TImportTab::ShowDataLabel(config::DataState state) {
  LBData->setText(Q(config::DataLabelText(state)));
  QPalette p = LBData->palette();
  p.setColor(QPalette::WindowText,
             state == config::DataState::NotImported ? QColor(255, 0, 0) : QColor(0, 0, 255));
  LBData->setPalette(p);
}

void TImportTab::EnableImport(bool on) {
  BtnSaveData->setEnabled(on);
  SpFileData->setEnabled(on);
  SpPhotoDir->setEnabled(on);
}

void TImportTab::Reset() {
  CBFileType->setCurrentIndex(0);
  EdtFileName->clear();
  EdtPhotoDir->clear();
  MLog->clear();
  ShowDataLabel(config::DataState::NotImported);
  EnableImport(false);
}

void TImportTab::SpFileDataClick() {
  QString chosen;
  // Every spreadsheet the import reads, offered together.
  ChooseOpenFile(CBFileType->currentIndex() == 0
                     ? QStringLiteral("txt")
                     : QStringLiteral("Excel文件|*.xls;*.xlsx;*.xlsm;*.ods;*.csv"),
                 QStringLiteral("请选择文件"), chosen);
  EdtFileName->setText(chosen);
}

void TImportTab::SpPhotoDirClick() {
  QString chosen;
  if (Dialogs().getExistingDirectory(this, QStringLiteral("请选择照片文件夹"), chosen))
    EdtPhotoDir->setText(chosen);
}

void TImportTab::BtnCancelDataClick() {
  EdtFileName->clear();
  EdtPhotoDir->clear();
}
