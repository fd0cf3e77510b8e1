#include "gui/config/RulesBoxes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <algorithm>

#include "core/import/ExcludeList.h"
#include "core/text/Text.h"
#include "gui/config/ConfigWidgets.h"
#include "gui/ui/DesignLayout.h"
#include "gui/ui/Dialogs.h"
#include "gui/ui/FileDialogs.h"
#include "gui/ui/Qt.h"

namespace {

// Fills a field list with `first` (no field, when not empty), the heads, and `stored` when the
// heads lack it, so that a rule on a column gone from a newer import is still shown.
void FillFields(QComboBox* c, const QString& first, const config::TRuleList* list,
                const std::vector<std::string>& stored) {
  const QSignalBlocker quiet(c);
  c->clear();
  if (!first.isEmpty()) c->addItem(first, QString());
  if (list)
    for (const std::string& h : list->Heads) c->addItem(Q(h), Q(h));
  for (const std::string& s : stored)
    if (!s.empty() && c->findData(Q(s)) < 0) c->addItem(Q(s), Q(s));
}

void SelectField(QComboBox* c, const std::string& field) {
  const QSignalBlocker quiet(c);
  const int at = c->findData(Q(field));
  c->setCurrentIndex(at >= 0 ? at : (c->count() > 0 ? 0 : -1));
}

std::string FieldChosen(const QComboBox* c) { return FromQ(c->currentData().toString()); }

// A max as typed; anything but a whole number counts as 0, which the check refuses.
int32_t MaxTyped(const QLineEdit* e) {
  int32_t n = 0;
  const std::string t = text::Trim(FromQ(e->text()));
  return text::IsAllDigits(t) && text::ParseInt32(t, n) ? n : 0;
}

QLineEdit* MaxEdit(QWidget* parent, const char* name, int x, int y) {
  QLineEdit* e = DesignEdit(parent, name, x, y, 50);
  e->setMaxLength(7);
  e->installEventFilter(new config::DigitKeyFilter(e));
  return e;
}

QLabel* Plain(QWidget* parent, const QString& t, int x, int y, int w) {
  QLabel* l = DesignLabel(parent, t, x, y, w);
  l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  return l;
}

}  // namespace

// ---- exclusion list ----------------------------------------------------------------------

TExcludeListRow::TExcludeListRow(QWidget* parent, const char* prefix, int x, int y, int w)
    : QObject(parent) {
  const QString p = QString::fromLatin1(prefix);
  LCount = Plain(parent, QString(), x, y, w - 120);
  LCount->setObjectName(p + QStringLiteral("Count"));
  BtnRead = new QPushButton(QStringLiteral("读取文件…"), parent);
  BtnRead->setObjectName(p + QStringLiteral("Read"));
  BtnRead->setGeometry(x + w - 118, y - 2, 72, 24);
  BtnClear = new QPushButton(QStringLiteral("清除"), parent);
  BtnClear->setObjectName(p + QStringLiteral("Clear"));
  BtnClear->setGeometry(x + w - 44, y - 2, 44, 24);
  connect(BtnRead, &QPushButton::clicked, this, &TExcludeListRow::Read);
  connect(BtnClear, &QPushButton::clicked, this, [this] {
    SetIds({});
    emit Changed();
  });
  SetIds({});
}

void TExcludeListRow::SetIds(std::vector<std::string> ids) {
  m_ids = std::move(ids);
  LCount->setText(m_ids.empty() ? QStringLiteral("排除名单：无")
                                : QStringLiteral("排除名单：%1人").arg(m_ids.size()));
  BtnClear->setEnabled(!m_ids.empty());
}

void TExcludeListRow::Read() {
  QString chosen;
  ChooseOpenFile(QStringLiteral("名单文件|*.txt;*.csv;*.xlsx;*.xls;*.ods"),
                 QStringLiteral("请选择排除名单文件（每行一个号码）"), chosen);
  if (chosen.isEmpty()) return;
  config::TExcludeList read;
  std::string error;
  const std::vector<std::string> none;
  if (!config::ReadExcludeList(FromQ(chosen),
                               m_list && !m_list->Heads.empty() ? m_list->Heads.front() : "",
                               m_list ? m_list->Lines : none, read, error)) {
    ShowMessageBox(MessageKind::Error, error);
    return;
  }
  const std::string summary = config::ExcludeListSummary(read);
  SetIds(std::move(read.Ids));
  ShowMessageBox(MessageKind::Information, summary);
  emit Changed();
}

