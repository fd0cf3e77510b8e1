#include "gui/presets/LuckCheatAddFrm.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <algorithm>

#include "core/presets/PresetList.h"
#include "core/records/DrawDataFile.h"
#include "core/text/Text.h"
#include "gui/ui/Dialogs.h"
#include "gui/ui/Fonts.h"
#include "gui/ui/Qt.h"

TLuckCheatAddForm::TLuckCheatAddForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("LuckCheatAddForm"));
  setWindowTitle(QStringLiteral("新增指定中奖"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::WindowMinimizeButtonHint);
  setFont(UiFont(QStringLiteral("宋体"), 12));
  // 381 × 180 outside, less the frame and the title bar.
  setFixedSize(373, 146);
  move(304, 285);

  LInputName = new QLabel(this);
  LInputName->setObjectName(QStringLiteral("LInputName"));
  LInputName->setGeometry(24, 16, 220, 18);

  EdtInPut = new QLineEdit(this);
  EdtInPut->setObjectName(QStringLiteral("EdtInPut"));
  EdtInPut->setGeometry(24, 40, 322, 20);
  EdtInPut->setMaxLength(50);

  auto button = [this](const char* name, const QString& caption, int x) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(x, 91, 75, 25);
    b->setFont(UiFont(QStringLiteral("宋体"), 14));
    QPalette p = b->palette();
    p.setColor(QPalette::ButtonText, QColor(0, 128, 0));
    b->setPalette(p);
    b->setAutoDefault(false);
    return b;
  };
  BOK = button("BOK", QStringLiteral("确定"), 24);
  BCancel = button("BCancel", QStringLiteral("放弃"), 136);
  // Enter in the edit confirms.
  BOK->setDefault(true);

  connect(BOK, &QPushButton::clicked, this, &TLuckCheatAddForm::BOKClick);
  connect(BCancel, &QPushButton::clicked, this, &TLuckCheatAddForm::BCancelClick);
}

void TLuckCheatAddForm::SetInputs(const std::string& idHead, const std::string& dataFilePath,
                                  const TPresetList* list) {
  m_idHead = idHead;
  m_dataFilePath = dataFilePath;
  m_list = list;
}

void TLuckCheatAddForm::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (!e->spontaneous()) FormShow();
}

void TLuckCheatAddForm::FormShow() {
  LInputName->setText(QStringLiteral("请输入指定中奖的") + Q(m_idHead) + QStringLiteral(":"));
  // 220 wide, wider when a long column head would be cut off.
  LInputName->resize(std::clamp(LInputName->sizeHint().width(), 220, width() - 2 * 24), 18);
  m_output.clear();
  EdtInPut->setFocus();
}

void TLuckCheatAddForm::BOKClick() {
  const std::string id = text::Trim(FromQ(EdtInPut->text()));
  m_output.clear();
  if (id.empty()) {
    ShowMessageBox(MessageKind::Attention, QStringLiteral("请输入指定的") + Q(m_idHead));
    EdtInPut->setFocus();
    return;
  }
  // The same candidate twice would take two of the item's places.
  if (m_list && m_list->ContainsId(id)) {
    ShowMessageBox(MessageKind::Attention, PresetDuplicateText(m_idHead, id));
    EdtInPut->setFocus();
    return;
  }
  std::string line;
  std::string error;
  if (!FindDataLine(m_dataFilePath, id, line, error)) {
    ShowMessageBox(MessageKind::Error, error);
    return;
  }
  if (line.empty()) {
    ShowMessageBox(MessageKind::Information, QStringLiteral("抽奖数据未找到指定的") + Q(m_idHead) +
                                                 QStringLiteral(", 请重新输入"));
    return;
  }
  std::string refusal;
  if (m_check && !m_check(line, refusal)) {
    ShowMessageBox(MessageKind::Attention, refusal);
    EdtInPut->setFocus();
    return;
  }
  m_output = line;
  accept();
}

void TLuckCheatAddForm::BCancelClick() {
  m_output.clear();
  reject();
}
