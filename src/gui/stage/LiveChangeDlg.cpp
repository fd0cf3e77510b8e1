#include "gui/stage/LiveChangeDlg.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/draw/PlanRecords.h"
#include "core/records/Records.h"
#include "gui/ui/Qt.h"

namespace {

QSpinBox* Count(QWidget* parent, int value) {
  auto* s = new QSpinBox(parent);
  s->setRange(1, 9999);
  s->setValue(value);
  return s;
}

// OK and Cancel under `body`: Enter accepts, Esc cancels.
void Finish(QDialog* d, QWidget* body) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, d);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
  QObject::connect(buttons, &QDialogButtonBox::accepted, d, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, d, &QDialog::reject);
  auto* layout = new QVBoxLayout(d);
  layout->addWidget(body);
  layout->addWidget(buttons);
}

}  // namespace

TPlanChangeDialog::TPlanChangeDialog(const TArrLuckItem& items, int from,
                                     const std::vector<std::string>& fields, QWidget* parent)
    : QDialog(parent) {
  setObjectName("PlanChangeDialog");
  setWindowTitle(QStringLiteral("修改奖项"));
  setModal(true);
  Tabs = new QTabWidget(this);
  Tabs->setUsesScrollButtons(false);  // every tab's name whole

  auto* add = new QWidget(Tabs);
  auto* addForm = new QFormLayout(add);
  EdName = new QLineEdit(add);
  EdName->setObjectName("EdName");
  EdName->setMaxLength(40);
  SpCount = Count(add, 1);
  SpCount->setObjectName("SpCount");
  SpPerPress = Count(add, 1);
  SpPerPress->setObjectName("SpPerPress");
  EdGift = new QLineEdit(add);
  EdGift->setObjectName("EdGift");
  EdGift->setMaxLength(60);
  // Who may win it, as any item's rules: one field's values, and ids left out.
  CbRuleField = new QComboBox(add);
  CbRuleField->setObjectName("CbRuleField");
  CbRuleField->addItem(QStringLiteral("(不限)"));
  for (const std::string& f : fields) CbRuleField->addItem(Q(f));
  EdRuleValues = new QLineEdit(add);
  EdRuleValues->setObjectName("EdRuleValues");
  EdRuleValues->setPlaceholderText(QStringLiteral("多个值用空格或逗号分隔"));
  EdRuleValues->setEnabled(false);
  connect(CbRuleField, &QComboBox::currentIndexChanged, EdRuleValues,
          [this](int k) { EdRuleValues->setEnabled(k > 0); });
  auto* only = new QWidget(add);
  auto* onlyRow = new QHBoxLayout(only);
  onlyRow->setContentsMargins(0, 0, 0, 0);
  onlyRow->addWidget(CbRuleField);
  onlyRow->addWidget(new QLabel(QStringLiteral("为"), only));
  onlyRow->addWidget(EdRuleValues, 1);
  EdExcludeIds = new QLineEdit(add);
  EdExcludeIds->setObjectName("EdExcludeIds");
  EdExcludeIds->setPlaceholderText(QStringLiteral("不能中此奖的号码，用空格或逗号分隔"));
  CbDrawNext = new QCheckBox(QStringLiteral("下一个抽取"), add);
  CbDrawNext->setChecked(true);
  addForm->addRow(QStringLiteral("奖项名称"), EdName);
  addForm->addRow(QStringLiteral("中奖个数"), SpCount);
  addForm->addRow(QStringLiteral("每次抽取个数"), SpPerPress);
  addForm->addRow(QStringLiteral("奖品"), EdGift);
  addForm->addRow(QStringLiteral("仅限"), only);
  addForm->addRow(QStringLiteral("排除号码"), EdExcludeIds);
  addForm->addRow(QString(), CbDrawNext);
  Tabs->addTab(add, QStringLiteral("临时加奖"));

  auto* count = new QWidget(Tabs);
  auto* countForm = new QFormLayout(count);
  CbCountItem = new QComboBox(count);
  SpNewCount = Count(count, 1);
  countForm->addRow(QStringLiteral("奖项"), CbCountItem);
  countForm->addRow(QStringLiteral("新的名额"), SpNewCount);
  Tabs->addTab(count, QStringLiteral("改名额"));

  auto* next = new QWidget(Tabs);
  auto* nextForm = new QFormLayout(next);
  CbNextItem = new QComboBox(next);
  nextForm->addRow(QStringLiteral("奖项"), CbNextItem);
  Tabs->addTab(next, QStringLiteral("选择下一个奖项"));

  // Only the items not yet finished may change.
  for (size_t i = static_cast<size_t>(std::max(from, 0)); i < items.size(); ++i) {
    const TLuckItem& it = items[i];
    const QString label =
        Q(it.ItemName) + QStringLiteral("（已抽%1/%2名）").arg(it.DrawnCount).arg(it.LuckCount);
    CbCountItem->addItem(label);
    CbNextItem->addItem(label);
    m_ids.push_back(it.ItemId);
  }
  const auto showCount = [this, items, from](int k) {
    if (k >= 0) SpNewCount->setValue(items[static_cast<size_t>(std::max(from, 0) + k)].LuckCount);
  };
  connect(CbCountItem, &QComboBox::currentIndexChanged, this, showCount);
  showCount(CbCountItem->currentIndex());

  auto* body = new QWidget(this);
  auto* bodyLayout = new QVBoxLayout(body);
  bodyLayout->setContentsMargins(0, 0, 0, 0);
  bodyLayout->addWidget(Tabs);
  auto* audienceForm = new QFormLayout();
  EdAudience = new QLineEdit(body);
  EdAudience->setObjectName("EdAudience");
  EdAudience->setPlaceholderText(QStringLiteral("可选，1到18位数字"));
  EdAudience->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,18}")), body));
  audienceForm->addRow(QStringLiteral("现场号码"), EdAudience);
  bodyLayout->addLayout(audienceForm);
  Finish(this, body);
  EdName->setFocus();
}