// ---- item ------------------------------------------------------------------------------

TItemRulesBox::TItemRulesBox(QWidget* parent)
    : QGroupBox(QStringLiteral("中奖条件（可选）"), parent) {
  setObjectName(QStringLiteral("GBItemRules"));
  DesignLabel(this, QStringLiteral("字段："), 4, 22, 46);
  CBRuleField = DesignCombo(this, "CBRuleField", {}, 52, 22, 104);
  QStringList kinds;
  for (TConditionKind k : config::kConditionKinds) kinds << Q(config::ConditionKindText(k));
  CBRuleKind = DesignCombo(this, "CBRuleKind", kinds, 160, 22, 128);
  LBRuleValues = new QListWidget(this);
  LBRuleValues->setObjectName(QStringLiteral("LBRuleValues"));
  LBRuleValues->setGeometry(8, 50, 280, 126);  // six values without scrolling
  // Room for three lines: every stored condition is listed here, also those the checklist
  // does not show.
  LRuleSummary = new QLabel(this);
  LRuleSummary->setObjectName(QStringLiteral("LRuleSummary"));
  LRuleSummary->setGeometry(8, 178, 280, 62);
  LRuleSummary->setWordWrap(true);
  LRuleSummary->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  MakeBlue(LRuleSummary);
  DesignLabel(this, QStringLiteral("名额：每个"), 4, 244, 70);
  CBQuotaField = DesignCombo(this, "CBQuotaField", {}, 76, 244, 112);
  Plain(this, QStringLiteral("最多"), 192, 244, 30);
  EdtQuotaMax = MaxEdit(this, "EdtQuotaMax", 222, 244);
  Plain(this, QStringLiteral("名"), 274, 244, 16);
  ExcludeList = new TExcludeListRow(this, "ItemExclude", 8, 272, 280);
  connect(ExcludeList, &TExcludeListRow::Changed, this, &TItemRulesBox::Changed);

  connect(CBRuleField, &QComboBox::currentIndexChanged, this, [this] { ShowField(); });
  connect(CBRuleKind, &QComboBox::currentIndexChanged, this, [this] {
    if (m_filling) return;
    KeepChecks();
    emit Changed();
  });
  connect(LBRuleValues, &QListWidget::itemChanged, this, [this] {
    if (m_filling) return;
    KeepChecks();
    emit Changed();
  });
  connect(CBQuotaField, &QComboBox::currentIndexChanged, this, &TItemRulesBox::Changed);
  connect(EdtQuotaMax, &QLineEdit::textChanged, this, &TItemRulesBox::Changed);
  ShowRules(TItemRules{});
}

void TItemRulesBox::SetList(const config::TRuleList* list) {
  m_list = list;
  ExcludeList->SetList(list);
}

void TItemRulesBox::ShowRules(const TItemRules& rules) {
  m_conditions = rules.Conditions;
  std::vector<std::string> fields;
  for (const TRuleCondition& c : m_conditions) fields.push_back(c.Field);
  FillFields(CBRuleField, QString(), m_list, fields);
  FillFields(CBQuotaField, Q(config::NoQuotaText()), m_list, {rules.Quota.Field});
  SelectField(CBRuleField, m_conditions.empty() ? std::string() : m_conditions.front().Field);
  SelectField(CBQuotaField, rules.Quota.Field);
  {
    const QSignalBlocker quiet(EdtQuotaMax);
    EdtQuotaMax->setText(rules.Quota.IsSet() ? QString::number(rules.Quota.Max) : QString());
  }
  ExcludeList->SetIds(rules.ExcludeIds);
  ShowField();
  setEnabled(CBRuleField->count() > 0);
}

