// The rules sections of the configuration window: an item's conditions and quota on the
// 奖项配置 tab, and the task-wide quota, the excluded tasks and the tickets field on the
// 基本配置 tab. They show the choices core offers for the imported list and hand back what
// was chosen; checking is core's (config/RuleCheck).
#pragma once

#include <QGroupBox>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "core/config/RuleCheck.h"
#include "core/draw/DrawRules.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;

class TItemRulesBox : public QGroupBox {
  Q_OBJECT
 public:
  explicit TItemRulesBox(QWidget* parent = nullptr);

  // The list whose heads and values are offered; it must outlive the box's use of it.
  void SetList(const config::TRuleList* list);
  // Shows an item's rules (none: empty).
  void ShowRules(const TItemRules& rules);
  // The rules as chosen, for item `itemId`: one condition per field with a value ticked.
  TItemRules Rules(int32_t itemId) const;
  // Everything the operator can change, to tell unsaved edits.
  QStringList State() const;

  QComboBox* CBRuleField;
  QComboBox* CBRuleKind;
  QListWidget* LBRuleValues;
  QLabel* LRuleSummary;
  QComboBox* CBQuotaField;
  QLineEdit* EdtQuotaMax;

 signals:
  void Changed();

 private:
  void ShowField();
  void KeepChecks();
  void ShowSummary();

  const config::TRuleList* m_list = nullptr;
  // The conditions as edited, one per field; those without values are dropped on reading.
  std::vector<TRuleCondition> m_conditions;
  bool m_filling = false;
};

class TTaskRulesBox : public QGroupBox {
  Q_OBJECT
 public:
  explicit TTaskRulesBox(QWidget* parent = nullptr);

  // The heads offered for the tickets and the quota, and the tasks that may be excluded;
  // nothing chosen.
  void SetChoices(const config::TRuleList* list, const std::vector<config::TRuleTask>& others);
  // Shows the task-wide part of `rules`.
  void ShowRules(const TTaskRules& rules);
  // Writes the task-wide part as chosen into `rules`, leaving its item rules.
  void TakeRules(TTaskRules& rules) const;
  QStringList State() const;

  QComboBox* CBTickets;
  QComboBox* CBTaskQuotaField;
  QLineEdit* EdtTaskQuotaMax;
  QListWidget* LBExclude;
};