TPlanChange TPlanChangeDialog::Change() const {
  TPlanChange c;
  c.audience = EdAudience->text().toStdString();
  switch (Tabs->currentIndex()) {
    case 0:
      c.kind = TPlanChangeKind::AddItem;
      c.item = {FromQ(EdName->text()), SpCount->value(), SpPerPress->value(),
                FromQ(EdGift->text())};
      c.item.Rules = AddedRulesOf(
          CbRuleField->currentIndex() > 0 ? FromQ(CbRuleField->currentText()) : std::string(),
          FromQ(EdRuleValues->text()), FromQ(EdExcludeIds->text()));
      c.drawNext = CbDrawNext->isChecked();
      break;
    case 1:
      c.kind = TPlanChangeKind::ChangeCount;
      if (CbCountItem->currentIndex() >= 0)
        c.itemId = m_ids[static_cast<size_t>(CbCountItem->currentIndex())];
      c.count = SpNewCount->value();
      break;
    default:
      c.kind = TPlanChangeKind::ChooseNext;
      if (CbNextItem->currentIndex() >= 0)
        c.itemId = m_ids[static_cast<size_t>(CbNextItem->currentIndex())];
      break;
  }
  return c;
}

TVoidDialog::TVoidDialog(const std::vector<std::string>& people, std::vector<size_t> places,
                         QWidget* parent)
    : QDialog(parent), m_places(std::move(places)) {
  setObjectName("VoidDialog");
  setWindowTitle(QStringLiteral("作废"));
  setModal(true);
  auto* body = new QWidget(this);
  auto* form = new QFormLayout(body);
  form->setContentsMargins(0, 0, 0, 0);
  CbWho = new QComboBox(body);
  for (const std::string& p : people) CbWho->addItem(Q(p));
  CbWho->addItem(QStringLiteral("本批全部"));
  CbReason = new QComboBox(body);
  CbReason->setEditable(true);  // a reason of the operator's own words
  for (const std::string& r : VoidReasons()) CbReason->addItem(Q(r));
  CbRedraw = new QCheckBox(QStringLiteral("重新抽取该名额"), body);
  CbRedraw->setChecked(true);
  form->addRow(QStringLiteral("中奖者"), CbWho);
  form->addRow(QStringLiteral("原因"), CbReason);
  form->addRow(QString(), CbRedraw);
  Finish(this, body);
}

TVoidRequest TVoidDialog::Request(const std::string& time) const {
  TVoidRequest r;
  const int k = CbWho->currentIndex();
  if (k >= 0 && static_cast<size_t>(k) < m_places.size()) {
    r.scope = TVoidScope::Winner;
    r.place = m_places[static_cast<size_t>(k)];
  } else {
    r.scope = TVoidScope::LastBatch;
  }
  r.reason = FromQ(CbReason->currentText());
  r.time = time;
  r.redraw = CbRedraw->isChecked();
  return r;
}
