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

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;

class QPushButton;

// One line for a fixed exclusion list: its count, a button that reads one from a text or
// spreadsheet file, and one that clears it.
class TExcludeListRow : public QObject {
  Q_OBJECT
 public:
  // Places the line at (x, y) in `parent`, `w` wide; `prefix` names the widgets.
  TExcludeListRow(QWidget* parent, const char* prefix, int x, int y, int w);
  // The list the ids are read against (its first head is a title row, its lines count).
  void SetList(const config::TRuleList* list) { m_list = list; }
  void SetIds(std::vector<std::string> ids);
  const std::vector<std::string>& Ids() const { return m_ids; }

  QLabel* LCount;
  QPushButton* BtnRead;
  QPushButton* BtnClear;

 signals:
  void Changed();

 private:
  void Read();
  const config::TRuleList* m_list = nullptr;
  std::vector<std::string> m_ids;
};

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
  TExcludeListRow* ExcludeList;

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
  TExcludeListRow* ExcludeList;
  // The option to leave the lists' count off the draw screen; no rule, kept beside them.
  QCheckBox* CBHideExcludeCount;
};
