// The preset-winner editor of one prize item: the list of candidates that the draw screen
// forces in first as that item's winners, kept in the item's preset-winner file.
#pragma once

#include <QDialog>
#include <functional>

#include "core/draw/DrawRules.h"
#include "core/presets/PresetList.h"
#include "gui/ui/DesignLayout.h"

namespace config {
struct TPresetEditorArgs;
}

class QLabel;
class QPushButton;
class QTableWidget;

class TLuckCheatForm : public QDialog {
  Q_OBJECT
 public:
  explicit TLuckCheatForm(QWidget* parent = nullptr);

  // Takes the opener's values, reads the column heads and the saved list; 1 when the window
  // may be shown. A failure has shown its message.
  int SetUp(const TPresetTarget& target);

  const TPresetList& List() const { return m_list; }

  QLabel* PTitle;
  QTableWidget* SGLuckId;
  QPushButton* BtnAddItem;
  QPushButton* BtnDelItem;
  QPushButton* BtnSaveItem;
  QPushButton* BtnCancelItem;
  QPushButton* BtnCloseItem;

 public slots:
  void BtnAddItemClick();
  void BtnDelItemClick();
  void BtnSaveItemClick();
  void BtnCancelItemClick();
  void BtnCloseItemClick();

 protected:
  void resizeEvent(QResizeEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  bool LoadColumnHeads();
  bool LoadPresetWinners();
  std::string IdHead() const;  // GBK, trimmed

  // Whether the candidate line may be drawn as the item's preset; the refusal in `message`.
  bool KeepsRules(const std::string& line, std::string& message) const;

  TPresetTarget m_target;
  TPresetList m_list;
  // The column heads, the task's rules and the winners of the tasks they exclude.
  std::vector<std::string> m_heads;
  TTaskRules m_rules;
  std::vector<std::string> m_excluded;
  TDesignLayout m_layout;
};

// Opens the editor modally over `owner` for one prize item, when its set-up succeeds.
void OpenPresetEditor(QWidget* owner, const TPresetTarget& target);

// The same with what the configuration window's 指定中奖 hands over, after its question.
void OpenPresetEditorFromConfig(QWidget* owner, const config::TPresetEditorArgs& args);
