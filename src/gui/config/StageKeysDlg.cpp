#include "gui/config/StageKeysDlg.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "core/config/TaskStageKeys.h"
#include "gui/ui/DesignLayout.h"
#include "gui/ui/Dialogs.h"

namespace {

QDoubleSpinBox* Seconds(QWidget* parent, const char* name) {
  auto* s = new QDoubleSpinBox(parent);
  s->setObjectName(QString::fromLatin1(name));
  s->setDecimals(1);
  s->setSingleStep(0.1);
  s->setRange(0, TStageKeys::kMaxMs / 1000.0);
  s->setSuffix(QStringLiteral(" 秒"));
  s->setMinimumWidth(90);
  return s;
}

QLabel* Note(QWidget* parent, const QString& text) {
  auto* l = new QLabel(text, parent);
  l->setWordWrap(true);
  MakeBlue(l);
  return l;
}

int32_t Ms(const QDoubleSpinBox* s) { return static_cast<int32_t>(std::lround(s->value() * 1000)); }

}  // namespace

TStageKeysDlg::TStageKeysDlg(int32_t taskId, QWidget* parent) : QDialog(parent), m_taskId(taskId) {
  setObjectName(QStringLiteral("StageKeysDlg"));
  setWindowTitle(QStringLiteral("大屏按键"));
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout();
  SERest = Seconds(this, "SERest");
  SEMinRoll = Seconds(this, "SEMinRoll");
  grid->addWidget(new QLabel(QStringLiteral("揭晓后忽略开始键："), this), 0, 0);
  grid->addWidget(SERest, 0, 1);
  grid->addWidget(
      Note(this, QStringLiteral("中奖者揭晓（或抽奖界面刚打开）后这段时间内，回车、开始、继续"
                                "和遥控的开始键都不算数：翻页笔一下连发两次，也不会马上开始"
                                "下一批，全场先看清这一批。")),
      1, 0, 1, 3);
  grid->addWidget(new QLabel(QStringLiteral("号码至少滚动："), this), 2, 0);
  grid->addWidget(SEMinRoll, 2, 1);
  grid->addWidget(Note(this, QStringLiteral("开始滚动后这段时间内的停止键不算数，滚动照常进行；"
                                            "之后再按一下即停。")),
                  3, 0, 1, 3);
  grid->setColumnStretch(2, 1);
  layout->addLayout(grid);
  layout->addStretch(1);
  auto* buttons = new QHBoxLayout();
  BtnDefaults = new QPushButton(QStringLiteral("恢复默认(&D)"), this);
  BtnDefaults->setObjectName(QStringLiteral("BtnDefaults"));
  buttons->addWidget(BtnDefaults);
  buttons->addStretch(1);
  BtnOk = new QPushButton(QStringLiteral("确定(&O)"), this);
  BtnOk->setObjectName(QStringLiteral("BtnOk"));
  BtnCancel = new QPushButton(QStringLiteral("取消(&C)"), this);
  BtnCancel->setObjectName(QStringLiteral("BtnCancel"));
  buttons->addWidget(BtnOk);
  buttons->addWidget(BtnCancel);
  layout->addLayout(buttons);
  resize(460, 260);
  connect(BtnDefaults, &QPushButton::clicked, this, [this] { Show(TStageKeys{}); });
  connect(BtnOk, &QPushButton::clicked, this, &TStageKeysDlg::BtnOkClick);
  connect(BtnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TStageKeysDlg::Show(const TStageKeys& keys) {
  SERest->setValue(keys.restMs / 1000.0);
  SEMinRoll->setValue(keys.minRollMs / 1000.0);
}

bool TStageKeysDlg::Load() {
  TStageKeys keys;
  std::string error;
  if (!config::LoadStageKeyTimes(m_taskId, keys, error)) {
    ShowMessageBox(MessageKind::Error, error);
    return false;
  }
  Show(keys);
  return true;
}

void TStageKeysDlg::BtnOkClick() {
  std::string error;
  if (!config::SaveStageKeyTimes(m_taskId, {Ms(SERest), Ms(SEMinRoll)}, error)) {
    ShowMessageBox(MessageKind::Error, error);
    return;
  }
  accept();
}