void TItemRulesBox::ShowField() {
  m_filling = true;
  const std::string field = FieldChosen(CBRuleField);
  const auto own = std::find_if(m_conditions.begin(), m_conditions.end(),
                                [&](const TRuleCondition& c) { return c.Field == field; });
  const TRuleCondition* c = own == m_conditions.end() ? nullptr : &*own;
  CBRuleKind->setCurrentIndex(c && c->Kind == TConditionKind::NoneOf ? 1 : 0);
  LBRuleValues->clear();
  std::string note;
  const std::vector<config::TValueCount> values =
      m_list ? config::ChecklistValues(*m_list, field, c ? c->Values : std::vector<std::string>{},
                                       note)
             : std::vector<config::TValueCount>{};
  if (!note.empty()) {
    auto* line = new QListWidgetItem(Q(note), LBRuleValues);
    line->setFlags(Qt::NoItemFlags);
  }
  for (const config::TValueCount& v : values) {
    auto* line = new QListWidgetItem(Q(config::ValueCaption(v)), LBRuleValues);
    line->setData(Qt::UserRole, Q(v.Value));
    line->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
    const bool ticked = c && std::binary_search(c->Values.begin(), c->Values.end(), v.Value);
    line->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
  }
  m_filling = false;
  ShowSummary();
}

void TItemRulesBox::KeepChecks() {
  const std::string field = FieldChosen(CBRuleField);
  if (field.empty()) return;
  TRuleCondition now{field, config::kConditionKinds[std::max(0, CBRuleKind->currentIndex())], {}};
  for (int i = 0; i < LBRuleValues->count(); ++i) {
    const QListWidgetItem* line = LBRuleValues->item(i);
    if (line->checkState() == Qt::Checked)
      now.Values.push_back(FromQ(line->data(Qt::UserRole).toString()));
  }
  std::sort(now.Values.begin(), now.Values.end());
  const auto own = std::find_if(m_conditions.begin(), m_conditions.end(),
                                [&](const TRuleCondition& c) { return c.Field == field; });
  if (own == m_conditions.end())
    m_conditions.push_back(now);
  else
    *own = now;
  ShowSummary();
}

void TItemRulesBox::ShowSummary() {
  const QString summary = Q(config::ConditionsSummary(Rules(0), m_list && !m_list->Heads.empty()));
  LRuleSummary->setText(summary);
  LRuleSummary->setToolTip(summary);  // whole, should a long list still not fit
}

TItemRules TItemRulesBox::Rules(int32_t itemId) const {
  TItemRules r;
  r.ItemId = itemId;
  for (const TRuleCondition& c : m_conditions)
    if (!c.Values.empty()) r.Conditions.push_back(c);
  const std::string quota = FieldChosen(CBQuotaField);
  if (!quota.empty()) r.Quota = {quota, MaxTyped(EdtQuotaMax)};
  r.ExcludeIds = ExcludeList->Ids();
  return r;
}

QStringList TItemRulesBox::State() const {
  TTaskRules one;
  one.Items = {Rules(1)};
  return {Q(FormatRules(one)), EdtQuotaMax->text()};
}

// ---- task ------------------------------------------------------------------------------

TTaskRulesBox::TTaskRulesBox(QWidget* parent)
    : QGroupBox(QStringLiteral("抽奖规则（可选）"), parent) {
  setObjectName(QStringLiteral("GBTaskRules"));
  DesignLabel(this, QStringLiteral("票数字段："), 4, 20, 140);
  CBTickets = DesignCombo(this, "CBTickets", {}, 148, 20, 150);
  DesignLabel(this, QStringLiteral("全场名额：每个"), 4, 48, 140);
  CBTaskQuotaField = DesignCombo(this, "CBTaskQuotaField", {}, 148, 48, 150);
  Plain(this, QStringLiteral("最多"), 304, 48, 30);
  EdtTaskQuotaMax = MaxEdit(this, "EdtTaskQuotaMax", 336, 48);
  Plain(this, QStringLiteral("名"), 390, 48, 20);
  DesignLabel(this, QStringLiteral("排除其他任务中奖者："), 4, 76, 140);
  LBExclude = new QListWidget(this);
  LBExclude->setObjectName(QStringLiteral("LBExclude"));
  LBExclude->setGeometry(148, 76, 350, 40);
  ExcludeList = new TExcludeListRow(this, "TaskExclude", 4, 120, 300);
  CBHideExcludeCount = new QCheckBox(QStringLiteral("抽奖界面不显示排除人数"), this);
  CBHideExcludeCount->setObjectName(QStringLiteral("CBHideExcludeCount"));
  CBHideExcludeCount->setGeometry(312, 118, 190, 24);
  SetChoices(nullptr, {});
}

