#include "gui/results/VoidReasonDlg.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/draw/PlanRecords.h"
#include "gui/ui/Fonts.h"
#include "gui/ui/Qt.h"

TVoidReasonDlg::TVoidReasonDlg(const std::string& what, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("VoidReasonDlg"));
  setWindowTitle(QStringLiteral("作废中奖者"));
  setFont(UiFont(QStringLiteral("宋体"), 12));
  auto* box = new QVBoxLayout(this);
  LbWho = new QLabel(Q(what), this);
  LbWho->setObjectName(QStringLiteral("LbWho"));
  box->addWidget(LbWho);
  box->addWidget(new QLabel(QStringLiteral("作废原因："), this));
  m_group = new QButtonGroup(this);
  int n = 0;
  for (const std::string& reason : VoidReasons()) {
    auto* rb = new QRadioButton(Q(reason), this);
    rb->setObjectName(QStringLiteral("RbReason%1").arg(n));
    m_group->addButton(rb, n++);
    RbReasons.push_back(rb);
    box->addWidget(rb);
  }
  auto* other = new QHBoxLayout;
  auto* rbOther = new QRadioButton(QStringLiteral("其他原因："), this);
  rbOther->setObjectName(QStringLiteral("RbOther"));
  m_group->addButton(rbOther, n);
  RbReasons.push_back(rbOther);
  other->addWidget(rbOther);
  EdtReason = new QLineEdit(this);
  EdtReason->setObjectName(QStringLiteral("EdtReason"));
  // A reason is a line of the record, not an essay.
  EdtReason->setMaxLength(40);
  EdtReason->setMinimumWidth(220);
  other->addWidget(EdtReason, 1);
  box->addLayout(other);
  box->addWidget(new QLabel(QStringLiteral("名额将空缺；重抽请在抽奖窗口中作废。"), this));

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  BtnOk = new QPushButton(QStringLiteral("作废"), this);
  BtnOk->setObjectName(QStringLiteral("BtnOk"));
  BtnCancel = new QPushButton(QStringLiteral("取消"), this);
  BtnCancel->setObjectName(QStringLiteral("BtnCancel"));
  // Enter must not void by habit.
  BtnOk->setAutoDefault(false);
  BtnCancel->setDefault(true);
  buttons->addWidget(BtnOk);
  buttons->addWidget(BtnCancel);
  box->addLayout(buttons);

  // Whatever sets the choice or the text, 作废 follows it.
  connect(m_group, &QButtonGroup::idToggled, this, &TVoidReasonDlg::Follow);
  connect(EdtReason, &QLineEdit::textChanged, this, &TVoidReasonDlg::Follow);
  connect(EdtReason, &QLineEdit::textEdited, rbOther, [rbOther] { rbOther->setChecked(true); });
  connect(BtnOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(BtnCancel, &QPushButton::clicked, this, &QDialog::reject);
  Follow();
}

std::string TVoidReasonDlg::Reason() const {
  const int chosen = m_group->checkedId();
  if (chosen < 0) return {};
  if (chosen < static_cast<int>(VoidReasons().size()))
    return VoidReasons()[static_cast<size_t>(chosen)];
  return PlanText(FromQ(EdtReason->text()));
}

void TVoidReasonDlg::Follow() { BtnOk->setEnabled(!Reason().empty()); }
