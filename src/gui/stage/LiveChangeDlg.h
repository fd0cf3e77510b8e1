// The operator's small windows on the draw screen for what departs from the plan: a change
// to the plan (临时加奖, 改名额, 选择下一个奖项) and a void (作废). They only gather the values;
// the stage decides and the screen shows its answer. Each is a modal dialog of the draw
// window, on the operator's side, never painted over the winners.
#pragma once

#include <QDialog>
#include <optional>
#include <vector>

#include "core/draw/Stage.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;
class QTabWidget;

class TPlanChangeDialog : public QDialog {
  Q_OBJECT
 public:
  // `items` are the prize items in their order, `from` the first not yet finished; `fields`
  // the list's fields an added item's condition may name (GBK).
  TPlanChangeDialog(const TArrLuckItem& items, int from, const std::vector<std::string>& fields,
                    QWidget* parent);
  // The change the operator filled in (the tab in sight).
  TPlanChange Change() const;

  QTabWidget* Tabs;
  QLineEdit* EdName;
  QSpinBox* SpCount;
  QSpinBox* SpPerPress;
  QLineEdit* EdGift;
  QCheckBox* CbDrawNext;
  QComboBox* CbRuleField;  // 仅限: (不限) or a field of the list
  QLineEdit* EdRuleValues;
  QLineEdit* EdExcludeIds;
  QComboBox* CbCountItem;
  QSpinBox* SpNewCount;
  QComboBox* CbNextItem;
  QLineEdit* EdAudience;

 private:
  std::vector<int32_t> m_ids;  // the items the combos offer, in their order
};

class TVoidDialog : public QDialog {
  Q_OBJECT
 public:
  // `people` are the winners on the cards as the hall may read them, at `places`.
  TVoidDialog(const std::vector<std::string>& people, std::vector<size_t> places, QWidget* parent);
  // The void filled in, at `time` (YYYY-MM-DD HH:MM:SS).
  TVoidRequest Request(const std::string& time) const;

  QComboBox* CbWho;
  QComboBox* CbReason;
  QCheckBox* CbRedraw;

 private:
  std::vector<size_t> m_places;
};
