// The 奖项配置 tab of the configuration window: the prize items of the task shown, in draw
// order, and the fields of the selected one. The rules live in config/ItemSettings.
#pragma once

#include <QStringList>
#include <QWidget>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/config/ItemSettings.h"
#include "core/config/RuleCheck.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class TItemRulesBox;

// What the tab reads of the task the configuration window shows, and where 指定中奖 leads.
class TItemTabHost {
 public:
  virtual ~TItemTabHost() = default;
  // The task shown, 0 while a new one is typed.
  virtual int32_t ShownTaskId() const = 0;
  virtual bool ShownDataImported() const = 0;
  // The draw type chosen in 基本配置, saved or not.
  virtual bool ProbabilityChosen() const = 0;
  virtual void OpenPresetEditor(const config::TItemRow& item, const std::string& itemName) = 0;
  // What the task shown is checked against: its imported list (empty when there is none),
  // kept by the host; the tab refreshes the rest of it before each check.
  virtual config::TRuleContext& RuleContext() = 0;
};

class TItemTab : public QWidget {
  Q_OBJECT
 public:
  explicit TItemTab(TItemTabHost& host, QWidget* parent = nullptr);

  // No items, no fields, every button off.
  void Reset();
  void ClearFields();
  // The items of `taskId` (none for 0), the first one selected and shown.
  void Load(int32_t taskId);
  // The fields of the selected item.
  void ShowSelected();
  // The per-press count shows for a task drawn from imported data only.
  void ShowDrawType(bool byData);
  // Offers the values of a newly imported list, keeping the rules as chosen.
  void ListChanged();
  // Whether fields were typed that 保存 has not stored.
  bool Edited() const;

  QLabel* Label25;
  QLabel* Label18;
  QListWidget* LBItem;
  QLineEdit* DBEdtId;
  QLineEdit* DBEdtName;
  QLineEdit* DBEdtLuckCount;
  QLabel* LListCount;
  QLineEdit* DBEditListCount;
  QLineEdit* DBEdtAwardName;
  QLineEdit* DBEdtAwardImage;
  QPushButton* SbSelectItem;
  QLineEdit* EdtListIndex;
  QPushButton* SpeedButton1;
  QPushButton* SpeedButton2;
  QPushButton* BntCheat;
  QPushButton* BtnAddItem;
  QPushButton* BtnDelItem;
  QPushButton* BtnSaveItem;
  QPushButton* BtnCancelItem;
  QPushButton* BtnCloseItem;
  TItemRulesBox* GBItemRules;
  // 指定颁奖: the item's winners are named by id and handed out, not drawn. While it is
  // marked, its panel takes the place of the item's rules (nobody is drawn).
  QCheckBox* CKNamed;
  QWidget* PNamed;
  QPlainTextEdit* MNamedIds;  // one id a line; pasted lists are split at blanks and commas
  QLineEdit* EdtNamedPick;    // an id or a line of the list, completed from the list
  QPushButton* BtnNamedAdd;
  QLabel* LNamedState;  // what the ids entered come to, checked at once

 public slots:
  void LBItemClick();
  void BtnAddItemClick();
  void BtnSaveItemClick();
  void BtnCancelItemClick();
  void BtnDelItemClick();
  void SpeedButton1Click();
  void SpeedButton2Click();
  void SbSelectItemClick();
  void ItemFieldChange();
  void BntCheatClick();
  void CKNamedClick();
  void BtnNamedAddClick();
  void NamedIdsChange();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Focus(config::ItemField field);
  // Shows the stored rules of the item shown (ItemId 0: none).
  void ShowItemRules();
  // The task's rules with the item's as chosen, checked; false after showing the refusal.
  bool CheckedRules(int32_t itemId, const std::string& name, int32_t luckCount, TTaskRules& rules);
  QStringList ItemLines() const;
  // The named ids as entered; empty while the item is not marked.
  std::vector<std::string> NamedIds() const;
  // The item as typed with its named ids, checked as the draw's set-up will; false with the
  // refusal's kind and text.
  bool CheckNamed(const std::vector<std::string>& ids, MessageKind& kind, std::string& error) const;
  // The named panel or the rules, as the mark and the draw type say.
  void ShowNamedPanel();
  // Shows the stored named ids of the item shown.
  void ShowNamed();

  TItemTabHost* m_host;
  // The item shown (ItemId 0 for a new one).
  config::TItemRow m_item;
  bool m_listMouse = false;
  int m_rowBeforeAdd = -1;  // the line selected when 增加奖项 was pressed
  bool m_byData = true;     // the task draws from imported data
  // The list the pick's completer offers: of this task, with this many lines.
  int32_t m_pickTask = -1;
  size_t m_pickLines = 0;
};