void TTaskRulesBox::SetChoices(const config::TRuleList* list,
                               const std::vector<config::TRuleTask>& others) {
  ExcludeList->SetList(list);
  FillFields(CBTickets, Q(config::NoTicketsText()), list, {});
  FillFields(CBTaskQuotaField, Q(config::NoQuotaText()), list, {});
  EdtTaskQuotaMax->clear();
  LBExclude->clear();
  for (const config::TRuleTask& t : others) {
    auto* line = new QListWidgetItem(Q(t.Name), LBExclude);
    line->setData(Qt::UserRole, t.TaskId);
    line->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
    line->setCheckState(Qt::Unchecked);
  }
}

void TTaskRulesBox::ShowRules(const TTaskRules& rules) {
  // Keep the heads offered, add a stored field they lack.
  for (auto [combo, field] : {std::pair{CBTickets, rules.TicketsField},
                              std::pair{CBTaskQuotaField, rules.TaskQuota.Field}}) {
    if (!field.empty() && combo->findData(Q(field)) < 0) {
      const QSignalBlocker quiet(combo);
      combo->addItem(Q(field), Q(field));
    }
    SelectField(combo, field);
  }
  EdtTaskQuotaMax->setText(rules.TaskQuota.IsSet() ? QString::number(rules.TaskQuota.Max)
                                                   : QString());
  for (int i = 0; i < LBExclude->count(); ++i) {
    QListWidgetItem* line = LBExclude->item(i);
    const int32_t id = line->data(Qt::UserRole).toInt();
    const bool ticked =
        std::binary_search(rules.ExcludeTasks.begin(), rules.ExcludeTasks.end(), id);
    line->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
  }
  ExcludeList->SetIds(rules.ExcludeIds);
  // An excluded task that is gone stays visible, ticked, until it is unticked.
  for (int32_t id : rules.ExcludeTasks) {
    bool listed = false;
    for (int i = 0; i < LBExclude->count(); ++i)
      listed = listed || LBExclude->item(i)->data(Qt::UserRole).toInt() == id;
    if (listed) continue;
    auto* line = new QListWidgetItem(QStringLiteral("[%1]").arg(id), LBExclude);
    line->setData(Qt::UserRole, id);
    line->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
    line->setCheckState(Qt::Checked);
  }
}

void TTaskRulesBox::TakeRules(TTaskRules& rules) const {
  rules.TicketsField = FieldChosen(CBTickets);
  const std::string quota = FieldChosen(CBTaskQuotaField);
  rules.TaskQuota = quota.empty() ? TRuleQuota{} : TRuleQuota{quota, MaxTyped(EdtTaskQuotaMax)};
  rules.ExcludeTasks.clear();
  for (int i = 0; i < LBExclude->count(); ++i)
    if (LBExclude->item(i)->checkState() == Qt::Checked)
      rules.ExcludeTasks.push_back(LBExclude->item(i)->data(Qt::UserRole).toInt());
  std::sort(rules.ExcludeTasks.begin(), rules.ExcludeTasks.end());
  rules.ExcludeIds = ExcludeList->Ids();
}

QStringList TTaskRulesBox::State() const {
  TTaskRules r;
  TakeRules(r);
  return {Q(FormatRules(r)), EdtTaskQuotaMax->text(),
          CBHideExcludeCount->isChecked() ? QStringLiteral("1") : QStringLiteral("0")};
}
